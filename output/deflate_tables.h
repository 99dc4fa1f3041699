// Deflate's copy alphabet (RFC 1951, 3.2.5): the first length and distance that each symbol stands
// for and the extra bits after its code, the symbol of each distance, and the order of the
// code-length code's lengths in a block's header (3.2.7). The deflaters and the inflater read them
// here.
#pragma once

#include <array>
#include <cstdint>

#include "output/huffman_code.h"

namespace qr {

constexpr int kLiteralCodes = 286;  // 256 literals, the end of a block, 29 lengths
constexpr int kFirstLengthSymbol = 257;
constexpr int kLengthSymbols = 29;  // 257..285

// Length symbol 257 + i stands for LENGTH_BASE[i] and the LENGTH_EXTRA[i] bits' value more.
constexpr std::uint16_t LENGTH_BASE[kLengthSymbols] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t LENGTH_EXTRA[kLengthSymbols] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Distance symbol s stands for DISTANCE_BASE[s] and the DISTANCE_EXTRA[s] bits' value more.
constexpr std::uint16_t DISTANCE_BASE[kDistanceCodes] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t DISTANCE_EXTRA[kDistanceCodes] = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                         4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                         9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

constexpr int kCodeLengthSymbols = 19;
// The order in which a block's header gives the lengths of the code-length code.
constexpr std::uint8_t CODE_LENGTH_ORDER[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                                11, 4,  12, 3, 13, 2, 14, 1, 15};

// Whether each of the first `count` symbols begins where the one before it ends.
constexpr bool FollowOn(const std::uint16_t* base, const std::uint8_t* extra, int count) {
    for (int s = 1; s < count; ++s) {
        if (base[s] != base[s - 1] + (1 << extra[s - 1])) return false;
    }
    return true;
}
// Lengths 3 to 257 by symbols 257-284 (the last of them one short of its extra bits' reach), and
// 258 alone by 285; distances 1 to 32768.
static_assert(FollowOn(LENGTH_BASE, LENGTH_EXTRA, kLengthSymbols - 1) &&
              LENGTH_BASE[kLengthSymbols - 2] + (1 << LENGTH_EXTRA[kLengthSymbols - 2]) == 259 &&
              LENGTH_BASE[kLengthSymbols - 1] == 258 && LENGTH_EXTRA[kLengthSymbols - 1] == 0);
static_assert(FollowOn(DISTANCE_BASE, DISTANCE_EXTRA, kDistanceCodes) &&
              DISTANCE_BASE[kDistanceCodes - 1] + (1 << DISTANCE_EXTRA[kDistanceCodes - 1]) ==
                  32769);

// The index in LENGTH_BASE of the symbol of each length (3..258; 0..2 unused).
constexpr std::array<std::uint8_t, 259> LengthIndices() {
    std::array<std::uint8_t, 259> table{};
    for (int i = 0; i < kLengthSymbols; ++i) {
        const int last = i + 1 < kLengthSymbols ? LENGTH_BASE[i + 1] - 1 : LENGTH_BASE[i];
        for (int length = LENGTH_BASE[i]; length <= last; ++length)
            table[static_cast<std::size_t>(length)] = static_cast<std::uint8_t>(i);
    }
    return table;
}
inline constexpr std::array<std::uint8_t, 259> LENGTH_INDEX = LengthIndices();

// The distance symbol of x = distance - 1: entry x for x below 256, else entry 256 + (x >> 7)
// (distances beyond 256 have seven extra bits or more, so x >> 7 decides their symbol).
constexpr std::array<std::uint8_t, 512> DistanceSymbols() {
    std::array<std::uint8_t, 512> table{};
    for (unsigned i = 0; i < 512; ++i) {
        const unsigned x = i < 256 ? i : (i - 256) << 7;
        int symbol = 0;
        while (symbol + 1 < kDistanceCodes && DISTANCE_BASE[symbol + 1] <= x + 1) ++symbol;
        table[i] = static_cast<std::uint8_t>(symbol);
    }
    return table;
}
inline constexpr std::array<std::uint8_t, 512> DISTANCE_SYMBOLS = DistanceSymbols();

// The distance symbol (0..29) of `distance` (1..32768).
inline unsigned DistanceSymbol(std::uint32_t distance) {
    const std::uint32_t x = distance - 1;
    return DISTANCE_SYMBOLS[x < 256 ? x : 256 + (x >> 7)];
}

}  // namespace qr

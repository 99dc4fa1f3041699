// Huffman codes for deflate: code lengths of at most a given number of bits made from symbol
// counts, the canonical code of those lengths with each code's bits reversed for writing, and the
// two fixed codes.
#pragma once

#include <array>
#include <cstdint>

namespace qr {

constexpr int kDistanceCodes = 30;  // distance symbols 0-29
constexpr int kMaxCodeBits = 15;    // the longest code deflate allows

// A Huffman code of up to kMostCodes symbols: each symbol's length in bits (0 for unused ones) and
// its bits in the order they are written (the canonical code reversed).
constexpr int kMostCodes = 288;
struct DeflateCode {
    std::uint8_t lengths[kMostCodes];
    std::uint16_t codes[kMostCodes];
};

// The symbols of an alphabet that have a code, in increasing order.
struct CodedSymbols {
    int count = 0;
    int symbol[kMostCodes];
};

// Writes to `lengths` code lengths of at most `limit` bits for the `symbols` symbols counted in
// `counts`, a Huffman code when the counts allow it, and to `coded` the symbols given a code. At
// least two symbols get a code, so that each code is complete.
void CodeLengths(const std::uint32_t* counts, int symbols, int limit, std::uint8_t* lengths,
                 CodedSymbols* coded);

// Each byte with its bits in the reverse order.
constexpr std::array<std::uint8_t, 256> ReversedBytes() {
    std::array<std::uint8_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned r = 0;
        for (int i = 0; i < 8; ++i) r |= ((b >> i) & 1) << (7 - i);
        table[b] = static_cast<std::uint8_t>(r);
    }
    return table;
}
inline constexpr std::array<std::uint8_t, 256> REVERSED_BYTES = ReversedBytes();

// The canonical code of the `symbols` code lengths `lengths` (RFC 1951, 3.2.2), each code's bits
// reversed for writing; only the `coded` symbols have a length above 0.
constexpr DeflateCode Canonical(const std::uint8_t* lengths, int symbols,
                                const CodedSymbols& coded) {
    DeflateCode code{};
    for (int s = 0; s < symbols; ++s) code.lengths[s] = lengths[s];
    int count[kMaxCodeBits + 1] = {};
    for (int i = 0; i < coded.count; ++i) ++count[lengths[coded.symbol[i]]];
    unsigned next[kMaxCodeBits + 2] = {};
    for (int bits = 1; bits <= kMaxCodeBits; ++bits)
        next[bits] = (next[bits - 1] + static_cast<unsigned>(count[bits - 1])) << 1;
    for (int i = 0; i < coded.count; ++i) {
        const int s = coded.symbol[i];
        const int bits = lengths[s];
        const unsigned value = next[bits]++;
        const unsigned reversed =
            unsigned{REVERSED_BYTES[value & 0xFF]} << 8 | REVERSED_BYTES[(value >> 8) & 0xFF];
        code.codes[s] = static_cast<std::uint16_t>(reversed >> (16 - bits));
    }
    return code;
}

// The canonical code of `symbols` symbols, each of `lengthOf(symbol)` bits.
template <typename LengthOf>
constexpr DeflateCode CodeOfEvery(int symbols, LengthOf lengthOf) {
    std::uint8_t lengths[kMostCodes] = {};
    CodedSymbols all{};
    all.count = symbols;
    for (int s = 0; s < symbols; ++s) {
        lengths[s] = static_cast<std::uint8_t>(lengthOf(s));
        all.symbol[s] = s;
    }
    return Canonical(lengths, symbols, all);
}

// The fixed codes, made when compiling: literals 0-143 in 8 bits, 144-255 in 9, symbols 256-279
// in 7, 280-287 in 8; distances 0-29 in 5.
inline constexpr DeflateCode FIXED_LITERAL_CODE = CodeOfEvery(kMostCodes, [](int s) {
    return s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
});
inline constexpr DeflateCode FIXED_DISTANCE_CODE =
    CodeOfEvery(kDistanceCodes, [](int) { return 5; });

}  // namespace qr

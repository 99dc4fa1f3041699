// DeflateFast: every code is written as soon as it is known, into room for the longest stream the
// data can take, through a 64-bit buffer of bits; a copy's length, distance and their extra bits
// go in at once, from tables of the fixed codes made when compiling.
#include "output/deflate_fast.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "output/checksums.h"
#include "output/deflate.h"
#include "output/deflate_data.h"
#include "output/huffman_code.h"

namespace qr {

namespace {

constexpr int kHashBits = 14;         // the most places the hash table has, as a power of two
constexpr int kMinHashBits = 10;      // the fewest
constexpr std::size_t kMinMatch = 4;  // a shorter copy may take more bits than its literals
constexpr unsigned char kZlibHeader[2] = {0x78, 0x01};  // deflate, 32 KB window, fastest
constexpr unsigned kFixedBlock = 1 | 1 << 1;            // the last block, fixed codes
constexpr int kMostBitsPerByte = 9;                     // a literal's longest code

// Bits ready to be written and how many.
struct Bits {
    std::uint32_t value;
    std::uint32_t count;
};

// The fixed code of a literal or length symbol (0..287), as written.
constexpr Bits FixedLiteral(int symbol) {
    return {FIXED_LITERAL_CODE.codes[symbol], FIXED_LITERAL_CODE.lengths[symbol]};
}

struct FixedTables {
    Bits literal[256];
    Bits length[kMaxCopyLength + 1];  // a copy's length symbol and extra bits, by length
    Bits distance[kDistanceCodes];    // a distance symbol's fixed code (five bits)
};

// The length symbols' first lengths and extra bits (RFC 1951, 3.2.5).
constexpr int LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr int LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

constexpr FixedTables MakeFixedTables() {
    FixedTables t{};
    for (int byte = 0; byte < 256; ++byte) t.literal[byte] = FixedLiteral(byte);
    for (int symbol = 0; symbol < 29; ++symbol) {
        const Bits code = FixedLiteral(257 + symbol);
        const int last = symbol == 27 ? kMaxCopyLength - 1
                                      : LENGTH_BASE[symbol] + (1 << LENGTH_EXTRA[symbol]) - 1;
        for (int length = LENGTH_BASE[symbol]; length <= last; ++length) {
            const auto extra = static_cast<std::uint32_t>(length - LENGTH_BASE[symbol]);
            t.length[length] = {code.value | extra << code.count,
                                code.count + static_cast<std::uint32_t>(LENGTH_EXTRA[symbol])};
        }
    }
    for (int symbol = 0; symbol < kDistanceCodes; ++symbol)
        t.distance[symbol] = {FIXED_DISTANCE_CODE.codes[symbol],
                              FIXED_DISTANCE_CODE.lengths[symbol]};
    return t;
}

constexpr FixedTables FIXED = MakeFixedTables();

// The distance symbol of `distance` (1..32768) and its extra bits above the symbol's code.
Bits DistanceBits(std::uint32_t distance) {
    const std::uint32_t v = distance - 1;
    if (v < 4) return FIXED.distance[v];
    const int top = 31 - __builtin_clz(v);  // v's highest bit, 2..14
    const auto extraCount = static_cast<std::uint32_t>(top - 1);
    const Bits code = FIXED.distance[2 * top + ((v >> (top - 1)) & 1)];
    return {code.value | (v & ((1u << extraCount) - 1)) << code.count, code.count + extraCount};
}

std::uint32_t Load4(const unsigned char* at) {
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}

// Bits gathered and written four bytes at a time at `at`.
class BitWriter {
public:
    explicit BitWriter(unsigned char* at) : at_(at) {}
    // Appends the `bits.count` (at most 32) low bits of `bits.value`, first bit first.
    void Put(Bits bits) {
        buffer_ |= std::uint64_t{bits.value} << count_;
        count_ += bits.count;
        if (count_ >= 32) {
            const auto word = static_cast<std::uint32_t>(buffer_);
            at_[0] = static_cast<unsigned char>(word);
            at_[1] = static_cast<unsigned char>(word >> 8);
            at_[2] = static_cast<unsigned char>(word >> 16);
            at_[3] = static_cast<unsigned char>(word >> 24);
            at_ += 4;
            buffer_ >>= 32;
            count_ -= 32;
        }
    }
    // Writes what is left, up to a whole byte, and returns the place after it.
    unsigned char* Finish() {
        for (; count_ > 0; count_ = count_ > 8 ? count_ - 8 : 0) {
            *at_++ = static_cast<unsigned char>(buffer_);
            buffer_ >>= 8;
        }
        return at_;
    }

private:
    unsigned char* at_;
    std::uint64_t buffer_ = 0;
    std::uint32_t count_ = 0;
};

}  // namespace

void DeflateFast(const unsigned char* data, std::size_t size, std::string* out) {
    // Written into room kept per thread for the longest stream the data can take: the header,
    // the block's bits (every byte a literal at the most, a copy never longer than its literals,
    // the block's three bits and its end's seven) and the Adler-32.
    static thread_local std::vector<unsigned char> room;
    const std::size_t most = sizeof kZlibHeader + (size * kMostBitsPerByte + 10 + 7) / 8 + 4 + 4;
    if (room.size() < most) room.resize(most);
    unsigned char* const begin = room.data();
    std::memcpy(begin, kZlibHeader, sizeof kZlibHeader);
    BitWriter bits(begin + sizeof kZlibHeader);
    bits.Put({kFixedBlock, 3});
    static thread_local std::uint32_t last[std::size_t{1} << kHashBits];  // a place + 1, 0: none
    // A short text takes a smaller part of the table, about a quarter of its length in places,
    // so that clearing it costs little beside the text.
    int hashBits = kMinHashBits;
    while (hashBits < kHashBits && (std::size_t{1} << (hashBits + 2)) < size) ++hashBits;
    std::memset(last, 0, sizeof last[0] << hashBits);
    std::size_t at = 0;
    while (at + kMinMatch <= size) {
        const std::uint32_t four = Load4(data + at);
        const std::uint32_t h = (four * 2654435761u) >> (32 - hashBits);
        const std::size_t candidate = last[h];
        last[h] = static_cast<std::uint32_t>(at + 1);
        const std::size_t distance = at + 1 - candidate;
        if (candidate == 0 || distance > kMaxCopyDistance || Load4(data + candidate - 1) != four) {
            bits.Put(FIXED.literal[data[at++]]);
            continue;
        }
        const std::size_t longest = size - at < kMaxCopyLength ? size - at : kMaxCopyLength;
        const std::size_t length =
            kMinMatch + MatchLength(data + candidate - 1 + kMinMatch, data + at + kMinMatch,
                                    longest - kMinMatch);
        const Bits lengthBits = FIXED.length[length];
        const Bits distanceBits = DistanceBits(static_cast<std::uint32_t>(distance));
        bits.Put({lengthBits.value | distanceBits.value << lengthBits.count,
                  lengthBits.count + distanceBits.count});
        at += length;
    }
    while (at < size) bits.Put(FIXED.literal[data[at++]]);
    bits.Put(FixedLiteral(256));  // the end of the block
    unsigned char* end = bits.Finish();
    Adler32 adler;
    adler.Append(data, size);
    const std::uint32_t sum = adler.Value();
    for (int shift = 24; shift >= 0; shift -= 8) *end++ = static_cast<unsigned char>(sum >> shift);
    out->append(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(end - begin));
}

}  // namespace qr

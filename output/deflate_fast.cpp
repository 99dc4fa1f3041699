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
#include "output/deflate_tables.h"
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

// A distance symbol's fixed code and the first distance it stands for.
struct DistanceCodeBits {
    Bits code;  // with the count of the extra bits added
    std::uint32_t codeBits;
    std::uint32_t base;
};

struct FixedTables {
    Bits literal[256];
    Bits length[kMaxCopyLength + 1];            // a copy's length symbol and extra bits, by length
    DistanceCodeBits distance[kDistanceCodes];  // by distance symbol
};

constexpr FixedTables MakeFixedTables() {
    FixedTables t{};
    for (int byte = 0; byte < 256; ++byte) t.literal[byte] = FixedLiteral(byte);
    for (int length = kMinCopyLength; length <= kMaxCopyLength; ++length) {
        const int i = LENGTH_INDEX[static_cast<std::size_t>(length)];
        const Bits code = FixedLiteral(kFirstLengthSymbol + i);
        const auto extra = static_cast<std::uint32_t>(length - LENGTH_BASE[i]);
        t.length[length] = {code.value | extra << code.count, code.count + LENGTH_EXTRA[i]};
    }
    for (int symbol = 0; symbol < kDistanceCodes; ++symbol) {
        const std::uint32_t codeBits = FIXED_DISTANCE_CODE.lengths[symbol];
        t.distance[symbol] = {
            {FIXED_DISTANCE_CODE.codes[symbol], codeBits + DISTANCE_EXTRA[symbol]},
            codeBits,
            DISTANCE_BASE[symbol]};
    }
    return t;
}

constexpr FixedTables FIXED = MakeFixedTables();

// The distance symbol's code of `distance` (1..32768) and its extra bits above it.
Bits DistanceBits(std::uint32_t distance) {
    const DistanceCodeBits& d = FIXED.distance[DistanceSymbol(distance)];
    return {d.code.value | (distance - d.base) << d.codeBits, d.code.count};
}

std::uint32_t Load4(const unsigned char* at) {
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}

// The eight bytes at `at` as a number, the first the lowest.
std::uint64_t Load8(const unsigned char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return word;
}

// Bits gathered in a 64-bit register and written eight bytes at a time at `at`, of which the
// whole bytes count: the place moves on by them and the rest stays, with no test of the count.
class BitWriter {
public:
    explicit BitWriter(unsigned char* at) : at_(at) {}
    // Appends the `bits.count` (at most 32) low bits of `bits.value`, first bit first; writes
    // eight bytes from the place.
    void Put(Bits bits) {
        buffer_ |= std::uint64_t{bits.value} << count_;
        count_ += bits.count;
        std::uint64_t word = buffer_;
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        word = __builtin_bswap64(word);
#endif
        std::memcpy(at_, &word, sizeof word);
        at_ += count_ / 8;
        buffer_ >>= count_ & ~7u;
        count_ &= 7;
    }
    // Writes what is left, up to a whole byte, and returns the place after it.
    unsigned char* Finish() {
        if (count_ > 0) *at_++ = static_cast<unsigned char>(buffer_);
        return at_;
    }

private:
    unsigned char* at_;
    std::uint64_t buffer_ = 0;
    std::uint32_t count_ = 0;  // below 8 between calls
};

// This thread's table of the last place of each hash (a place kept kFarther on, 0 for none). In
// a shared library the address of a thread's variable is found by a call, which the compiler
// would repeat at every byte if the table were named in the loop: it is found once, here.
constexpr std::size_t kFarther = kMaxCopyDistance + 1;
__attribute__((noinline)) std::uint32_t* ThreadPlaces() {
    static thread_local std::uint32_t places[std::size_t{1} << kHashBits];
    return places;
}

}  // namespace

void DeflateFast(const unsigned char* data, std::size_t size, std::string* out) {
    // Written into room kept per thread for the longest stream the data can take: the header,
    // the block's bits (every byte a literal at the most, a copy never longer than its literals,
    // the block's three bits and its end's seven) and eight bytes, for the last word written whole
    // and then the Adler-32 over it.
    static thread_local std::vector<unsigned char> room;
    const std::size_t most = sizeof kZlibHeader + (size * kMostBitsPerByte + 10 + 7) / 8 + 8;
    if (room.size() < most) room.resize(most);
    unsigned char* const begin = room.data();
    std::memcpy(begin, kZlibHeader, sizeof kZlibHeader);
    BitWriter bits(begin + sizeof kZlibHeader);
    bits.Put({kFixedBlock, 3});
    // Each place is kept kFarther on, so that the 0 of an unused entry is farther back than a
    // copy reaches, like a place too far back: one test rules out both.
    std::uint32_t* const last = ThreadPlaces();
    // A short text takes a smaller part of the table, about a quarter of its length in places,
    // so that clearing it costs little beside the text.
    int hashBits = kMinHashBits;
    while (hashBits < kHashBits && (std::size_t{1} << (hashBits + 2)) < size) ++hashBits;
    std::memset(last, 0, sizeof last[0] << hashBits);
    // The next four bytes are carried from one step to the next: after a short copy they are
    // taken from the bytes its length was found in, which saves a load on the way from one copy
    // to the next.
    std::size_t at = 0;
    std::uint32_t four = size >= kMinMatch ? Load4(data) : 0;
    while (at + kMinMatch <= size) {
        const std::uint32_t h = (four * 2654435761u) >> (32 - hashBits);
        const std::size_t distance = at + kFarther - last[h];
        last[h] = static_cast<std::uint32_t>(at + kFarther);
        const unsigned char* const here = data + at;
        if (distance > kMaxCopyDistance || Load4(here - distance) != four) {
            bits.Put(FIXED.literal[data[at++]]);
            if (at + kMinMatch <= size) four = Load4(here + 1);
            continue;
        }
        const unsigned char* const there = here - distance;
        const std::size_t longest = size - at < kMaxCopyLength ? size - at : kMaxCopyLength;
        std::size_t length;
        if (longest >= kMinMatch + 16) {
            const std::uint64_t ahead = Load8(here + kMinMatch);
            const std::uint64_t differ = ahead ^ Load8(there + kMinMatch);
            if (differ != 0) {
                const unsigned more = static_cast<unsigned>(__builtin_ctzll(differ)) / 8;  // 0..7
                length = kMinMatch + more;
                // Bytes `more` to `more` + 3 of the sixteen from here + kMinMatch on.
                four = static_cast<std::uint32_t>(
                    ahead >> (8 * more) | Load8(here + kMinMatch + 8) << 1 << (63 - 8 * more));
            } else {
                length = kMinMatch + 8 +
                         MatchLength(there + kMinMatch + 8, here + kMinMatch + 8,
                                     longest - kMinMatch - 8);
                if (at + length + kMinMatch <= size) four = Load4(here + length);
            }
        } else {
            length =
                kMinMatch + MatchLength(there + kMinMatch, here + kMinMatch, longest - kMinMatch);
            if (at + length + kMinMatch <= size) four = Load4(here + length);
        }
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

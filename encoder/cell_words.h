// Eight cells of a column (or any eight bytes) as one 64-bit word, for the steps that work on
// many at once: the first in the low byte. Internal to the encoder.
//
// Those steps are written for GCC and Clang (vector types, builtins) on little-endian machines,
// the only builds the library has; any other build stops here rather than compile a path that no
// test has run.
#pragma once

#include <cstdint>
#include <cstring>

#if !defined(__GNUC__)
#error "The encoder is built with GCC or Clang (it uses their vector types and builtins)."
#endif
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "The encoder is built for little-endian machines (eight cells load as one word)."
#endif

namespace qr::cells {

using Word = std::uint64_t;

// A 1 in each of the eight bytes of a word.
constexpr Word kEachByte = 0x0101010101010101u;

// Cells at..at+7 as one word, cell `at` in the low byte.
inline Word LoadEight(const unsigned char* at) {
    Word w;
    std::memcpy(&w, at, sizeof w);
    return w;
}

inline void StoreEight(unsigned char* at, Word w) {
    std::memcpy(at, &w, sizeof w);
}

// Bit `flagBit` of each of the eight cells of `w`, gathered into bits 0..7 (cell i in bit i).
inline unsigned GatherFlag(Word w, int flagBit) {
    const Word t = (w >> flagBit) & kEachByte;
    return static_cast<unsigned>((t * 0x0102040810204080u) >> 56);
}

// Eight cells of 0 or 1 from bits 0..7 of `bits` (bit i into cell i): copies of the byte, each
// keeping its own bit, then each non-zero byte made 1.
inline Word SpreadBits(unsigned bits) {
    const Word own = (bits * kEachByte) & 0x8040201008040201u;
    return ((own + 0x7F * kEachByte) & (0x80 * kEachByte)) >> 7;
}

// The bit number of a one-bit cell flag.
constexpr int FlagBit(unsigned char flag) {
    int bit = 0;
    while ((1u << bit) != flag) ++bit;
    return bit;
}

// Rewrites the `size` >= 8 cells of a column eight at a time, each word of cells y..y+7 becoming
// rewrite(word, y), and each cell exactly once: where `size` is not a multiple of 8, the last word
// (cells size-8..size-1) keeps the cells that the word before it rewrote.
template <class Rewrite>
void RewriteColumn(unsigned char* column, int size, Rewrite rewrite) {
    int y = 0;
    for (; y + 8 <= size; y += 8) StoreEight(column + y, rewrite(LoadEight(column + y), y));
    if (y == size) return;
    const int last = size - 8;
    const Word done = (Word{1} << (8 * (y - last))) - 1;  // the bytes of cells last..y-1
    const Word word = LoadEight(column + last);
    StoreEight(column + last, (word & done) | (rewrite(word, last) & ~done));
}

}  // namespace qr::cells

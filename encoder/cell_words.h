// Eight cells of a column (or any eight bytes) as one 64-bit word, and sixteen as two, for the
// steps that work on many at once: the first in the low byte. Internal to the encoder.
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

// Cells at..at+n-1 as one value of n bytes (a Word, or Sixteen below), cell `at` in the low byte,
// and back.
template <class Cells>
inline Cells Load(const unsigned char* at) {
    Cells cells;
    std::memcpy(&cells, at, sizeof cells);
    return cells;
}

template <class Cells>
inline void Store(unsigned char* at, const Cells& cells) {
    std::memcpy(at, &cells, sizeof cells);
}

inline Word LoadEight(const unsigned char* at) {
    return Load<Word>(at);
}

inline void StoreEight(unsigned char* at, Word w) {
    Store(at, w);
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

// Sixteen cells as one 128-bit vector of two words, cells 0..7 in the first: the steps that treat
// each cell alike take them sixteen at a time.
typedef Word Sixteen __attribute__((vector_size(2 * sizeof(Word))));

inline Sixteen LoadSixteen(const unsigned char* at) {
    return Load<Sixteen>(at);
}

inline void StoreSixteen(unsigned char* at, Sixteen w) {
    Store(at, w);
}

// Rewrites the `size` >= 16 cells of columns sixteen at a time, each run of cells y..y+15 of a
// column becoming rewrite(cells, y), and each cell exactly once: where `size` is not a multiple
// of 16, the last run (cells size-16..size-1) keeps the cells that the run before it rewrote.
class ColumnRewriter {
public:
    explicit ColumnRewriter(int size) : whole_(size / kCells * kCells), last_(size - kCells) {
        typedef unsigned char Bytes __attribute__((vector_size(kCells)));
        const Bytes index = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
        kept_ = reinterpret_cast<Sixteen>(index < static_cast<unsigned char>(whole_ - last_));
    }

    template <class Rewrite>
    void operator()(unsigned char* column, Rewrite rewrite) const {
        for (int y = 0; y < whole_; y += kCells) {
            StoreSixteen(column + y, rewrite(LoadSixteen(column + y), y));
        }
        if (whole_ == last_ + kCells) return;
        const Sixteen cells = LoadSixteen(column + last_);
        StoreSixteen(column + last_, (cells & kept_) | (rewrite(cells, last_) & ~kept_));
    }

private:
    static constexpr int kCells = sizeof(Sixteen);
    int whole_;     // the cells of the runs at 0, 16, ...
    int last_;      // where the last run starts
    Sixteen kept_;  // the cells of the last run that the run before it rewrote
};

}  // namespace qr::cells

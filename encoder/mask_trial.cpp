// The mask trial: the fast path of the mask choice and of the finished symbol.
//
// Contract, held by a test over random symbols of every version with all eight masks, on both
// ways of counting bits and with the masks one at a time and several at once:
// - after PackTrialPlanes(), ScoreTrialMask(m) and ScoreTrialMasks()[m] equal ScoreMask() after
//   ApplyMask(m) and PlaceFormatInformation(m) on the same matrix;
// - WriteMaskedSymbol(m) leaves in `modules` what ApplyMask(m), PlaceFormatInformation(m) and
//   FlattenModules() leave.
//
// How: the unmasked matrix is packed once into two bit planes, its dark cells and its free
// cells; under a mask, a cell is dark where dark XOR (free AND the mask's condition). Line i of a
// plane holds row i and column i side by side, so that every rule reads a row and a column at
// once: in one 64-bit word for symbols of up to 32 cells a side ("halves"), else in 128-bit
// registers of a row word and a column word ("lanes"). Runs, 2x2 blocks and finder-like patterns
// are found 64 cells at a time with shifts and masks, and counted with the population count. One
// mask at a time, the format cells of the mask being tried are flipped in the dark plane. Where
// the processor has 256-bit registers, the masks are tried several at once, one in each 64-bit
// lane (four for the halves, two for the lanes), their format cells drawn from overlays of the
// lines that hold them and the bits counted in each byte. The chosen symbol is written from the
// unmasked cells, sixteen at a time.
//
// One file, longer than the others: the scorer is built several times over (plain, with the
// population count, with 256-bit registers), each build with every helper above it inlined into
// it, and its helpers are templates over the two line shapes. Split into files, they would all
// move into a header that this one source alone includes, and the file would only look shorter.
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "encoder/cell_words.h"
#include "encoder/masking.h"
#include "encoder/qr_encoder.h"

namespace qr {

namespace {

using cells::Word;

constexpr int kWordBits = 64;
constexpr int kLineWords = (kMaxSymbolSize + kWordBits - 1) / kWordBits;
constexpr int kHalfBits = 32;
constexpr Word kLowHalf = 0xFFFFFFFFu;
constexpr int kRow = 0;  // the lane of a row in a line pair of the lanes planes
constexpr int kColumn = 1;

enum Plane { DARK_CELLS = 0, FREE_CELLS = 1, kPlanes = 2 };

// Word `w` of a line whose bits 0..count-1 are set.
constexpr Word FirstBitsOf(int count, int w) {
    const int inWord = count - w * kWordBits;
    return inWord <= 0 ? 0 : inWord >= kWordBits ? ~Word{0} : (Word{1} << inWord) - 1;
}

// Bits 0..count-1 of each half set.
constexpr Word HalvesFirstBits(int count) {
    const Word half = count <= 0 ? 0 : (Word{1} << count) - 1;
    return half | half << kHalfBits;
}

// The mask conditions as line pairs, the masks side by side: halves[r][m] holds row r of mask m
// in its low half and column r in its high half (bit j set where the condition inverts cell j of
// the line); lanes[r][w][m] holds word w of row r, then word w of column r. Rows and columns
// repeat every 12. As cells: cells[m][c][r] is 1 where mask m inverts cell (c, r), for rows r up
// to 12 + 15, so that the sixteen cells from any row phase are one load.
struct TrialConditions {
    alignas(32) Word halves[kMaskPeriod][kMaskCount];
    alignas(32) Word lanes[kMaskPeriod][kLineWords][kMaskCount][2];
    unsigned char cells[kMaskCount][kMaskPeriod][kMaskPeriod + 16];
};

constexpr TrialConditions MakeTrialConditions() {
    TrialConditions c{};
    for (int m = 0; m < kMaskCount; ++m) {
        for (int r = 0; r < kMaskPeriod; ++r) {
            for (int j = 0; j < kLineWords * kWordBits; ++j) {
                const Word bit = Word{1} << (j % kWordBits);
                if (MaskCondition(m, j, r)) c.lanes[r][j / kWordBits][m][kRow] |= bit;
                if (MaskCondition(m, r, j)) c.lanes[r][j / kWordBits][m][kColumn] |= bit;
            }
            c.halves[r][m] =
                (c.lanes[r][0][m][kRow] & kLowHalf) | (c.lanes[r][0][m][kColumn] << kHalfBits);
            for (int y = 0; y < kMaskPeriod + 16; ++y) c.cells[m][r][y] = MaskCondition(m, r, y);
        }
    }
    return c;
}

constexpr TrialConditions TRIAL_CONDITIONS = MakeTrialConditions();

// --- Lines in registers ---

// The scorer's helpers are inlined into it, so that each of its builds (with and without the
// processor's population count, with 256-bit registers) has its own copy of them. None of them is
// ever called, so the way 256-bit vectors would be passed without those registers never matters.
#define TRIAL_INLINE __attribute__((always_inline)) inline
#pragma GCC diagnostic ignored "-Wpsabi"

// The masks are scored several at once where the processor may have 256-bit registers: x86-64,
// where AVX2 is looked for when the trial runs.
#if defined(__x86_64__)
#define TRIAL_GROUPS 1
#endif

// A row word and a column word side by side in one 128-bit register.
typedef Word LanePair __attribute__((vector_size(2 * sizeof(Word))));
#if TRIAL_GROUPS
// Four words side by side in one 256-bit register: the lines of four masks at once.
typedef Word Quad __attribute__((vector_size(4 * sizeof(Word))));
#endif

// `w` in every word of an E; the pointer only chooses the type.
constexpr Word Splat(Word w, const Word*) {
    return w;
}
constexpr LanePair Splat(Word w, const LanePair*) {
    return LanePair{w, w};
}
#if TRIAL_GROUPS
constexpr Quad Splat(Word w, const Quad*) {
    return Quad{w, w, w, w};
}
#endif
template <class E>
constexpr E Splat(Word w) {
    return Splat(w, static_cast<const E*>(nullptr));
}
TRIAL_INLINE bool NonZero(Word w) {
    return w != 0;
}
TRIAL_INLINE bool NonZero(const LanePair& p) {
    return (p[0] | p[1]) != 0;
}
#if TRIAL_GROUPS
TRIAL_INLINE bool NonZero(const Quad& q) {
    return ((q[0] | q[1]) | (q[2] | q[3])) != 0;
}
#endif

// A line pair of N elements held in registers: one word of halves, or N lane pairs.
template <int N, class E>
struct Bits {
    E w[N];
};

template <int N, class E>
TRIAL_INLINE Bits<N, E> operator&(const Bits<N, E>& a, const Bits<N, E>& b) {
    Bits<N, E> r;
    for (int i = 0; i < N; ++i) r.w[i] = a.w[i] & b.w[i];
    return r;
}

template <int N, class E>
TRIAL_INLINE Bits<N, E> operator|(const Bits<N, E>& a, const Bits<N, E>& b) {
    Bits<N, E> r;
    for (int i = 0; i < N; ++i) r.w[i] = a.w[i] | b.w[i];
    return r;
}

template <int N, class E>
TRIAL_INLINE Bits<N, E> operator^(const Bits<N, E>& a, const Bits<N, E>& b) {
    Bits<N, E> r;
    for (int i = 0; i < N; ++i) r.w[i] = a.w[i] ^ b.w[i];
    return r;
}

template <int N, class E>
TRIAL_INLINE Bits<N, E> operator~(const Bits<N, E>& a) {
    Bits<N, E> r;
    for (int i = 0; i < N; ++i) r.w[i] = ~a.w[i];
    return r;
}

// Bit i of the result is bit i + k of `a` (0 < k < 64); bits from beyond the last element are
// `fill`.
template <int N, class E>
TRIAL_INLINE Bits<N, E> Next(const Bits<N, E>& a, int k, bool fill = false) {
    Bits<N, E> r;
    for (int i = 0; i < N; ++i) {
        r.w[i] = a.w[i] >> k;
        if (i + 1 < N) {
            r.w[i] |= a.w[i + 1] << (kWordBits - k);
        } else if (fill) {
            r.w[i] |= Splat<E>(~Word{0}) << (kWordBits - k);
        }
    }
    return r;
}

// Bit i of the result is bit i - k of `a` (0 < k < 64); bits from below bit 0 are `fill`.
template <int N, class E>
TRIAL_INLINE Bits<N, E> Previous(const Bits<N, E>& a, int k, bool fill = false) {
    Bits<N, E> r;
    for (int i = 0; i < N; ++i) {
        r.w[i] = a.w[i] << k;
        if (i > 0) {
            r.w[i] |= a.w[i - 1] >> (kWordBits - k);
        } else if (fill) {
            r.w[i] |= Splat<E>(~Word{0}) >> (kWordBits - k);
        }
    }
    return r;
}

template <int N, class E>
TRIAL_INLINE bool Any(const Bits<N, E>& a) {
    E any = a.w[0];
    for (int i = 1; i < N; ++i) any = any | a.w[i];
    return NonZero(any);
}

// --- Counting bits ---

// Population count without a processor instruction: the count of each byte in that byte, then
// the sum of the bytes.
struct PortableCount {
    static TRIAL_INLINE int Of(Word w) {
        w = w - ((w >> 1) & 0x5555555555555555u);
        w = (w & 0x3333333333333333u) + ((w >> 2) & 0x3333333333333333u);
        w = (w + (w >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
        return static_cast<int>((w * cells::kEachByte) >> 56);
    }
};

// The compiler's population count: one instruction where the build targets one.
struct BuiltinCount {
    static TRIAL_INLINE int Of(Word w) { return __builtin_popcountll(w); }
};

#if TRIAL_GROUPS
// Four masks at once: each byte of the result holds the count of its byte of `q`. Counts of up to
// 255 add as words without carrying from one byte into the next.
struct ByteCount {
    static TRIAL_INLINE Quad Of(const Quad& bits) {
        Quad q = bits - ((bits >> 1) & 0x5555555555555555u);
        q = (q & 0x3333333333333333u) + ((q >> 2) & 0x3333333333333333u);
        return (q + (q >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    }
};
#endif

template <class Counter>
TRIAL_INLINE int CountOf(Word w) {
    return Counter::Of(w);
}

template <class Counter>
TRIAL_INLINE int CountOf(const LanePair& p) {
    return Counter::Of(p[0]) + Counter::Of(p[1]);
}

#if TRIAL_GROUPS
template <class Counter>
TRIAL_INLINE Quad CountOf(const Quad& q) {
    return Counter::Of(q);
}
#endif

// The count of the bits of `a`: an int, or for four masks at once the counts of each byte.
template <class Counter, int N, class E>
TRIAL_INLINE auto Count(const Bits<N, E>& a) {
    auto count = CountOf<Counter>(a.w[0]);
    for (int i = 1; i < N; ++i) count += CountOf<Counter>(a.w[i]);
    return count;
}

// A count as a total: an int as it is; the byte counts of four masks as the sum of each word's.
TRIAL_INLINE int Widened(int count) {
    return count;
}
#if TRIAL_GROUPS
TRIAL_INLINE Quad Widened(const Quad& bytes) {
    Quad sums = (bytes & 0x00FF00FF00FF00FFu) + ((bytes >> 8) & 0x00FF00FF00FF00FFu);
    sums = sums + (sums >> 16);
    return (sums + (sums >> 32)) & 0xFFFFu;
}
#endif

// --- The two shapes of a line pair ---

// The load of the E at `words`.
template <class E>
TRIAL_INLINE E Load(const Word* words) {
    E e;
    std::memcpy(&e, words, sizeof e);
    return e;
}

// Symbols of up to 32 cells a side: line pair i is one word, row i in the low half and column i
// in the high half. Shifts carry cells of one half into the other only at positions that the
// masks of the rules (cells with a next cell, cells where a pattern may start) clear, or that
// Before and After fill with light cells. E is a Word for one mask, a Quad for four.
template <class E>
struct HalvesOf {
    using Line = Bits<1, E>;
    // Dark cells and blocks are counted in both halves at once and the totals halved.
    static constexpr int kCountedLines = 2;
    // The lines whose counts one tally of ByteCount holds before it is widened.
    static constexpr int kTallyLines = kMaskPeriod;

    static TRIAL_INLINE Line FirstBits(int count) { return {{Splat<E>(HalvesFirstBits(count))}}; }
    // Cell i of the result is cell i - k (Before) or i + k (After) of its line, light where that
    // lies beyond the line.
    template <int k>
    static TRIAL_INLINE Line Before(const Line& a) {
        static constexpr E kLight = Splat<E>(HalvesFirstBits(k));
        return {{(a.w[0] << k) | kLight}};
    }
    template <int k>
    static TRIAL_INLINE Line After(const Line& a) {
        static constexpr E kLight = Splat<E>(~HalvesFirstBits(kHalfBits - k));
        return {{(a.w[0] >> k) | kLight}};
    }
    template <class Counter>
    static TRIAL_INLINE auto CountForTotals(const Line& a) {
        return CountOf<Counter>(a.w[0]);
    }
};

// One mask.
struct Halves : HalvesOf<Word> {
    static constexpr int kMasks = 1;

    const Word* darkCells;
    const Word* freeCells;
    const Word* conditions;  // &TRIAL_CONDITIONS.halves[0][mask]

    TRIAL_INLINE Line Masked(int i, int phase) const {
        return {{darkCells[i] ^ (freeCells[i] & conditions[phase * kMaskCount])}};
    }
    static TRIAL_INLINE int MaskTotal(int total, int) { return total; }
};

// Larger symbols: line pair i is N words of row i and N of column i, word w of the row beside
// word w of the column. E is a LanePair for one mask, a Quad for two (the pair of one mask, then
// the pair of the other).
template <int N, class E>
struct LanesOf {
    using Line = Bits<N, E>;
    // Dark cells and blocks are counted in the rows only.
    static constexpr int kCountedLines = 1;
    static constexpr int kTallyLines = kMaskPeriod / N;

    static TRIAL_INLINE Line FirstBits(int count) {
        Line r;
        for (int w = 0; w < N; ++w) r.w[w] = Splat<E>(FirstBitsOf(count, w));
        return r;
    }
    template <int k>
    static TRIAL_INLINE Line Before(const Line& a) {
        return Previous(a, k, true);
    }
    template <int k>
    static TRIAL_INLINE Line After(const Line& a) {
        return Next(a, k, true);
    }
    template <class Counter>
    static TRIAL_INLINE auto CountForTotals(const Line& a) {
        auto count = CountOf<Counter>(RowsOf(a.w[0]));
        for (int w = 1; w < N; ++w) count += CountOf<Counter>(RowsOf(a.w[w]));
        return count;
    }

private:
    static TRIAL_INLINE Word RowsOf(const LanePair& p) { return p[kRow]; }
#if TRIAL_GROUPS
    static TRIAL_INLINE Quad RowsOf(const Quad& q) {
        return q & Quad{~Word{0}, 0, ~Word{0}, 0};
    }
#endif
};

// One mask.
template <int N>
struct Lanes : LanesOf<N, LanePair> {
    using Line = typename LanesOf<N, LanePair>::Line;
    static constexpr int kMasks = 1;

    const Word (*darkCells)[kLineWords][2];
    const Word (*freeCells)[kLineWords][2];
    int mask;

    TRIAL_INLINE Line Masked(int i, int phase) const {
        Line r;
        for (int w = 0; w < N; ++w) {
            r.w[w] = Load<LanePair>(darkCells[i][w]) ^
                     (Load<LanePair>(freeCells[i][w]) &
                      Load<LanePair>(TRIAL_CONDITIONS.lanes[phase][w][mask]));
        }
        return r;
    }
    static TRIAL_INLINE int MaskTotal(int total, int) { return total; }
};

// --- Several masks at once ---
#if TRIAL_GROUPS

// The format cells lie on the lines up to 8 and on the last 8: kFormatLines lines of a symbol.
constexpr int kFormatLinesNear = 9;
constexpr int kFormatLinesFar = 8;
constexpr int kFormatLines = kFormatLinesNear + kFormatLinesFar;

constexpr bool OnFormatLines(int c) {
    return c >= 0 ? c < kFormatLinesNear : -c <= kFormatLinesFar;
}
constexpr bool FormatCellsOnFormatLines() {
    for (const auto& copies : FORMAT_CELLS) {
        for (const EdgeCell& cell : copies) {
            if (!OnFormatLines(cell.x) || !OnFormatLines(cell.y)) return false;
        }
    }
    return true;
}
static_assert(FormatCellsOnFormatLines(), "the format cells lie on the lines counted");

// The index among the lines with format cells of line `i` of a symbol of `size`, or -1.
TRIAL_INLINE int FormatLine(int i, int size) {
    return i < kFormatLinesNear          ? i
           : i >= size - kFormatLinesFar ? i - (size - kFormatLinesFar) + kFormatLinesNear
                                         : -1;
}

// The masks first..first+3 of a symbol of up to 32 cells a side: lane l of a line pair is the
// halves' line pair under mask first + l, its format cells drawn from `formats`.
struct HalvesGroup : HalvesOf<Quad> {
    static constexpr int kMasks = 4;

    const Word* darkCells;
    const Word* freeCells;
    int first;
    const Quad* formats;  // by line, 0 on the lines without format cells

    TRIAL_INLINE Line Masked(int i, int phase) const {
        return {{Splat<Quad>(darkCells[i]) ^
                 (Splat<Quad>(freeCells[i]) & Load<Quad>(&TRIAL_CONDITIONS.halves[phase][first])) ^
                 formats[i]}};
    }
    static TRIAL_INLINE int MaskTotal(const Quad& total, int k) {
        return static_cast<int>(total[k]);
    }

    // For DrawFormats: the words of the overlays; the words of masks m..m+3 in their lanes; where
    // a flip lies in the overlays.
    static constexpr int kOverlayWords = kHalfBits;
    static TRIAL_INLINE Quad LaneWords(const Word* m) { return Quad{m[0], m[1], m[2], m[3]}; }
    static TRIAL_INLINE void Place(const TrialFlip& flip, int, int* index, Quad* cell) {
        *index = flip.word;
        *cell = Splat<Quad>(flip.bit);
    }
};

// The masks first and first + 1 of a larger symbol: word w of a line pair is the lanes' pair
// under the one, then under the other, its format cells drawn from `formats`.
template <int N>
struct LanesGroup : LanesOf<N, Quad> {
    using Line = typename LanesOf<N, Quad>::Line;
    static constexpr int kMasks = 2;

    const Word (*darkCells)[kLineWords][2];
    const Word (*freeCells)[kLineWords][2];
    int first;
    const Quad* formats;  // N words by FormatLine
    int size;

    static TRIAL_INLINE Quad Twice(const Word* pair) {
        return Quad{pair[0], pair[1], pair[0], pair[1]};
    }
    TRIAL_INLINE Line Masked(int i, int phase) const {
        const int f = FormatLine(i, size);
        Line r;
        for (int w = 0; w < N; ++w) {
            r.w[w] = Twice(darkCells[i][w]) ^
                     (Twice(freeCells[i][w]) & Load<Quad>(TRIAL_CONDITIONS.lanes[phase][w][first]));
            if (f >= 0) r.w[w] ^= formats[f * N + w];
        }
        return r;
    }
    static TRIAL_INLINE int MaskTotal(const Quad& total, int k) {
        return static_cast<int>(total[2 * k] + total[2 * k + 1]);
    }

    // For DrawFormats: the words of the overlays; the words of masks m and m + 1 in their lanes;
    // where a flip lies in the overlays (word w of lane l (kRow, kColumn) of line i is word
    // (i * kLineWords + w) * 2 + l of the plane).
    static constexpr int kOverlayWords = kFormatLines * N;
    static TRIAL_INLINE Quad LaneWords(const Word* m) { return Quad{m[0], m[0], m[1], m[1]}; }
    static TRIAL_INLINE void Place(const TrialFlip& flip, int size, int* index, Quad* cell) {
        const int line = flip.word / (2 * kLineWords);
        const int w = flip.word / 2 % kLineWords;
        *index = FormatLine(line, size) * N + w;
        const Word row = flip.word % 2 == kRow ? flip.bit : 0;
        const Word column = flip.word % 2 == kColumn ? flip.bit : 0;
        *cell = Quad{row, column, row, column};
    }
};

#endif

// --- The rules on line pairs ---

// Rule 1, given `same`, the cells i that equal cell i + 1 in their line: a run of L >= 5 cells
// scores 3 + (L - 5) = L - 2, one point for each cell of the run but its last two. It holds L - 4
// windows of five equal cells, the first starting at the run's first cell: those cells and the
// two after the last of them are the run's L - 2 points.
template <class Counter, class Line>
TRIAL_INLINE auto RunPoints(const Line& same) {
    static_assert(kRunLength == 5 && kPenaltyRun == kRunLength - 2,
                  "five equal cells are four equal neighbours, and a run scores its length - 2");
    Line five = same & Next(same, 1);
    five = five & Next(five, 2);  // cells i..i+4 equal
    return Count<Counter>(five | Previous(five, 1) | Previous(five, 2));
}

// The cells i among `finderStarts` where dark, light, three dark, light, dark lie at i..i+6
// (dark-light at i, dark-dark at i + 2, dark-light at i + 4, dark at i + 6): the core of a
// finder-like pattern, before its light surroundings are checked.
template <class Line>
TRIAL_INLINE Line FinderCores(const Line& dark, const Line& nextDark, const Line& finderStarts) {
    static_assert(kFinderLength == 7, "the core is tested as three pairs and a cell");
    const Line darkLight = dark & ~nextDark;
    const Line darkDark = dark & nextDark;
    return darkLight & Next(darkDark, 2) & Next(darkLight, 4) & Next(dark, 6) & finderStarts;
}

// Rule 3: the cores among `finder` with light cells at i - 1 and i + 7 and four light cells
// before or after.
template <class Shape, class Line>
TRIAL_INLINE Line ConfirmedFinders(const Line& dark, const Line& finder) {
    static_assert(kFinderQuietCells == 4, "four light cells are two shifts");
    const Line light = ~dark;
    const Line lightBefore = Shape::template Before<1>(light);  // cell i - 1
    Line quietBefore = lightBefore & Shape::template Before<1>(lightBefore);
    quietBefore = quietBefore & Shape::template Before<2>(quietBefore);  // cells i-4..i-1
    Line fourLight = light & Shape::template After<1>(light);
    fourLight = fourLight & Shape::template After<2>(fourLight);              // cells i..i+3
    const Line quietAfter = Shape::template After<kFinderLength>(fourLight);  // cells i+7..i+10
    const Line lightAfter = Shape::template After<kFinderLength>(light);      // cell i + 7
    return finder & ((quietBefore & lightAfter) | (lightBefore & quietAfter));
}

// The penalties of the masked symbols of `size` cells a side whose line pairs `shape` gives, one
// for each of its masks, into `scores`. The counts of Shape::kTallyLines lines are tallied, then
// added to the totals.
template <class Counter, class Shape>
TRIAL_INLINE void ScoreLinesWith(const Shape& shape, int size, int* scores) {
    using Line = typename Shape::Line;
    using Tally = decltype(Count<Counter>(Line{}));
    using Total = decltype(Widened(Tally{}));
    const Line pairs = Shape::FirstBits(size - 1);  // cells that have a next cell
    const Line finderStarts = Shape::FirstBits(size - (kFinderLength - 1));
    Total runs{};
    Total finders{};
    Total blocks{};
    Total dark{};
    Line previousDark = {};
    Line previousSame = {};  // nothing before line 0: no block ends there
    static_assert(kMaskPeriod % Shape::kTallyLines == 0, "a tally starts at a phase");
    for (int first = 0; first < size; first += Shape::kTallyLines) {
        const int end = first + Shape::kTallyLines < size ? first + Shape::kTallyLines : size;
        Tally tallyRuns{};
        Tally tallyFinders{};
        Tally tallyBlocks{};
        Tally tallyDark{};
        for (int i = first, phase = first % kMaskPeriod; i < end; ++i, ++phase) {
            const Line darkCells = shape.Masked(i, phase);
            const Line nextDark = Next(darkCells, 1);
            const Line same = ~(darkCells ^ nextDark) & pairs;
            tallyRuns += RunPoints<Counter>(same);
            const Line finder = FinderCores(darkCells, nextDark, finderStarts);
            if (Any(finder))
                tallyFinders += Count<Counter>(ConfirmedFinders<Shape>(darkCells, finder));
            tallyDark += Shape::template CountForTotals<Counter>(darkCells);
            // Rule 2 on lines i - 1 and i: equal across them at two neighbouring cells, and
            // those two equal along line i - 1.
            const Line across = ~(previousDark ^ darkCells);
            tallyBlocks +=
                Shape::template CountForTotals<Counter>(across & Next(across, 1) & previousSame);
            previousDark = darkCells;
            previousSame = same;
        }
        runs += Widened(tallyRuns);
        finders += Widened(tallyFinders);
        blocks += Widened(tallyBlocks);
        dark += Widened(tallyDark);
    }
    const int cells = size * size;
    for (int k = 0; k < Shape::kMasks; ++k) {
        scores[k] = Shape::MaskTotal(runs, k) + kPenaltyFinder * Shape::MaskTotal(finders, k) +
                    kPenaltyBlock * (Shape::MaskTotal(blocks, k) / Shape::kCountedLines) +
                    BalancePenalty(cells - Shape::MaskTotal(dark, k) / Shape::kCountedLines, cells);
    }
}

struct TrialInput {
    const std::uint64_t (*halves)[kHalfBits];
    const std::uint64_t (*lanes)[kMaxSymbolSize][kLineWords][2];
    int size;
};

template <class Counter, int N>
TRIAL_INLINE int ScoreLanesWith(const TrialInput& in, int mask) {
    const Lanes<N> shape{{}, in.lanes[DARK_CELLS], in.lanes[FREE_CELLS], mask};
    int score;
    ScoreLinesWith<Counter>(shape, in.size, &score);
    return score;
}

template <class Counter>
TRIAL_INLINE int ScoreWith(const TrialInput& in, int mask) {
    const int s = in.size;
    if (s <= kHalfBits) {
        const Halves shape{
            {}, in.halves[DARK_CELLS], in.halves[FREE_CELLS], &TRIAL_CONDITIONS.halves[0][mask]};
        int score;
        ScoreLinesWith<Counter>(shape, s, &score);
        return score;
    }
    if (s <= kWordBits) return ScoreLanesWith<Counter, 1>(in, mask);
    if (s <= 2 * kWordBits) return ScoreLanesWith<Counter, 2>(in, mask);
    return ScoreLanesWith<Counter, 3>(in, mask);
}

int ScorePortable(const TrialInput& in, int mask) {
    return ScoreWith<PortableCount>(in, mask);
}

#if defined(__x86_64__)
// The x86 population count instruction is not part of the base instruction set: the scorer is
// built a second time for it, and the processor's features choose one when it runs.
__attribute__((target("popcnt"))) int ScoreWithPopcnt(const TrialInput& in, int mask) {
    return ScoreWith<BuiltinCount>(in, mask);
}

int ScoreFastest(const TrialInput& in, int mask) {
    if (__builtin_cpu_supports("popcnt")) return ScoreWithPopcnt(in, mask);
    return ScorePortable(in, mask);
}
#else
int ScoreFastest(const TrialInput& in, int mask) {
    return ScoreWith<BuiltinCount>(in, mask);
}
#endif

#if TRIAL_GROUPS
// Where the processor has 256-bit registers (AVX2), the masks are scored several at a time: four
// in the lanes of a register for the halves, two (a row word and a column word each) for larger
// symbols. The format cells, which differ from mask to mask, are drawn from per-line overlays.
struct GroupInput {
    TrialInput planes;
    const TrialFlip (*formatFlips)[kTrialFlipsPerFormatBit];  // by format bit
    Word formatChanges[kMaskCount];  // each mask's format word XOR the one in the dark plane
};

// Draws the format cells of every mask into overlays, a group of masks at a time: formats[g]
// holds, at the places Group::Place gives, the cells that each mask of group g flips in the dark
// plane, in that mask's lanes.
template <class Group>
TRIAL_INLINE void DrawFormats(const GroupInput& in, Quad (*formats)[Group::kOverlayWords]) {
    constexpr int kGroups = kMaskCount / Group::kMasks;
    Quad changes[kGroups];
    for (int g = 0; g < kGroups; ++g) {
        for (Quad& words : formats[g]) words = Quad{};
        changes[g] = Group::LaneWords(in.formatChanges + g * Group::kMasks);
    }
    for (int bit = 0; bit < kFormatBits; ++bit) {
        Quad masks[kGroups];  // all ones in the lanes of the masks whose format flips the bit
        for (int g = 0; g < kGroups; ++g) masks[g] = -((changes[g] >> bit) & 1);
        for (const TrialFlip& flip : in.formatFlips[bit]) {
            int index;
            Quad cell;
            Group::Place(flip, in.planes.size, &index, &cell);
            for (int g = 0; g < kGroups; ++g) formats[g][index] ^= cell & masks[g];
        }
    }
}

template <int N>
TRIAL_INLINE void ScoreLanesGroups(const GroupInput& in, int* scores) {
    using Group = LanesGroup<N>;
    Quad formats[kMaskCount / Group::kMasks][Group::kOverlayWords];
    DrawFormats<Group>(in, formats);
    for (int first = 0; first < kMaskCount; first += Group::kMasks) {
        const Group shape{{},    in.planes.lanes[DARK_CELLS],    in.planes.lanes[FREE_CELLS],
                          first, formats[first / Group::kMasks], in.planes.size};
        ScoreLinesWith<ByteCount>(shape, in.planes.size, scores + first);
    }
}

__attribute__((target("avx2"))) void ScoreGroupsWithAvx2(const GroupInput& in, int* scores) {
    const int s = in.planes.size;
    if (s <= kHalfBits) {
        Quad formats[kMaskCount / HalvesGroup::kMasks][HalvesGroup::kOverlayWords];
        DrawFormats<HalvesGroup>(in, formats);
        for (int first = 0; first < kMaskCount; first += HalvesGroup::kMasks) {
            const HalvesGroup shape{{},
                                    in.planes.halves[DARK_CELLS],
                                    in.planes.halves[FREE_CELLS],
                                    first,
                                    formats[first / HalvesGroup::kMasks]};
            ScoreLinesWith<ByteCount>(shape, s, scores + first);
        }
    } else if (s <= kWordBits) {
        ScoreLanesGroups<1>(in, scores);
    } else if (s <= 2 * kWordBits) {
        ScoreLanesGroups<2>(in, scores);
    } else {
        ScoreLanesGroups<3>(in, scores);
    }
}
#endif

// --- Packing ---

// Column cells y..y+7 of `eight` as bits 0..7 of their dark flags (a dark function cell or a data
// bit of 1) and of their function flags.
TRIAL_INLINE unsigned DarkBits(Word eight) {
    constexpr int kDataBit = cells::FlagBit(MODULE_DATA_BIT);
    constexpr int kToDataBit = cells::FlagBit(MODULE_FUNCTION_DARK) - kDataBit;
    return cells::GatherFlag(eight | eight >> kToDataBit, kDataBit);
}

TRIAL_INLINE unsigned FunctionBits(Word eight) {
    return cells::GatherFlag(eight, cells::FlagBit(MODULE_FUNCTION));
}

#if defined(__SSE2__)
// Column cells at..at+15 as bits 0..15 of their dark flags and of their function flags: each flag
// shifted to the top of its byte, where the processor gathers the sixteen top bits at once.
TRIAL_INLINE void SixteenFlags(const unsigned char* at, unsigned* dark, unsigned* function) {
    constexpr int kDataBit = cells::FlagBit(MODULE_DATA_BIT);
    constexpr int kToDataBit = cells::FlagBit(MODULE_FUNCTION_DARK) - kDataBit;
    constexpr int kTopBit = 7;
    __m128i sixteen;
    std::memcpy(&sixteen, at, sizeof sixteen);
    const __m128i darkFlags = _mm_or_si128(sixteen, _mm_srli_epi16(sixteen, kToDataBit));
    *dark = static_cast<unsigned>(_mm_movemask_epi8(_mm_slli_epi16(darkFlags, kTopBit - kDataBit)));
    *function = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_slli_epi16(sixteen, kTopBit - cells::FlagBit(MODULE_FUNCTION))));
}
#endif

// A column of `size` cells as N words of its dark cells and N of its free cells, cell y at bit
// y % 64 of word y / 64; bits from `size` on are 0.
template <int N>
TRIAL_INLINE void PackColumn(const unsigned char* column, int size, Word* dark, Word* free) {
    for (int w = 0; w < N; ++w) {
        const int begin = w * kWordBits;
        const int end = size < begin + kWordBits ? size : begin + kWordBits;
        Word d = 0;
        Word f = 0;
        int y = begin;
#if defined(__SSE2__)
        constexpr int kSixteen = 16;
        static_assert(kWordBits % kSixteen == 0, "a word ends where sixteen cells end");
        unsigned darkBits;
        unsigned functionBits;
        for (; y + kSixteen <= end; y += kSixteen) {
            SixteenFlags(column + y, &darkBits, &functionBits);
            d |= Word{darkBits} << (y - begin);
            f |= Word{functionBits} << (y - begin);
        }
        if (y < end) {
            // The last cells of the column, from its last sixteen.
            SixteenFlags(column + size - kSixteen, &darkBits, &functionBits);
            const int before = y + kSixteen - size;  // the cells of that run before y
            d |= Word{darkBits >> before} << (y - begin);
            f |= Word{functionBits >> before} << (y - begin);
            y = end;
        }
#endif
        for (; y + 8 <= end; y += 8) {
            const Word eight = cells::LoadEight(column + y);
            d |= Word{DarkBits(eight)} << (y - begin);
            f |= Word{FunctionBits(eight)} << (y - begin);
        }
        if (y < end) {
            // The last cells of the column, from the word of its last eight cells.
            const Word eight = cells::LoadEight(column + size - 8) >> (8 * (y + 8 - size));
            d |= Word{DarkBits(eight)} << (y - begin);
            f |= Word{FunctionBits(eight)} << (y - begin);
        }
        dark[w] = d;
        free[w] = ~f & FirstBitsOf(size, w);
    }
}

// The mask of a transposition stage that swaps blocks of `j` bits: the low j bits of every 2j.
constexpr Word StageMask(int j) {
    Word m = 0;
    for (int i = 0; i < kWordBits; ++i) {
        if (i / j % 2 == 0) m |= Word{1} << i;
    }
    return m;
}

// Transposes a kBits x kBits bit block (32 or 64) held in a[0..kBits-1] from the stage that swaps
// blocks of kJ bits on: in the end bit j of a[i] has gone to bit i of a[j].
template <int kBits, int kJ = kBits / 2>
TRIAL_INLINE void TransposeBlock(Word* a) {
    constexpr Word kMask = StageMask(kJ);
    for (int base = 0; base < kBits; base += 2 * kJ) {
        for (int k = base; k < base + kJ; ++k) {
            const Word t = ((a[k] >> kJ) ^ a[k + kJ]) & kMask;
            a[k] ^= t << kJ;
            a[k + kJ] ^= t;
        }
    }
    if constexpr (kJ > 1) TransposeBlock<kBits, kJ / 2>(a);
}

// Both planes of a symbol of `size` (33..64N) cells: the columns packed, the free cells copied to
// the rows (they are symmetric), and the dark rows transposed from the dark columns 64 x 64 cells
// at a time.
template <int N>
void PackLanes(const ModuleMatrix& modules, int size, Word (*dark)[kLineWords][2],
               Word (*free)[kLineWords][2]) {
    for (int x = 0; x < size; ++x) {
        Word d[N];
        Word f[N];
        PackColumn<N>(modules[x], size, d, f);
        for (int w = 0; w < N; ++w) {
            dark[x][w][kColumn] = d[w];
            free[x][w][kColumn] = f[w];
            free[x][w][kRow] = f[w];
        }
    }
    Word block[kWordBits];
    for (int bx = 0; bx < N; ++bx) {
        for (int by = 0; by < N; ++by) {
            for (int i = 0; i < kWordBits; ++i) {
                const int x = bx * kWordBits + i;
                block[i] = x < size ? dark[x][by][kColumn] : 0;
            }
            TransposeBlock<kWordBits>(block);
            for (int j = 0; j < kWordBits && by * kWordBits + j < size; ++j) {
                dark[by * kWordBits + j][bx][kRow] = block[j];
            }
        }
    }
}

}  // namespace

// The function cells that PlaceFunctionPatterns draws are symmetric about the diagonal (the
// finders, separators, format cells, timing and alignment patterns lie on both axes alike, and
// the two version blocks are each other's transpose), so the rows of the free cells are their
// columns; the dark cells, which hold the data bits too, are transposed.
void CQrEncoder::PackTrialPlanes() {
    static_assert(
        kTrialPlanes == kPlanes && kHalvesLineBits == kHalfBits && kTrialLineWords == kLineWords,
        "the shapes of the planes");
    const int s = symbolSize;
    if (s <= kHalfBits) {
        Word block[kHalfBits] = {};  // the dark columns, then the dark rows
        for (int x = 0; x < s; ++x) {
            Word free;
            PackColumn<1>(modules[x], s, &block[x], &free);
            trialHalves[FREE_CELLS][x] = free | free << kHalfBits;
        }
        for (int x = 0; x < s; ++x) trialHalves[DARK_CELLS][x] = block[x] << kHalfBits;
        TransposeBlock<kHalfBits>(block);
        for (int y = 0; y < s; ++y) trialHalves[DARK_CELLS][y] |= block[y];
    } else if (s <= kWordBits) {
        PackLanes<1>(modules, s, trialLanes[DARK_CELLS], trialLanes[FREE_CELLS]);
    } else if (s <= 2 * kWordBits) {
        PackLanes<2>(modules, s, trialLanes[DARK_CELLS], trialLanes[FREE_CELLS]);
    } else {
        PackLanes<3>(modules, s, trialLanes[DARK_CELLS], trialLanes[FREE_CELLS]);
    }
    // The dark module is dark under every mask; the format cells are light until a mask is tried.
    TrialFlip darkModule[2];
    TrialFlipsOf(FromEdge(DARK_MODULE.x, s), FromEdge(DARK_MODULE.y, s), darkModule);
    ApplyTrialFlips(darkModule, 2);
    for (int bit = 0; bit < kFormatBits; ++bit) {
        for (int copy = 0; copy < kFormatCopies; ++copy) {
            const EdgeCell& cell = FORMAT_CELLS[bit][copy];
            TrialFlipsOf(FromEdge(cell.x, s), FromEdge(cell.y, s),
                         &trialFormatFlips[bit][2 * copy]);
        }
    }
    trialFormat = 0;
}

void CQrEncoder::TrialFlipsOf(int x, int y, TrialFlip* flips) const {
    if (symbolSize <= kHalfBits) {
        flips[0] = {y, Word{1} << x};
        flips[1] = {x, Word{1} << (kHalfBits + y)};
    } else {
        // Word w of lane l of line i is word (i * kLineWords + w) * 2 + l of the plane.
        flips[0] = {(y * kLineWords + x / kWordBits) * 2 + kRow, Word{1} << (x % kWordBits)};
        flips[1] = {(x * kLineWords + y / kWordBits) * 2 + kColumn, Word{1} << (y % kWordBits)};
    }
}

void CQrEncoder::ApplyTrialFlips(const TrialFlip* flips, int count) {
    Word* plane =
        symbolSize <= kHalfBits ? trialHalves[DARK_CELLS] : &trialLanes[DARK_CELLS][0][0][0];
    for (int i = 0; i < count; ++i) plane[flips[i].word] ^= flips[i].bit;
}

int CQrEncoder::ScoreTrialMask(int mask, bool portableBitCount) {
    // Draw the format information of this mask: flip the cells whose bit differs from the word
    // drawn before.
    const int word = FormatInfoWord(level, mask);
    for (int changed = word ^ trialFormat; changed != 0; changed &= changed - 1) {
        ApplyTrialFlips(trialFormatFlips[__builtin_ctz(changed)], kTrialFlipsPerFormatBit);
    }
    trialFormat = word;
    const TrialInput in = {trialHalves, trialLanes, symbolSize};
    return portableBitCount ? ScorePortable(in, mask) : ScoreFastest(in, mask);
}

void CQrEncoder::ScoreTrialMasks(int* scores) {
#if TRIAL_GROUPS
    if (__builtin_cpu_supports("avx2")) {
        GroupInput in = {{trialHalves, trialLanes, symbolSize}, trialFormatFlips, {}};
        for (int m = 0; m < kMaskCount; ++m) {
            in.formatChanges[m] = static_cast<Word>(FormatInfoWord(level, m) ^ trialFormat);
        }
        ScoreGroupsWithAvx2(in, scores);
        return;
    }
#endif
    for (int m = 0; m < kMaskCount; ++m) scores[m] = ScoreTrialMask(m);
}

// Sixteen cells of a column at a time: a function cell becomes its dark flag, a free cell its data
// bit XOR the mask condition; the format cells and the dark module are written last.
void CQrEncoder::WriteMaskedSymbol(int mask) {
    constexpr int kFunctionDarkBit = cells::FlagBit(MODULE_FUNCTION_DARK);
    constexpr int kFunctionBit = cells::FlagBit(MODULE_FUNCTION);
    constexpr int kDataBit = cells::FlagBit(MODULE_DATA_BIT);
    constexpr Word kOnes = cells::kEachByte;
    const int s = symbolSize;
    const cells::ColumnRewriter rewrite(s);
    for (int x = 0; x < s; ++x) {
        const unsigned char* condition = TRIAL_CONDITIONS.cells[mask][x % kMaskPeriod];
        rewrite(modules[x], [&](cells::Sixteen sixteen, int y) {
            const cells::Sixteen inverted = cells::LoadSixteen(condition + y % kMaskPeriod);
            const cells::Sixteen free = ~(sixteen >> kFunctionBit) & kOnes;
            return (((sixteen >> kFunctionDarkBit) | (sixteen >> kDataBit)) ^ (inverted & free)) &
                   kOnes;
        });
    }
    const int word = FormatInfoWord(level, mask);
    for (int bit = 0; bit < kFormatBits; ++bit) {
        for (const EdgeCell& cell : FORMAT_CELLS[bit]) {
            modules[FromEdge(cell.x, s)][FromEdge(cell.y, s)] =
                static_cast<unsigned char>((word >> bit) & 1);
        }
    }
    modules[FromEdge(DARK_MODULE.x, s)][FromEdge(DARK_MODULE.y, s)] = 1;
}

}  // namespace qr

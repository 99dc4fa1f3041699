// The mask trial: the fast path of the mask choice and of the finished symbol.
//
// Contract, held by a test over random symbols of every version with all eight masks, on both
// ways of counting bits:
// - after PackTrialPlanes(), ScoreTrialMask(m) equals ScoreMask() after ApplyMask(m) and
//   PlaceFormatInformation(m) on the same matrix;
// - WriteMaskedSymbol(m) leaves in `modules` what ApplyMask(m), PlaceFormatInformation(m) and
//   FlattenModules() leave.
//
// How: the unmasked matrix is packed once into two bit planes, its dark cells and its free
// cells; under a mask, a cell is dark where dark XOR (free AND the mask's condition). Line i of a
// plane holds row i and column i side by side, so that every rule reads a row and a column at
// once: in one 64-bit word for symbols of up to 32 cells a side ("halves"), else in 128-bit
// registers of a row word and a column word ("lanes"). Runs, 2x2 blocks and finder-like patterns
// are found 64 cells at a time with shifts and masks, and counted with the population count. The
// format cells of the mask being tried are flipped in the dark plane. The chosen symbol is written
// from the unmasked cells, eight at a time.
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

// The mask conditions as line pairs: halves[m][r] holds row r of mask m in its low half and
// column r in its high half (bit j set where the condition inverts cell j of the line); lanes
// [m][r][w] holds word w of row r, then word w of column r. Rows and columns repeat every 12.
// As cells: cells[m][c][r] is 1 where mask m inverts cell (c, r), for rows r up to 12 + 7, so
// that the eight cells from any row phase are one word.
struct TrialConditions {
    Word halves[kMaskCount][kMaskPeriod];
    Word lanes[kMaskCount][kMaskPeriod][kLineWords][2];
    unsigned char cells[kMaskCount][kMaskPeriod][kMaskPeriod + 8];
};

constexpr TrialConditions MakeTrialConditions() {
    TrialConditions c{};
    for (int m = 0; m < kMaskCount; ++m) {
        for (int r = 0; r < kMaskPeriod; ++r) {
            for (int j = 0; j < kLineWords * kWordBits; ++j) {
                const Word bit = Word{1} << (j % kWordBits);
                if (MaskCondition(m, j, r)) c.lanes[m][r][j / kWordBits][kRow] |= bit;
                if (MaskCondition(m, r, j)) c.lanes[m][r][j / kWordBits][kColumn] |= bit;
            }
            c.halves[m][r] =
                (c.lanes[m][r][0][kRow] & kLowHalf) | (c.lanes[m][r][0][kColumn] << kHalfBits);
            for (int y = 0; y < kMaskPeriod + 8; ++y) c.cells[m][r][y] = MaskCondition(m, r, y);
        }
    }
    return c;
}

constexpr TrialConditions TRIAL_CONDITIONS = MakeTrialConditions();

// --- Lines in registers ---

// The scorer's helpers are inlined into it, so that each of its builds (with and without the
// processor's population count) has its own copy of them.
#define TRIAL_INLINE __attribute__((always_inline)) inline

// A row word and a column word side by side in one 128-bit register.
typedef Word LanePair __attribute__((vector_size(2 * sizeof(Word))));

TRIAL_INLINE Word Splat(Word w, Word) {
    return w;
}
TRIAL_INLINE LanePair Splat(Word w, LanePair) {
    return LanePair{w, w};
}
TRIAL_INLINE bool NonZero(Word w) {
    return w != 0;
}
TRIAL_INLINE bool NonZero(const LanePair& p) {
    return (p[0] | p[1]) != 0;
}

// A line pair of N elements held in registers: one word of halves, or N lane pairs.
template <int N, class E>
struct Bits {
    E w[N];
};

template <int N, class E>
TRIAL_INLINE Bits<N, E> operator&(Bits<N, E> a, const Bits<N, E>& b) {
    for (int i = 0; i < N; ++i) a.w[i] = a.w[i] & b.w[i];
    return a;
}

template <int N, class E>
TRIAL_INLINE Bits<N, E> operator|(Bits<N, E> a, const Bits<N, E>& b) {
    for (int i = 0; i < N; ++i) a.w[i] = a.w[i] | b.w[i];
    return a;
}

template <int N, class E>
TRIAL_INLINE Bits<N, E> operator^(Bits<N, E> a, const Bits<N, E>& b) {
    for (int i = 0; i < N; ++i) a.w[i] = a.w[i] ^ b.w[i];
    return a;
}

template <int N, class E>
TRIAL_INLINE Bits<N, E> operator~(Bits<N, E> a) {
    for (int i = 0; i < N; ++i) a.w[i] = ~a.w[i];
    return a;
}

// Bit i of the result is bit i + k of `a` (0 < k < 64); bits from beyond the last element are
// `fill`.
template <int N, class E>
TRIAL_INLINE Bits<N, E> Next(const Bits<N, E>& a, int k, bool fill = false) {
    Bits<N, E> r;
    for (int i = 0; i < N; ++i) {
        const E above = i + 1 < N ? a.w[i + 1] : Splat(fill ? ~Word{0} : 0, E{});
        r.w[i] = (a.w[i] >> k) | (above << (kWordBits - k));
    }
    return r;
}

// Bit i of the result is bit i - k of `a` (0 < k < 64); bits from below bit 0 are `fill`.
template <int N, class E>
TRIAL_INLINE Bits<N, E> Previous(const Bits<N, E>& a, int k, bool fill = false) {
    Bits<N, E> r;
    for (int i = 0; i < N; ++i) {
        const E below = i > 0 ? a.w[i - 1] : Splat(fill ? ~Word{0} : 0, E{});
        r.w[i] = (a.w[i] << k) | (below >> (kWordBits - k));
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

template <class Counter>
TRIAL_INLINE int CountOf(Word w) {
    return Counter::Of(w);
}

template <class Counter>
TRIAL_INLINE int CountOf(const LanePair& p) {
    return Counter::Of(p[0]) + Counter::Of(p[1]);
}

template <class Counter, int N, class E>
TRIAL_INLINE int Count(const Bits<N, E>& a) {
    int count = 0;
    for (int i = 0; i < N; ++i) count += CountOf<Counter>(a.w[i]);
    return count;
}

// --- The two shapes of a line pair ---

// Symbols of up to 32 cells a side: line pair i is one word, row i in the low half and column i
// in the high half. Shifts carry cells of one half into the other only at positions that the
// masks of the rules (cells with a next cell, cells where a pattern may start) clear, or that
// Before and After fill with light cells.
struct Halves {
    using Line = Bits<1, Word>;
    // Dark cells and blocks are counted in both halves at once and the totals halved.
    static constexpr int kCountedLines = 2;

    const Word* darkCells;
    const Word* freeCells;
    const Word* conditions;  // TRIAL_CONDITIONS.halves of the mask

    TRIAL_INLINE Line Masked(int i, int phase) const {
        return {{darkCells[i] ^ (freeCells[i] & conditions[phase])}};
    }
    static TRIAL_INLINE Line FirstBits(int count) { return {{HalvesFirstBits(count)}}; }
    // Cell i of the result is cell i - k (Before) or i + k (After) of its line, light where that
    // lies beyond the line.
    static TRIAL_INLINE Line Before(const Line& a, int k) {
        return {{(a.w[0] << k) | HalvesFirstBits(k)}};
    }
    static TRIAL_INLINE Line After(const Line& a, int k) {
        return {{(a.w[0] >> k) | ~HalvesFirstBits(kHalfBits - k)}};
    }
    template <class Counter>
    static TRIAL_INLINE int CountForTotals(const Line& a) {
        return Counter::Of(a.w[0]);
    }
};

// Larger symbols: line pair i is N lane pairs, word w of row i beside word w of column i.
template <int N>
struct Lanes {
    using Line = Bits<N, LanePair>;
    // Dark cells and blocks are counted in the rows only.
    static constexpr int kCountedLines = 1;

    const Word (*darkCells)[kLineWords][2];
    const Word (*freeCells)[kLineWords][2];
    const Word (*conditions)[kLineWords][2];  // TRIAL_CONDITIONS.lanes of the mask

    static TRIAL_INLINE LanePair Load(const Word* pair) {
        LanePair p;
        std::memcpy(&p, pair, sizeof p);
        return p;
    }
    TRIAL_INLINE Line Masked(int i, int phase) const {
        Line r;
        for (int w = 0; w < N; ++w) {
            r.w[w] = Load(darkCells[i][w]) ^ (Load(freeCells[i][w]) & Load(conditions[phase][w]));
        }
        return r;
    }
    static TRIAL_INLINE Line FirstBits(int count) {
        Line r;
        for (int w = 0; w < N; ++w) r.w[w] = Splat(FirstBitsOf(count, w), LanePair{});
        return r;
    }
    static TRIAL_INLINE Line Before(const Line& a, int k) { return Previous(a, k, true); }
    static TRIAL_INLINE Line After(const Line& a, int k) { return Next(a, k, true); }
    template <class Counter>
    static TRIAL_INLINE int CountForTotals(const Line& a) {
        int count = 0;
        for (int w = 0; w < N; ++w) count += Counter::Of(a.w[w][kRow]);
        return count;
    }
};

// --- The rules on line pairs ---

// Rule 1, given `same`, the cells i that equal cell i + 1 in their line: a run of L >= 5 cells
// holds L - 4 windows of five equal cells and scores 3 + (L - 5), the windows plus 2 per run.
template <class Counter, class Line>
TRIAL_INLINE int RunPoints(const Line& same) {
    static_assert(kRunLength == 5, "five equal cells are four equal neighbours: two shifts");
    Line five = same & Next(same, 1);
    five = five & Next(five, 2);                       // cells i..i+4 equal
    const Line runStarts = five & ~Previous(same, 1);  // and cell i - 1 differs
    return Count<Counter>(five) + (kPenaltyRun - 1) * Count<Counter>(runStarts);
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
    const Line lightBefore = Shape::Before(light, 1);  // cell i - 1
    Line quietBefore = lightBefore & Shape::Before(lightBefore, 1);
    quietBefore = quietBefore & Shape::Before(quietBefore, 2);  // cells i-4..i-1
    Line fourLight = light & Shape::After(light, 1);
    fourLight = fourLight & Shape::After(fourLight, 2);              // cells i..i+3
    const Line quietAfter = Shape::After(fourLight, kFinderLength);  // cells i+7..i+10
    const Line lightAfter = Shape::After(light, kFinderLength);      // cell i + 7
    return finder & ((quietBefore & lightAfter) | (lightBefore & quietAfter));
}

// The penalty of the masked symbol of `size` cells a side whose line pairs `shape` gives.
template <class Counter, class Shape>
TRIAL_INLINE int ScoreLinesWith(const Shape& shape, int size) {
    using Line = typename Shape::Line;
    const Line pairs = Shape::FirstBits(size - 1);  // cells that have a next cell
    const Line finderStarts = Shape::FirstBits(size - (kFinderLength - 1));
    int score = 0;
    int blocks = 0;
    int dark = 0;
    Line previousDark = {};
    Line previousSame = {};  // nothing before line 0: no block ends there
    for (int first = 0; first < size; first += kMaskPeriod) {
        const int end = first + kMaskPeriod < size ? first + kMaskPeriod : size;
        for (int i = first, phase = 0; i < end; ++i, ++phase) {
            const Line darkCells = shape.Masked(i, phase);
            const Line nextDark = Next(darkCells, 1);
            const Line same = ~(darkCells ^ nextDark) & pairs;
            score += RunPoints<Counter>(same);
            const Line finder = FinderCores(darkCells, nextDark, finderStarts);
            if (Any(finder)) {
                score +=
                    kPenaltyFinder * Count<Counter>(ConfirmedFinders<Shape>(darkCells, finder));
            }
            dark += Shape::template CountForTotals<Counter>(darkCells);
            // Rule 2 on lines i - 1 and i: equal across them at two neighbouring cells, and
            // those two equal along line i - 1.
            const Line across = ~(previousDark ^ darkCells);
            blocks +=
                Shape::template CountForTotals<Counter>(across & Next(across, 1) & previousSame);
            previousDark = darkCells;
            previousSame = same;
        }
    }
    const int cells = size * size;
    return score + kPenaltyBlock * (blocks / Shape::kCountedLines) +
           BalancePenalty(cells - dark / Shape::kCountedLines, cells);
}

struct TrialInput {
    const std::uint64_t (*halves)[kHalfBits];
    const std::uint64_t (*lanes)[kMaxSymbolSize][kLineWords][2];
    int mask;
    int size;
};

template <class Counter, int N>
TRIAL_INLINE int ScoreLanesWith(const TrialInput& in) {
    const Lanes<N> shape{in.lanes[DARK_CELLS], in.lanes[FREE_CELLS],
                         TRIAL_CONDITIONS.lanes[in.mask]};
    return ScoreLinesWith<Counter>(shape, in.size);
}

template <class Counter>
TRIAL_INLINE int ScoreWith(const TrialInput& in) {
    const int s = in.size;
    if (s <= kHalfBits) {
        const Halves shape{in.halves[DARK_CELLS], in.halves[FREE_CELLS],
                           TRIAL_CONDITIONS.halves[in.mask]};
        return ScoreLinesWith<Counter>(shape, s);
    }
    if (s <= kWordBits) return ScoreLanesWith<Counter, 1>(in);
    if (s <= 2 * kWordBits) return ScoreLanesWith<Counter, 2>(in);
    return ScoreLanesWith<Counter, 3>(in);
}

int ScorePortable(const TrialInput& in) {
    return ScoreWith<PortableCount>(in);
}

#if defined(__x86_64__)
// The x86 population count instruction is not part of the base instruction set: the scorer is
// built a second time for it, and the processor's features choose one when it runs.
__attribute__((target("popcnt"))) int ScoreWithPopcnt(const TrialInput& in) {
    return ScoreWith<BuiltinCount>(in);
}

int ScoreFastest(const TrialInput& in) {
    if (__builtin_cpu_supports("popcnt")) return ScoreWithPopcnt(in);
    return ScorePortable(in);
}
#else
int ScoreFastest(const TrialInput& in) {
    return ScoreWith<BuiltinCount>(in);
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
    __m128i cells;
    std::memcpy(&cells, at, sizeof cells);
    const __m128i darkFlags = _mm_or_si128(cells, _mm_srli_epi16(cells, kToDataBit));
    *dark = static_cast<unsigned>(_mm_movemask_epi8(_mm_slli_epi16(darkFlags, kTopBit - kDataBit)));
    *function = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_slli_epi16(cells, kTopBit - cells::FlagBit(MODULE_FUNCTION))));
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
    const TrialInput in = {trialHalves, trialLanes, mask, symbolSize};
    return portableBitCount ? ScorePortable(in) : ScoreFastest(in);
}

// Eight cells of a column at a time: a function cell becomes its dark flag, a free cell its data
// bit XOR the mask condition; the format cells and the dark module are written last.
void CQrEncoder::WriteMaskedSymbol(int mask) {
    constexpr int kFunctionDarkBit = cells::FlagBit(MODULE_FUNCTION_DARK);
    constexpr int kFunctionBit = cells::FlagBit(MODULE_FUNCTION);
    constexpr int kDataBit = cells::FlagBit(MODULE_DATA_BIT);
    constexpr Word kOnes = cells::kEachByte;
    const int s = symbolSize;
    for (int x = 0; x < s; ++x) {
        const unsigned char* condition = TRIAL_CONDITIONS.cells[mask][x % kMaskPeriod];
        cells::RewriteColumn(modules[x], s, [&](Word eight, int y) {
            const Word inverted = cells::LoadEight(condition + y % kMaskPeriod);
            const Word free = ~(eight >> kFunctionBit) & kOnes;
            return (((eight >> kFunctionDarkBit) | (eight >> kDataBit)) ^ (inverted & free)) &
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

// Masking: the eight mask patterns, the penalty score that chooses among them, the format
// information with the dark module, and the flattening of the matrix to 0/1 cells.
//
// The penalty is taken on bit lines: every row and every column of the matrix as 64-bit words,
// cell i of a line in bit i % 64 of word i / 64. Runs, 2x2 blocks and finder-like patterns are
// found 64 cells at a time with shifts and masks, and the balance is a population count. The mask
// trial packs the unmasked matrix once; each masked matrix is then a few word operations per line.
// Cell bytes are read and written eight at a time as 64-bit words, the first cell in the low byte.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "encoder/qr_encoder.h"

namespace qr {

namespace {

using Word = std::uint64_t;

constexpr int kLineWords = (kMaxSymbolSize + 63) / 64;
constexpr int kWordBits = 64;

constexpr int FORMAT_LEVEL_BITS[kLevelCount] = {0b01, 0b00, 0b11, 0b10};  // L, M, Q, H
constexpr int kFormatGenerator = 0x537;  // x^10 + x^8 + x^5 + x^4 + x^2 + x + 1
constexpr int kFormatXorMask = 0x5412;
constexpr int kFormatBits = 15;

constexpr int kPenaltyRun = 3;       // added to (run length - 5) for runs of 5 or more
constexpr int kPenaltyBlock = 3;     // each 2x2 block of one colour
constexpr int kPenaltyFinder = 40;   // each finder-like pattern in a line
constexpr int kPenaltyBalance = 10;  // each 5 % step away from half light

// Whether mask `mask` inverts the data cell in column x, row y.
constexpr bool MaskCondition(int mask, int x, int y) {
    switch (mask) {
        case 0:
            return (x + y) % 2 == 0;
        case 1:
            return y % 2 == 0;
        case 2:
            return x % 3 == 0;
        case 3:
            return (x + y) % 3 == 0;
        case 4:
            return (y / 2 + x / 3) % 2 == 0;
        case 5:
            return (x * y) % 2 + (x * y) % 3 == 0;
        case 6:
            return ((x * y) % 2 + (x * y) % 3) % 2 == 0;
        default:
            return ((x + y) % 2 + (x * y) % 3) % 2 == 0;
    }
}

// Every condition repeats after 12 cells along either axis (its periods are 2, 3, 4 and 6).
constexpr int kMaskPeriod = 12;

// The conditions as bit lines: rows[m][y % 12] has bit x set where mask m inverts cell (x, y);
// columns[m][x % 12] has bit y set for the same cells.
struct MaskLines {
    Word rows[kMaskCount][kMaskPeriod][kLineWords];
    Word columns[kMaskCount][kMaskPeriod][kLineWords];
};

constexpr MaskLines MakeMaskLines() {
    MaskLines lines{};
    for (int m = 0; m < kMaskCount; ++m) {
        for (int r = 0; r < kMaskPeriod; ++r) {
            for (int i = 0; i < kLineWords * kWordBits; ++i) {
                const Word bit = Word{1} << (i % kWordBits);
                if (MaskCondition(m, i, r)) lines.rows[m][r][i / kWordBits] |= bit;
                if (MaskCondition(m, r, i)) lines.columns[m][r][i / kWordBits] |= bit;
            }
        }
    }
    return lines;
}

constexpr MaskLines MASK_LINES = MakeMaskLines();

// Byte i of EXPANDED_BITS[b] is bit i of b: eight cells of 0 or 1 from eight bits.
struct ExpandedBits {
    Word of[256];
};

constexpr ExpandedBits MakeExpandedBits() {
    ExpandedBits e{};
    for (int b = 0; b < 256; ++b) {
        for (int i = 0; i < 8; ++i) e.of[b] |= static_cast<Word>((b >> i) & 1) << (8 * i);
    }
    return e;
}

constexpr ExpandedBits EXPANDED_BITS = MakeExpandedBits();

constexpr Word kLowBitOfEachByte = 0x0101010101010101u;

// Eight cells as one word, the first cell in the low byte.
Word LoadCells(const unsigned char* cells) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    Word w = 0;
    for (int i = 0; i < 8; ++i) w |= static_cast<Word>(cells[i]) << (8 * i);
    return w;
#else
    Word w;
    std::memcpy(&w, cells, sizeof w);
    return w;
#endif
}

void StoreCells(unsigned char* cells, Word w) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (int i = 0; i < 8; ++i) cells[i] = static_cast<unsigned char>(w >> (8 * i));
#else
    std::memcpy(cells, &w, sizeof w);
#endif
}

// Bit `flagBit` of each of the eight cells of `w`, gathered into bits 0..7.
unsigned GatherFlag(Word w, int flagBit) {
    const Word t = (w >> flagBit) & kLowBitOfEachByte;
    return static_cast<unsigned>((t * 0x0102040810204080u) >> 56);
}

constexpr int FlagBit(unsigned char flag) {
    int bit = 0;
    while ((1u << bit) != flag) ++bit;
    return bit;
}

// Visits the eight-cell words that cover a column of `size` >= 8 cells by their first cell y:
// 0, 8, 16, ... and, when `size` is not a multiple of 8, size - 8, whose word overlaps the one
// before. Every step of this file that works on such words gives the same cells when it visits
// a cell twice.
template <class Visit>
void ForEachEightCells(int size, Visit visit) {
    int y = 0;
    for (; y + 8 <= size; y += 8) visit(y);
    if (y < size) visit(size - 8);
}

// Sets bits y..y+7 of a bit line from the low eight bits of `bits`.
void OrEightBits(Word* line, int y, unsigned bits) {
    const int shift = y % kWordBits;
    line[y / kWordBits] |= static_cast<Word>(bits) << shift;
    if (shift > kWordBits - 8)
        line[y / kWordBits + 1] |= static_cast<Word>(bits) >> (kWordBits - shift);
}

// Bits y..y+7 of a bit line.
unsigned EightBits(const Word* line, int y) {
    const int shift = y % kWordBits;
    Word bits = line[y / kWordBits] >> shift;
    if (shift > kWordBits - 8) bits |= line[y / kWordBits + 1] << (kWordBits - shift);
    return static_cast<unsigned>(bits & 0xFF);
}

// Packs `size` cells of one column into one bit line per flag of `kFlags`, bit y set where cell
// y has that flag. Bits from `size` on are 0.
template <unsigned char... kFlags>
void PackColumn(const unsigned char* cells, int size, Word* const (&lines)[sizeof...(kFlags)]) {
    constexpr int kCount = sizeof...(kFlags);
    constexpr unsigned char kFlagList[kCount] = {kFlags...};
    constexpr int kShifts[kCount] = {FlagBit(kFlags)...};
    for (Word* line : lines) {
        for (int w = 0; w < kLineWords; ++w) line[w] = 0;
    }
    if (size < 8) {
        for (int y = 0; y < size; ++y) {
            for (int f = 0; f < kCount; ++f) {
                if (cells[y] & kFlagList[f]) lines[f][y / kWordBits] |= Word{1} << (y % kWordBits);
            }
        }
        return;
    }
    ForEachEightCells(size, [&](int y) {
        const Word eight = LoadCells(cells + y);
        for (int f = 0; f < kCount; ++f) OrEightBits(lines[f], y, GatherFlag(eight, kShifts[f]));
    });
}

// Transposes the first `n` (32 or 64) words of a 64 x 64 bit block in place, bit j of a[i] going
// to bit i of a[j] for i, j < n. With n = 32 the block must be zero outside its 32 x 32 corner.
void TransposeBlock(Word a[64], int n) {
    Word m = n == 64 ? 0x00000000FFFFFFFFu : 0x0000FFFF0000FFFFu;
    for (int j = n / 2; j != 0; j >>= 1, m ^= m << j) {
        for (int k = 0; k < n; k = ((k | j) + 1) & ~j) {
            const Word t = ((a[k] >> j) ^ a[k | j]) & m;
            a[k] ^= t << j;
            a[k | j] ^= t;
        }
    }
}

// Rows of a square of `size` cells from its columns: bit x of rows[y] is bit y of columns[x].
void TransposeLines(const Word (*columns)[kLineWords], int size, Word (*rows)[kLineWords]) {
    const int words = (size + kWordBits - 1) / kWordBits;
    const int n = size <= kWordBits / 2 ? kWordBits / 2 : kWordBits;
    Word block[kWordBits];
    for (int bx = 0; bx < words; ++bx) {
        for (int by = 0; by < words; ++by) {
            for (int i = 0; i < n; ++i) {
                const int x = bx * kWordBits + i;
                block[i] = x < size ? columns[x][by] : 0;
            }
            TransposeBlock(block, n);
            for (int j = 0; j < n && by * kWordBits + j < size; ++j) {
                rows[by * kWordBits + j][bx] = block[j];
            }
        }
    }
}

// Word `w` of a line whose bits 0..count-1 are set.
Word FirstBitsOf(int count, int w) {
    const int inWord = count - w * kWordBits;
    return inWord <= 0 ? 0 : inWord >= kWordBits ? ~Word{0} : (Word{1} << inWord) - 1;
}

// The scorer's small helpers are inlined into it, so that each of its two builds below (with and
// without the processor's population count) has its own copy of them.
#if defined(__GNUC__)
#define SCORER_INLINE __attribute__((always_inline)) inline
#else
#define SCORER_INLINE inline
#endif

// Two lines side by side, a row and a column, so that rules 1 and 3 take both at once: one
// 128-bit register where the compiler has vector types, else a pair of words.
#if defined(__GNUC__)
typedef Word LinePair __attribute__((vector_size(2 * sizeof(Word))));
SCORER_INLINE LinePair PairOf(Word first, Word second) {
    return LinePair{first, second};
}
SCORER_INLINE Word FirstOf(const LinePair& p) {
    return p[0];
}
SCORER_INLINE Word SecondOf(const LinePair& p) {
    return p[1];
}
#else
struct LinePair {
    Word first, second;
};
inline LinePair PairOf(Word first, Word second) {
    return {first, second};
}
inline Word FirstOf(const LinePair& p) {
    return p.first;
}
inline Word SecondOf(const LinePair& p) {
    return p.second;
}
inline LinePair operator&(LinePair a, LinePair b) {
    return {a.first & b.first, a.second & b.second};
}
inline LinePair operator|(LinePair a, LinePair b) {
    return {a.first | b.first, a.second | b.second};
}
inline LinePair operator^(LinePair a, LinePair b) {
    return {a.first ^ b.first, a.second ^ b.second};
}
inline LinePair operator~(LinePair a) {
    return {~a.first, ~a.second};
}
inline LinePair operator>>(LinePair a, int k) {
    return {a.first >> k, a.second >> k};
}
inline LinePair operator<<(LinePair a, int k) {
    return {a.first << k, a.second << k};
}
#endif

SCORER_INLINE Word Splat(Word w, Word) {
    return w;
}
SCORER_INLINE LinePair Splat(Word w, LinePair) {
    return PairOf(w, w);
}
[[maybe_unused]] SCORER_INLINE bool NonZero(Word w) {
    return w != 0;
}
SCORER_INLINE bool NonZero(const LinePair& p) {
    return (FirstOf(p) | SecondOf(p)) != 0;
}

// A line of N words held in registers; with E = LinePair, two lines.
template <int N, class E = Word>
struct Bits {
    E w[N];
};

template <int N>
SCORER_INLINE Bits<N> Load(const Word* line) {
    Bits<N> r;
    for (int i = 0; i < N; ++i) r.w[i] = line[i];
    return r;
}

template <int N>
SCORER_INLINE Bits<N, LinePair> LoadPair(const Word* first, const Word* second) {
    Bits<N, LinePair> r;
    for (int i = 0; i < N; ++i) r.w[i] = PairOf(first[i], second[i]);
    return r;
}

template <int N, class E>
SCORER_INLINE Bits<N, E> operator&(Bits<N, E> a, const Bits<N, E>& b) {
    for (int i = 0; i < N; ++i) a.w[i] = a.w[i] & b.w[i];
    return a;
}

template <int N, class E>
SCORER_INLINE Bits<N, E> operator|(Bits<N, E> a, const Bits<N, E>& b) {
    for (int i = 0; i < N; ++i) a.w[i] = a.w[i] | b.w[i];
    return a;
}

template <int N, class E>
SCORER_INLINE Bits<N, E> operator^(Bits<N, E> a, const Bits<N, E>& b) {
    for (int i = 0; i < N; ++i) a.w[i] = a.w[i] ^ b.w[i];
    return a;
}

template <int N, class E>
SCORER_INLINE Bits<N, E> operator~(Bits<N, E> a) {
    for (int i = 0; i < N; ++i) a.w[i] = ~a.w[i];
    return a;
}

// Bit i of the result is bit i + k of `a` (0 < k < 64); bits shifted in from beyond the last word
// are `fill`.
template <int N, class E>
SCORER_INLINE Bits<N, E> Next(const Bits<N, E>& a, int k, bool fill = false) {
    Bits<N, E> r;
    for (int i = 0; i < N; ++i) {
        const E above = i + 1 < N ? a.w[i + 1] : Splat(fill ? ~Word{0} : 0, E{});
        r.w[i] = (a.w[i] >> k) | (above << (kWordBits - k));
    }
    return r;
}

// Bit i of the result is bit i - k of `a` (0 < k < 64); bits shifted in below bit 0 are `fill`.
template <int N, class E>
SCORER_INLINE Bits<N, E> Previous(const Bits<N, E>& a, int k, bool fill = false) {
    Bits<N, E> r;
    for (int i = 0; i < N; ++i) {
        const E below = i > 0 ? a.w[i - 1] : Splat(fill ? ~Word{0} : 0, E{});
        r.w[i] = (a.w[i] << k) | (below >> (kWordBits - k));
    }
    return r;
}

template <int N, class E>
SCORER_INLINE bool Any(const Bits<N, E>& a) {
    E any = a.w[0];
    for (int i = 1; i < N; ++i) any = any | a.w[i];
    return NonZero(any);
}

// Bits 0..count-1 set.
template <int N, class E = Word>
SCORER_INLINE Bits<N, E> FirstBits(int count) {
    Bits<N, E> r;
    for (int i = 0; i < N; ++i) r.w[i] = Splat(FirstBitsOf(count, i), E{});
    return r;
}

// Population count without a processor instruction: the count of each byte in that byte, then
// the sum of the bytes.
struct PortableCount {
    static SCORER_INLINE int Of(Word w) {
        w = w - ((w >> 1) & 0x5555555555555555u);
        w = (w & 0x3333333333333333u) + ((w >> 2) & 0x3333333333333333u);
        w = (w + (w >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
        return static_cast<int>((w * kLowBitOfEachByte) >> 56);
    }
};

#if defined(__GNUC__)
// The compiler's population count: one instruction where the build targets one.
struct BuiltinCount {
    static SCORER_INLINE int Of(Word w) { return __builtin_popcountll(w); }
};
#endif

template <class Counter>
SCORER_INLINE int CountOf(Word w) {
    return Counter::Of(w);
}

template <class Counter>
SCORER_INLINE int CountOf(const LinePair& p) {
    return Counter::Of(FirstOf(p)) + Counter::Of(SecondOf(p));
}

template <class Counter, int N, class E>
SCORER_INLINE int Count(const Bits<N, E>& a) {
    int count = 0;
    for (int i = 0; i < N; ++i) count += CountOf<Counter>(a.w[i]);
    return count;
}

// Rule 1 over one line, given `same`, the cells i that equal cell i + 1 in the line: a run of
// L >= 5 holds L - 4 windows of five equal cells, and scores 3 + (L - 5) = (L - 4) + 2.
template <class Counter, class Line>
SCORER_INLINE int RunPenalty(const Line& same) {
    Line five = same & Next(same, 1);
    five = five & Next(five, 2);                       // cells i..i+4 equal
    const Line runStarts = five & ~Previous(same, 1);  // and cell i - 1 differs
    return Count<Counter>(five) + (kPenaltyRun - 1) * Count<Counter>(runStarts);
}

// The cells i among `finderStarts` where dark, light, three dark, light, dark lie at i..i+6
// (dark-light at i, dark-dark at i + 2, dark-light at i + 4, dark at i + 6): the core of a
// finder-like pattern, before its light surroundings are checked.
template <class Line>
SCORER_INLINE Line FinderCores(const Line& dark, const Line& nextDark, const Line& finderStarts) {
    const Line darkLight = dark & ~nextDark;
    const Line darkDark = dark & nextDark;
    return darkLight & Next(darkDark, 2) & Next(darkLight, 4) & Next(dark, 6) & finderStarts;
}

// Rule 3: the cores among `finder` (FinderCores) with light cells at i - 1 and i + 7 and four
// light cells before or after. `before(line, k)` moves cells k places up the line and
// `after(line, k)` k places down, with light cells from beyond it.
template <class Line, class Before, class After>
SCORER_INLINE Line ConfirmedFinders(const Line& dark, const Line& finder, Before before,
                                    After after) {
    const Line light = ~dark;
    const Line lightBefore = before(light, 1);  // cell i - 1
    Line quietBefore = lightBefore & before(lightBefore, 1);
    quietBefore = quietBefore & before(quietBefore, 2);  // cells i-4..i-1
    Line fourLight = light & after(light, 1);
    fourLight = fourLight & after(fourLight, 2);  // cells i..i+3
    const Line quietAfter = after(fourLight, 7);  // cells i+7..i+10
    const Line lightAfter = after(light, 7);      // cell i + 7
    return finder & ((quietBefore & lightAfter) | (lightBefore & quietAfter));
}

// Rules 1 and 3 over one line of `size` cells whose bits from `size` on are 0 (light).
template <class Counter, int N, class E>
SCORER_INLINE int ScoreLine(const Bits<N, E>& dark, const Bits<N, E>& pairs,
                            const Bits<N, E>& finderStarts) {
    using Line = Bits<N, E>;
    const Line nextDark = Next(dark, 1);
    int score = RunPenalty<Counter>(~(dark ^ nextDark) & pairs);
    const Line finder = FinderCores(dark, nextDark, finderStarts);
    if (Any(finder)) {
        const Line confirmed = ConfirmedFinders(
            dark, finder, [](const Line& a, int k) { return Previous(a, k, true); },
            [](const Line& a, int k) { return Next(a, k, true); });
        score += kPenaltyFinder * Count<Counter>(confirmed);
    }
    return score;
}

// Rule 4: the light share of `dark` cells out of size * size in whole percent, truncated.
int BalancePenalty(int dark, int size) {
    const int light = size * size - dark;
    const int percent = light * 100 / (size * size);
    return std::abs(50 - percent) / 5 * kPenaltyBalance;
}

// The penalty of a square of `size` cells given as dark bit lines by rows and by columns.
template <class Counter, int N>
SCORER_INLINE int ScoreLinesOf(const Word (*rows)[kLineWords], const Word (*columns)[kLineWords],
                               int size) {
    const Bits<N> pairs = FirstBits<N>(size - 1);
    const Bits<N, LinePair> bothPairs = FirstBits<N, LinePair>(size - 1);
    const Bits<N, LinePair> bothFinderStarts = FirstBits<N, LinePair>(size - 6);
    int score = 0;
    int dark = 0;
    Bits<N> row = Load<N>(rows[0]);
    for (int y = 0; y < size; ++y) {
        // Row y and column y together.
        score += ScoreLine<Counter>(LoadPair<N>(rows[y], columns[y]), bothPairs, bothFinderStarts);
        dark += Count<Counter>(row);
        if (y + 1 < size) {
            // Rule 2: cells (x, y), (x + 1, y), (x, y + 1) and (x + 1, y + 1) of one colour.
            const Bits<N> below = Load<N>(rows[y + 1]);
            const Bits<N> vertical = ~(row ^ below);
            const Bits<N> horizontal = ~(row ^ Next(row, 1));
            score +=
                kPenaltyBlock * Count<Counter>(vertical & Next(vertical, 1) & horizontal & pairs);
            row = below;
        }
    }

    return score + BalancePenalty(dark, size);
}

template <class Counter>
SCORER_INLINE int ScoreLinesWith(const Word (*rows)[kLineWords], const Word (*columns)[kLineWords],
                                 int size) {
    if (size <= kWordBits) return ScoreLinesOf<Counter, 1>(rows, columns, size);
    if (size <= 2 * kWordBits) return ScoreLinesOf<Counter, 2>(rows, columns, size);
    return ScoreLinesOf<Counter, 3>(rows, columns, size);
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
// The x86 population count instruction is not part of the base instruction set: the scorer is
// built twice and the processor's features choose one when it runs.
__attribute__((target("popcnt"))) int ScoreLinesWithPopcnt(const Word (*rows)[kLineWords],
                                                           const Word (*columns)[kLineWords],
                                                           int size) {
    return ScoreLinesWith<BuiltinCount>(rows, columns, size);
}

int ScoreLines(const Word (*rows)[kLineWords], const Word (*columns)[kLineWords], int size) {
    if (__builtin_cpu_supports("popcnt")) return ScoreLinesWithPopcnt(rows, columns, size);
    return ScoreLinesWith<PortableCount>(rows, columns, size);
}
#elif defined(__GNUC__)
int ScoreLines(const Word (*rows)[kLineWords], const Word (*columns)[kLineWords], int size) {
    return ScoreLinesWith<BuiltinCount>(rows, columns, size);
}
#else
int ScoreLines(const Word (*rows)[kLineWords], const Word (*columns)[kLineWords], int size) {
    return ScoreLinesWith<PortableCount>(rows, columns, size);
}
#endif

// Symbols of up to 32 cells a side are tried on paired lines: word i holds row i in its low half
// and column i in its high half, cell j of either at bit j of its half. Shifts bring cells of one
// half into the other only at positions that the masks of pair and finder starts (the cells of
// each half that have 1 and 6 cells after them in the line) then clear, so rules 1 and 2 and the
// search for finder cores take both lines at once; the rare core is confirmed on the two lines
// apart.
constexpr int kPairedHalfBits = 32;
constexpr Word kLowHalf = 0xFFFFFFFFu;

// Bits 0..count-1 of each half set.
Word PairedFirstBits(int count) {
    const Word half = count <= 0 ? 0 : (Word{1} << count) - 1;
    return half | half << kPairedHalfBits;
}

// The mask conditions as paired lines: of[m][r] holds row r and column r of mask m.
struct PairedMaskLines {
    Word of[kMaskCount][kMaskPeriod];
};

constexpr PairedMaskLines MakePairedMaskLines() {
    PairedMaskLines lines{};
    for (int m = 0; m < kMaskCount; ++m) {
        for (int r = 0; r < kMaskPeriod; ++r) {
            lines.of[m][r] = (MASK_LINES.rows[m][r][0] & kLowHalf) |
                             (MASK_LINES.columns[m][r][0] << kPairedHalfBits);
        }
    }
    return lines;
}

constexpr PairedMaskLines PAIRED_MASK_LINES = MakePairedMaskLines();

// The penalty of a square of `size` (<= 32) cells whose paired lines are the dark function cells
// and the free cells whose data bit differs from the mask condition (`conditions` repeat every 12
// lines).
template <class Counter>
SCORER_INLINE int ScorePairedWith(const Word* darkFunction, const Word* freeCells,
                                  const Word* dataBits, const Word* conditions, int size) {
    const Bits<1> pairs = {{PairedFirstBits(size - 1)}};
    const Bits<1> finderStarts = {{PairedFirstBits(size - 6)}};
    // Paired shifts with light cells from beyond each half.
    const auto before = [](Word a, int k) { return (a << k) | PairedFirstBits(k); };
    const auto after = [](Word a, int k) {
        return (a >> k) | ~PairedFirstBits(kPairedHalfBits - k);
    };
    int score = 0;
    int blocks = 0;
    int darkInBoth = 0;  // every cell counted once in its row and once in its column
    Word previousDark = 0;
    Word previousSame = 0;  // 0 before row 0: no block ends there
    for (int first = 0; first < size; first += kMaskPeriod) {
        const int end = first + kMaskPeriod < size ? first + kMaskPeriod : size;
        for (int i = first, phase = 0; i < end; ++i, ++phase) {
            const Bits<1> dark = {
                {darkFunction[i] | (dataBits[i] ^ (freeCells[i] & conditions[phase]))}};
            const Bits<1> nextDark = Next(dark, 1);
            const Bits<1> same = ~(dark ^ nextDark) & pairs;
            score += RunPenalty<Counter>(same);
            const Word finder = FinderCores(dark, nextDark, finderStarts).w[0];
            if (finder != 0) {
                score += kPenaltyFinder *
                         CountOf<Counter>(ConfirmedFinders(dark.w[0], finder, before, after));
            }
            darkInBoth += CountOf<Counter>(dark.w[0]);
            // Rule 2 on rows i - 1 and i: equal down two neighbouring columns, and equal across
            // in row i - 1.
            const Word vertical = ~(previousDark ^ dark.w[0]);
            blocks += CountOf<Counter>(vertical & (vertical >> 1) & previousSame & kLowHalf);
            previousDark = dark.w[0];
            previousSame = same.w[0];
        }
    }
    return score + kPenaltyBlock * blocks + BalancePenalty(darkInBoth / 2, size);
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
__attribute__((target("popcnt"))) int ScorePairedWithPopcnt(const Word* darkFunction,
                                                            const Word* freeCells,
                                                            const Word* dataBits,
                                                            const Word* conditions, int size) {
    return ScorePairedWith<BuiltinCount>(darkFunction, freeCells, dataBits, conditions, size);
}

int ScorePaired(const Word* darkFunction, const Word* freeCells, const Word* dataBits,
                const Word* conditions, int size) {
    if (__builtin_cpu_supports("popcnt")) {
        return ScorePairedWithPopcnt(darkFunction, freeCells, dataBits, conditions, size);
    }
    return ScorePairedWith<PortableCount>(darkFunction, freeCells, dataBits, conditions, size);
}
#elif defined(__GNUC__)
int ScorePaired(const Word* darkFunction, const Word* freeCells, const Word* dataBits,
                const Word* conditions, int size) {
    return ScorePairedWith<BuiltinCount>(darkFunction, freeCells, dataBits, conditions, size);
}
#else
int ScorePaired(const Word* darkFunction, const Word* freeCells, const Word* dataBits,
                const Word* conditions, int size) {
    return ScorePairedWith<PortableCount>(darkFunction, freeCells, dataBits, conditions, size);
}
#endif

// Lines 0..size-1 of a masked matrix: the dark function cells, and the free cells whose data bit
// differs from the mask condition (`conditions` repeat every 12 lines).
template <int N>
void MaskLinesOf(const Word (*darkFunction)[kLineWords], const Word (*freeCells)[kLineWords],
                 const Word (*dataBits)[kLineWords], const Word (*conditions)[kLineWords], int size,
                 Word (*out)[kLineWords]) {
    for (int first = 0; first < size; first += kMaskPeriod) {
        const int end = first + kMaskPeriod < size ? first + kMaskPeriod : size;
        for (int i = first, phase = 0; i < end; ++i, ++phase) {
            for (int w = 0; w < N; ++w) {
                out[i][w] = darkFunction[i][w] |
                            (dataBits[i][w] ^ (freeCells[i][w] & conditions[phase][w]));
            }
        }
    }
}

void MaskLines(const Word (*darkFunction)[kLineWords], const Word (*freeCells)[kLineWords],
               const Word (*dataBits)[kLineWords], const Word (*conditions)[kLineWords], int size,
               Word (*out)[kLineWords]) {
    if (size <= kWordBits) {
        MaskLinesOf<1>(darkFunction, freeCells, dataBits, conditions, size, out);
    } else if (size <= 2 * kWordBits) {
        MaskLinesOf<2>(darkFunction, freeCells, dataBits, conditions, size, out);
    } else {
        MaskLinesOf<3>(darkFunction, freeCells, dataBits, conditions, size, out);
    }
}

// Cells of the format bits 0..14. The first copy runs down column 8 beside the top-left finder,
// then left along row 8, skipping the timing cells. The second runs left along row 8 below the
// top-right finder (bits 0-7, column size - 1 - i), then down column 8 beside the bottom-left
// finder (bits 8-14, row size - 15 + i).
constexpr int FORMAT_FIRST_COPY_X[kFormatBits] = {8, 8, 8, 8, 8, 8, 8, 8, 7, 5, 4, 3, 2, 1, 0};
constexpr int FORMAT_FIRST_COPY_Y[kFormatBits] = {0, 1, 2, 3, 4, 5, 7, 8, 8, 8, 8, 8, 8, 8, 8};
constexpr int kFormatBitsAlongRow = 8;

// Column and row of copy 1 (0) or 2 (1) of format bit `i` (0..14) in a symbol of `size`.
void FormatCell(int i, int copy, int size, int* x, int* y) {
    if (copy == 0) {
        *x = FORMAT_FIRST_COPY_X[i];
        *y = FORMAT_FIRST_COPY_Y[i];
    } else if (i < kFormatBitsAlongRow) {
        *x = size - 1 - i;
        *y = 8;
    } else {
        *x = 8;
        *y = size - kFormatBits + i;
    }
}

// Column and row of the dark module.
void DarkModuleCell(int size, int* x, int* y) {
    *x = 8;
    *y = size - 8;
}

void SetLineBit(Word (*lines)[kLineWords], int line, int bit) {
    lines[line][bit / kWordBits] |= Word{1} << (bit % kWordBits);
}

// Flips cell (x, y) of a square given as paired lines: bit x of row y and bit y of column x.
void TogglePairedCell(Word* lines, int x, int y) {
    lines[y] ^= Word{1} << x;
    lines[x] ^= Word{1} << (kPairedHalfBits + y);
}

}  // namespace

int FormatInfoWord(int level, int mask) {
    const int d = FORMAT_LEVEL_BITS[level] * 8 + mask;
    int r = d << 10;
    for (int n = 4; n >= 0; --n) {
        if (r & (1 << (n + 10))) r ^= kFormatGenerator << n;
    }
    return ((d << 10) + r) ^ kFormatXorMask;
}

// Eight cells of a column at a time: function cells keep their byte; a free cell gets its data
// bit XOR the mask condition as MODULE_DARK.
void CQrEncoder::ApplyMask(int mask) {
    const int s = symbolSize;
    constexpr int kFunctionShift = FlagBit(MODULE_FUNCTION);
    constexpr int kDataShift = FlagBit(MODULE_DATA_BIT);
    static_assert(MODULE_DARK == 1, "the mask result lands in bit 0");
    for (int x = 0; x < s; ++x) {
        const Word* condition = MASK_LINES.columns[mask][x % kMaskPeriod];
        unsigned char* column = modules[x];
        if (s < 8) {
            for (int y = 0; y < s; ++y) {
                unsigned char& cell = column[y];
                if (cell & MODULE_FUNCTION) continue;
                const unsigned inverted = (condition[y / kWordBits] >> (y % kWordBits)) & 1;
                cell = static_cast<unsigned char>((cell & ~MODULE_DARK) |
                                                  (((cell >> kDataShift) & 1) ^ inverted));
            }
            continue;
        }
        ForEachEightCells(s, [&](int y) {
            const Word cells = LoadCells(column + y);
            const Word inverted = EXPANDED_BITS.of[EightBits(condition, y)];
            const Word function = ((cells >> kFunctionShift) & kLowBitOfEachByte) * 0xFF;
            const Word data = (cells >> kDataShift) & kLowBitOfEachByte;
            const Word masked = (cells & ~(kLowBitOfEachByte * MODULE_DARK)) | (data ^ inverted);
            StoreCells(column + y, (cells & function) | (masked & ~function));
        });
    }
}

void CQrEncoder::PlaceFormatInformation(int mask) {
    const int s = symbolSize;
    const int word = FormatInfoWord(level, mask);
    for (int i = 0; i < kFormatBits; ++i) {
        const unsigned char cell = ((word >> i) & 1) ? MODULE_DARK_FUNCTION : MODULE_LIGHT_FUNCTION;
        for (int copy = 0; copy < 2; ++copy) {
            int x, y;
            FormatCell(i, copy, s, &x, &y);
            modules[x][y] = cell;
        }
    }
    int x, y;
    DarkModuleCell(s, &x, &y);
    modules[x][y] = MODULE_DARK_FUNCTION;
}

int CQrEncoder::ScoreMask() const {
    const int s = symbolSize;
    Word columns[kMaxSymbolSize][kLineWords];
    Word rows[kMaxSymbolSize][kLineWords];
    for (int x = 0; x < s; ++x) {
        // A cell is dark when either dark flag is set: pack both and join them.
        Word functionDark[kLineWords];
        PackColumn<MODULE_FUNCTION_DARK, MODULE_DARK>(modules[x], s, {functionDark, columns[x]});
        for (int w = 0; w < kLineWords; ++w) columns[x][w] |= functionDark[w];
    }
    TransposeLines(columns, s, rows);
    return ScoreLines(rows, columns, s);
}

// The function cells that PlaceFunctionPatterns draws are symmetric about the diagonal (the
// finders, separators, reserved format cells, timing and alignment patterns lie on both axes
// alike, and the two version blocks are each other's transpose), so their rows are their
// columns. Only the data bits are transposed.
void CQrEncoder::PackTrialPlanes() {
    const int s = symbolSize;
    const int words = (s + kWordBits - 1) / kWordBits;
    for (int x = 0; x < s; ++x) {
        PackColumn<MODULE_FUNCTION_DARK, MODULE_FUNCTION, MODULE_DATA_BIT>(
            modules[x], s,
            {trialColumns.darkFunction[x], trialColumns.freeCells[x], trialColumns.dataBits[x]});
        // Packed as function cells above; free cells are the others.
        for (int w = 0; w < words; ++w) {
            trialColumns.freeCells[x][w] = ~trialColumns.freeCells[x][w] & FirstBitsOf(s, w);
            trialRows.darkFunction[x][w] = trialColumns.darkFunction[x][w];
            trialRows.freeCells[x][w] = trialColumns.freeCells[x][w];
        }
    }
    TransposeLines(trialColumns.dataBits, s, trialRows.dataBits);
    if (s > kPairedLineBits) return;
    static_assert(kPairedLineBits == kPairedHalfBits, "a row and a column per word");
    for (int i = 0; i < s; ++i) {
        trialPairs.darkFunction[i] =
            trialRows.darkFunction[i][0] | (trialColumns.darkFunction[i][0] << kPairedHalfBits);
        trialPairs.freeCells[i] =
            trialRows.freeCells[i][0] | (trialColumns.freeCells[i][0] << kPairedHalfBits);
        trialPairs.dataBits[i] =
            trialRows.dataBits[i][0] | (trialColumns.dataBits[i][0] << kPairedHalfBits);
    }
    // The dark module is dark under every mask; the format cells are light until a mask is tried.
    int x, y;
    DarkModuleCell(s, &x, &y);
    TogglePairedCell(trialPairs.darkFunction, x, y);
    trialPairsFormat = 0;
}

int CQrEncoder::ScoreTrialMask(int mask) {
    static_assert(kTrialLineWords == kLineWords, "one line width");
    const int s = symbolSize;
    if (s <= kPairedLineBits) {
        // Draw the format information of this mask: flip the cells where its word differs from
        // the one drawn.
        const int word = FormatInfoWord(level, mask);
        const int changed = word ^ trialPairsFormat;
        for (int i = 0; i < kFormatBits; ++i) {
            if (((changed >> i) & 1) == 0) continue;
            for (int copy = 0; copy < 2; ++copy) {
                int x, y;
                FormatCell(i, copy, s, &x, &y);
                TogglePairedCell(trialPairs.darkFunction, x, y);
            }
        }
        trialPairsFormat = word;
        return ScorePaired(trialPairs.darkFunction, trialPairs.freeCells, trialPairs.dataBits,
                           PAIRED_MASK_LINES.of[mask], s);
    }
    Word rows[kMaxSymbolSize][kLineWords];
    Word columns[kMaxSymbolSize][kLineWords];
    MaskLines(trialRows.darkFunction, trialRows.freeCells, trialRows.dataBits,
              MASK_LINES.rows[mask], s, rows);
    MaskLines(trialColumns.darkFunction, trialColumns.freeCells, trialColumns.dataBits,
              MASK_LINES.columns[mask], s, columns);

    // The format information of this mask and the dark module, as PlaceFormatInformation draws
    // them; their cells were light until now.
    const int word = FormatInfoWord(level, mask);
    for (int i = 0; i < kFormatBits; ++i) {
        if (((word >> i) & 1) == 0) continue;
        for (int copy = 0; copy < 2; ++copy) {
            int x, y;
            FormatCell(i, copy, s, &x, &y);
            SetLineBit(rows, y, x);
            SetLineBit(columns, x, y);
        }
    }
    int x, y;
    DarkModuleCell(s, &x, &y);
    SetLineBit(rows, y, x);
    SetLineBit(columns, x, y);
    return ScoreLines(rows, columns, s);
}

// Tries masks 0..7 in order when none was asked for, keeping a later one only when it scores
// strictly lower; then finishes the matrix with the chosen mask. Each mask is scored as
// ScoreMask() would score the matrix after ApplyMask and PlaceFormatInformation, on bit lines
// packed once, and the chosen one is written from the same lines.
void CQrEncoder::ChooseMask() {
    if (maskNumber != -1) {
        ApplyMask(maskNumber);
        PlaceFormatInformation(maskNumber);
        FlattenModules();
        return;
    }
    PackTrialPlanes();
    maskNumber = 0;
    int best = ScoreTrialMask(0);
    for (int m = 1; m < kMaskCount; ++m) {
        const int score = ScoreTrialMask(m);
        if (score < best) {
            best = score;
            maskNumber = m;
        }
    }
    WriteTrialSymbol(maskNumber);
}

// Each column as one bit line, then eight cells at a time from its bits; the format cells, light
// in the planes, are written last.
void CQrEncoder::WriteTrialSymbol(int mask) {
    const int s = symbolSize;
    const int words = (s + kWordBits - 1) / kWordBits;
    for (int x = 0; x < s; ++x) {
        const Word* condition = MASK_LINES.columns[mask][x % kMaskPeriod];
        Word line[kLineWords] = {};
        for (int w = 0; w < words; ++w) {
            line[w] = trialColumns.darkFunction[x][w] |
                      (trialColumns.dataBits[x][w] ^ (trialColumns.freeCells[x][w] & condition[w]));
        }
        unsigned char* column = modules[x];
        ForEachEightCells(
            s, [&](int y) { StoreCells(column + y, EXPANDED_BITS.of[EightBits(line, y)]); });
    }
    const int word = FormatInfoWord(level, mask);
    for (int i = 0; i < kFormatBits; ++i) {
        for (int copy = 0; copy < 2; ++copy) {
            int x, y;
            FormatCell(i, copy, s, &x, &y);
            modules[x][y] = static_cast<unsigned char>((word >> i) & 1);
        }
    }
    int x, y;
    DarkModuleCell(s, &x, &y);
    modules[x][y] = 1;
}

// Eight cells of a column at a time: 1 where either dark flag is set, else 0.
void CQrEncoder::FlattenModules() {
    const int s = symbolSize;
    constexpr int kFunctionDarkShift = 4;
    static_assert(MODULE_FUNCTION_DARK == MODULE_DARK << kFunctionDarkShift, "dark flags");
    for (int x = 0; x < s; ++x) {
        unsigned char* column = modules[x];
        if (s < 8) {
            for (int y = 0; y < s; ++y) column[y] = (column[y] & MODULE_ANY_DARK) ? 1 : 0;
            continue;
        }
        ForEachEightCells(s, [&](int y) {
            const Word cells = LoadCells(column + y);
            StoreCells(column + y, (cells | (cells >> kFunctionDarkShift)) & kLowBitOfEachByte);
        });
    }
}

}  // namespace qr

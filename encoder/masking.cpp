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
    Word w = 0;
    for (int i = 0; i < 8; ++i) w |= static_cast<Word>(cells[i]) << (8 * i);
    return w;
}

void StoreCells(unsigned char* cells, Word w) {
    for (int i = 0; i < 8; ++i) cells[i] = static_cast<unsigned char>(w >> (8 * i));
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

// Packs `size` cells of one column into a bit line: bit y is set where `cells[y] & flag` is
// non-zero, or zero where `inverted`. Bits from `size` on are 0.
void PackColumn(const unsigned char* cells, int size, unsigned char flag, bool inverted,
                Word* line) {
    const int flagBit = FlagBit(flag);
    const unsigned flip = inverted ? 0xFFu : 0u;
    for (int w = 0; w < kLineWords; ++w) line[w] = 0;
    int y = 0;
    for (; y + 8 <= size; y += 8) {
        const unsigned bits = GatherFlag(LoadCells(cells + y), flagBit) ^ flip;
        line[y / kWordBits] |= static_cast<Word>(bits) << (y % kWordBits);
    }
    for (; y < size; ++y) {
        if (((cells[y] & flag) != 0) != inverted) line[y / kWordBits] |= Word{1} << (y % kWordBits);
    }
}

// Transposes a 64 x 64 bit block in place: bit j of a[i] goes to bit i of a[j].
void Transpose64(Word a[64]) {
    Word m = 0x00000000FFFFFFFFu;
    for (int j = 32; j != 0; j >>= 1, m ^= m << j) {
        for (int k = 0; k < 64; k = ((k | j) + 1) & ~j) {
            const Word t = ((a[k] >> j) ^ a[k | j]) & m;
            a[k] ^= t << j;
            a[k | j] ^= t;
        }
    }
}

// Rows of a square of `size` cells from its columns: bit x of rows[y] is bit y of columns[x].
void TransposeLines(const Word (*columns)[kLineWords], int size, Word (*rows)[kLineWords]) {
    const int words = (size + kWordBits - 1) / kWordBits;
    Word block[kWordBits];
    for (int bx = 0; bx < words; ++bx) {
        for (int by = 0; by < words; ++by) {
            for (int i = 0; i < kWordBits; ++i) {
                const int x = bx * kWordBits + i;
                block[i] = x < size ? columns[x][by] : 0;
            }
            Transpose64(block);
            for (int j = 0; j < kWordBits && by * kWordBits + j < size; ++j) {
                rows[by * kWordBits + j][bx] = block[j];
            }
        }
    }
}

// A line of N words held in registers.
template <int N>
struct Bits {
    Word w[N];
};

template <int N>
Bits<N> Load(const Word* line) {
    Bits<N> r;
    for (int i = 0; i < N; ++i) r.w[i] = line[i];
    return r;
}

template <int N>
Bits<N> operator&(Bits<N> a, const Bits<N>& b) {
    for (int i = 0; i < N; ++i) a.w[i] &= b.w[i];
    return a;
}

template <int N>
Bits<N> operator|(Bits<N> a, const Bits<N>& b) {
    for (int i = 0; i < N; ++i) a.w[i] |= b.w[i];
    return a;
}

template <int N>
Bits<N> operator^(Bits<N> a, const Bits<N>& b) {
    for (int i = 0; i < N; ++i) a.w[i] ^= b.w[i];
    return a;
}

template <int N>
Bits<N> operator~(Bits<N> a) {
    for (int i = 0; i < N; ++i) a.w[i] = ~a.w[i];
    return a;
}

// Bit i of the result is bit i + k of `a` (0 < k < 64); bits shifted in from beyond the last word
// are `fill`.
template <int N>
Bits<N> Next(const Bits<N>& a, int k, bool fill = false) {
    Bits<N> r;
    for (int i = 0; i < N; ++i) {
        const Word above = i + 1 < N ? a.w[i + 1] : (fill ? ~Word{0} : 0);
        r.w[i] = (a.w[i] >> k) | (above << (kWordBits - k));
    }
    return r;
}

// Bit i of the result is bit i - k of `a` (0 < k < 64); bits shifted in below bit 0 are `fill`.
template <int N>
Bits<N> Previous(const Bits<N>& a, int k, bool fill = false) {
    Bits<N> r;
    for (int i = 0; i < N; ++i) {
        const Word below = i > 0 ? a.w[i - 1] : (fill ? ~Word{0} : 0);
        r.w[i] = (a.w[i] << k) | (below >> (kWordBits - k));
    }
    return r;
}

template <int N>
bool Any(const Bits<N>& a) {
    Word any = 0;
    for (int i = 0; i < N; ++i) any |= a.w[i];
    return any != 0;
}

// Bits 0..count-1 set.
template <int N>
Bits<N> FirstBits(int count) {
    Bits<N> r;
    for (int i = 0; i < N; ++i) {
        const int inWord = count - i * kWordBits;
        r.w[i] = inWord <= 0 ? 0 : inWord >= kWordBits ? ~Word{0} : (Word{1} << inWord) - 1;
    }
    return r;
}

// The number of set bits of each byte of `w`, in that byte (population count, first steps).
Word ByteCounts(Word w) {
    w = w - ((w >> 1) & 0x5555555555555555u);
    w = (w & 0x3333333333333333u) + ((w >> 2) & 0x3333333333333333u);
    return (w + (w >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
}

// The sum of the bytes of `w` (each sum of byte counts stays below 256).
int SumOfBytes(Word w) {
    return static_cast<int>((w * kLowBitOfEachByte) >> 56);
}

template <int N>
Word ByteCounts(const Bits<N>& a) {
    Word sum = 0;
    for (int i = 0; i < N; ++i) sum += ByteCounts(a.w[i]);
    return sum;
}

template <int N>
int Count(const Bits<N>& a) {
    return SumOfBytes(ByteCounts(a));
}

// Rules 1 and 3 over one line of `size` cells whose bits from `size` on are 0 (light).
template <int N>
int ScoreLine(const Bits<N>& dark, const Bits<N>& pairs, const Bits<N>& finderStarts) {
    // Rule 1: a run of L >= 5 holds L - 4 windows of five equal cells, and scores
    // 3 + (L - 5) = (L - 4) + 2.
    const Bits<N> same = ~(dark ^ Next(dark, 1)) & pairs;  // cell i equals cell i + 1
    Bits<N> five = same & Next(same, 1);
    five = five & Next(five, 2);                          // cells i..i+4 equal
    const Bits<N> runStarts = five & ~Previous(same, 1);  // and cell i - 1 differs
    static_assert(kPenaltyRun - 1 <= 2, "the byte counts of one line stay below 256");
    int score = SumOfBytes(ByteCounts(five) + (kPenaltyRun - 1) * ByteCounts(runStarts));

    // Rule 3: dark, light, three dark, light, dark at i..i+6 with light cells at i - 1 and i + 7,
    // and four light cells before or after; cells beyond the line are light.
    const Bits<N> light = ~dark;
    Bits<N> finder = dark & Next(light, 1, true) & Next(dark, 2) & Next(dark, 3) & Next(dark, 4) &
                     Next(light, 5, true) & Next(dark, 6) & finderStarts;
    if (Any(finder)) {
        finder = finder & Previous(light, 1, true) & Next(light, 7, true);
        const Bits<N> quietBefore =
            Previous(light, 2, true) & Previous(light, 3, true) & Previous(light, 4, true);
        const Bits<N> quietAfter =
            Next(light, 8, true) & Next(light, 9, true) & Next(light, 10, true);
        score += kPenaltyFinder * Count(finder & (quietBefore | quietAfter));
    }
    return score;
}

// The penalty of a square of `size` cells given as dark bit lines by rows and by columns.
template <int N>
int ScoreLinesOf(const Word (*rows)[kLineWords], const Word (*columns)[kLineWords], int size) {
    const Bits<N> pairs = FirstBits<N>(size - 1);
    const Bits<N> finderStarts = FirstBits<N>(size - 6);
    int score = 0;
    int dark = 0;
    Bits<N> row = Load<N>(rows[0]);
    for (int y = 0; y < size; ++y) {
        score += ScoreLine(row, pairs, finderStarts);
        dark += Count(row);
        if (y + 1 < size) {
            // Rule 2: cells (x, y), (x + 1, y), (x, y + 1) and (x + 1, y + 1) of one colour.
            const Bits<N> below = Load<N>(rows[y + 1]);
            const Bits<N> vertical = ~(row ^ below);
            const Bits<N> horizontal = ~(row ^ Next(row, 1));
            score += kPenaltyBlock * Count(vertical & Next(vertical, 1) & horizontal & pairs);
            row = below;
        }
    }
    for (int x = 0; x < size; ++x) score += ScoreLine(Load<N>(columns[x]), pairs, finderStarts);

    // Rule 4: the light share in whole percent, truncated.
    const int light = size * size - dark;
    const int percent = light * 100 / (size * size);
    return score + std::abs(50 - percent) / 5 * kPenaltyBalance;
}

int ScoreLines(const Word (*rows)[kLineWords], const Word (*columns)[kLineWords], int size) {
    if (size <= kWordBits) return ScoreLinesOf<1>(rows, columns, size);
    if (size <= 2 * kWordBits) return ScoreLinesOf<2>(rows, columns, size);
    return ScoreLinesOf<3>(rows, columns, size);
}

// Column and row of copy 1 (0) or 2 (1) of format bit `i` (0..14) in a symbol of `size`: the
// first copy runs down column 8 beside the top-left finder, then left along row 8, skipping the
// timing cells; the second along row 8 below the top-right finder, then down column 8 beside the
// bottom-left one.
void FormatCell(int i, int copy, int size, int* x, int* y) {
    if (copy == 0) {
        *x = i <= 7 ? 8 : i == 8 ? 7 : 14 - i;
        *y = i <= 5 ? i : i <= 7 ? i + 1 : 8;
    } else {
        *x = i <= 7 ? size - 1 - i : 8;
        *y = i <= 7 ? 8 : size - 15 + i;
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
        int y = 0;
        for (; y + 8 <= s; y += 8) {
            const Word cells = LoadCells(column + y);
            const Word inverted =
                EXPANDED_BITS.of[(condition[y / kWordBits] >> (y % kWordBits)) & 0xFF];
            const Word function = ((cells >> kFunctionShift) & kLowBitOfEachByte) * 0xFF;
            const Word data = (cells >> kDataShift) & kLowBitOfEachByte;
            const Word masked = (cells & ~(kLowBitOfEachByte * MODULE_DARK)) | (data ^ inverted);
            StoreCells(column + y, (cells & function) | (masked & ~function));
        }
        for (; y < s; ++y) {
            unsigned char& cell = column[y];
            if (cell & MODULE_FUNCTION) continue;
            const bool dark = ((cell & MODULE_DATA_BIT) != 0) != MaskCondition(mask, x, y);
            cell = static_cast<unsigned char>((cell & ~MODULE_DARK) | (dark ? MODULE_DARK : 0));
        }
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
        PackColumn(modules[x], s, MODULE_FUNCTION_DARK, false, functionDark);
        PackColumn(modules[x], s, MODULE_DARK, false, columns[x]);
        for (int w = 0; w < kLineWords; ++w) columns[x][w] |= functionDark[w];
    }
    TransposeLines(columns, s, rows);
    return ScoreLines(rows, columns, s);
}

void CQrEncoder::PackTrialPlanes() {
    const int s = symbolSize;
    for (int x = 0; x < s; ++x) {
        PackColumn(modules[x], s, MODULE_FUNCTION_DARK, false, trialColumns.darkFunction[x]);
        PackColumn(modules[x], s, MODULE_FUNCTION, true, trialColumns.freeCells[x]);
        PackColumn(modules[x], s, MODULE_DATA_BIT, false, trialColumns.dataBits[x]);
    }
    TransposeLines(trialColumns.darkFunction, s, trialRows.darkFunction);
    TransposeLines(trialColumns.freeCells, s, trialRows.freeCells);
    TransposeLines(trialColumns.dataBits, s, trialRows.dataBits);
}

int CQrEncoder::ScoreTrialMask(int mask) const {
    static_assert(kTrialLineWords == kLineWords, "one line width");
    const int s = symbolSize;
    const int words = (s + kWordBits - 1) / kWordBits;
    Word rows[kMaxSymbolSize][kLineWords];
    Word columns[kMaxSymbolSize][kLineWords];
    // A free cell is dark where its data bit differs from the condition.
    auto masked = [&](const BitPlanes& planes, const Word(*conditions)[kLineWords],
                      Word(*out)[kLineWords]) {
        for (int i = 0, phase = 0; i < s; ++i, phase = phase + 1 == kMaskPeriod ? 0 : phase + 1) {
            for (int w = 0; w < words; ++w) {
                out[i][w] =
                    planes.darkFunction[i][w] |
                    (planes.dataBits[i][w] ^ (planes.freeCells[i][w] & conditions[phase][w]));
            }
        }
    };
    masked(trialRows, MASK_LINES.rows[mask], rows);
    masked(trialColumns, MASK_LINES.columns[mask], columns);

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
// strictly lower; then applies the chosen mask with its format information. Each mask is scored
// as ScoreMask() would score the matrix after ApplyMask and PlaceFormatInformation, on bit lines
// packed once.
void CQrEncoder::ChooseMask() {
    if (maskNumber == -1) {
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
    }
    ApplyMask(maskNumber);
    PlaceFormatInformation(maskNumber);
}

// Eight cells of a column at a time: 1 where either dark flag is set, else 0.
void CQrEncoder::FlattenModules() {
    const int s = symbolSize;
    constexpr int kFunctionDarkShift = 4;
    static_assert(MODULE_FUNCTION_DARK == MODULE_DARK << kFunctionDarkShift, "dark flags");
    for (int x = 0; x < s; ++x) {
        unsigned char* column = modules[x];
        int y = 0;
        for (; y + 8 <= s; y += 8) {
            const Word cells = LoadCells(column + y);
            StoreCells(column + y, (cells | (cells >> kFunctionDarkShift)) & kLowBitOfEachByte);
        }
        for (; y < s; ++y) column[y] = (column[y] & MODULE_ANY_DARK) ? 1 : 0;
    }
}

}  // namespace qr

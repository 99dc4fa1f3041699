// Masking as the rules state it, cell by cell: the eight masks, the format information with the
// dark module, the penalty score, the mask choice and the flattening to 0/1 cells.
//
// These operations are the reference. Encode scores the masks and writes the finished symbol on
// the mask trial's bit planes (mask_trial.cpp), which a test holds equal to them on every version.
#include "encoder/masking.h"

#include "encoder/qr_encoder.h"

namespace qr {

namespace {

constexpr int kLevelBits[kLevelCount] = {0b01, 0b00, 0b11, 0b10};  // L, M, Q, H
constexpr int kFormatDataBits = 5;                                 // level bits, then the mask
constexpr int kFormatRemainderBits = kFormatBits - kFormatDataBits;
constexpr int kFormatGenerator = 0x537;  // x^10 + x^8 + x^5 + x^4 + x^2 + x + 1
constexpr int kFormatXorMask = 0x5412;
constexpr int kMicroFormatXorMask = 0x4445;
constexpr int kMicroMaskBits = 2;  // the symbol number, then the mask

bool IsDark(unsigned char cell) {
    return (cell & MODULE_ANY_DARK) != 0;
}

// One row or one column of a symbol: cell i of row y is (i, y), cell i of column x is (x, i).
// Cells beyond either end read as light.
class Line {
public:
    Line(const ModuleMatrix& modules, int size, bool isRow, int index)
        : modules_(modules), size_(size), isRow_(isRow), index_(index) {}

    int Size() const { return size_; }

    bool Dark(int i) const {
        if (i < 0 || i >= size_) return false;
        return IsDark(isRow_ ? modules_[i][index_] : modules_[index_][i]);
    }

    // Whether cells from..to (inclusive) are all light.
    bool Light(int from, int to) const {
        for (int i = from; i <= to; ++i) {
            if (Dark(i)) return false;
        }
        return true;
    }

private:
    const ModuleMatrix& modules_;
    int size_;
    bool isRow_;
    int index_;
};

// Rule 1: each run of kRunLength or more cells of one colour.
int RunPoints(const Line& line) {
    int points = 0;
    for (int start = 0; start < line.Size();) {
        int end = start + 1;
        while (end < line.Size() && line.Dark(end) == line.Dark(start)) ++end;
        const int run = end - start;
        if (run >= kRunLength) points += kPenaltyRun + (run - kRunLength);
        start = end;
    }
    return points;
}

// Rule 3: each finder-like pattern at j..j+6 with a light cell right before and right after it,
// and kFinderQuietCells light cells before it or after it; the symbol's edge counts as light.
int FinderPoints(const Line& line) {
    int points = 0;
    for (int j = 0; j + kFinderLength <= line.Size(); ++j) {
        bool like = true;
        for (int k = 0; k < kFinderLength; ++k) like = like && line.Dark(j + k) == FINDER_LIKE[k];
        if (!like) continue;
        const int end = j + kFinderLength;  // the first cell after the pattern
        const bool quietBefore = line.Light(j - kFinderQuietCells, j - 1);
        const bool quietAfter = line.Light(end, end + kFinderQuietCells - 1);
        if (line.Light(j - 1, j - 1) && line.Light(end, end) && (quietBefore || quietAfter)) {
            points += kPenaltyFinder;
        }
    }
    return points;
}

// The 5 data bits `data` with their BCH(15,5) remainder, XORed with `xorMask`.
int FormatWordOf(int data, int xorMask) {
    // The remainder: divide data * x^10 by the generator, one power at a time.
    int remainder = data << kFormatRemainderBits;
    for (int power = kFormatBits - 1; power >= kFormatRemainderBits; --power) {
        if (remainder & (1 << power))
            remainder ^= kFormatGenerator << (power - kFormatRemainderBits);
    }
    return ((data << kFormatRemainderBits) | remainder) ^ xorMask;
}

}  // namespace

int FormatInfoWord(int level, int mask) {
    return FormatWordOf(kLevelBits[level] << 3 | mask, kFormatXorMask);
}

int MicroFormatInfoWord(int symbolNumber, int mask) {
    return FormatWordOf(symbolNumber << kMicroMaskBits | mask, kMicroFormatXorMask);
}

void CQrEncoder::ApplyMask(int mask) {
    for (int x = 0; x < symbolSize; ++x) {
        for (int y = 0; y < symbolSize; ++y) {
            unsigned char& cell = modules[x][y];
            if (cell & MODULE_FUNCTION) continue;
            const bool dark = ((cell & MODULE_DATA_BIT) != 0) != MaskCondition(mask, x, y);
            cell = static_cast<unsigned char>((cell & ~MODULE_DARK) | (dark ? MODULE_DARK : 0));
        }
    }
}

void CQrEncoder::PlaceFormatInformation(int mask) {
    const int word = FormatInfoWord(level, mask);
    for (int bit = 0; bit < kFormatBits; ++bit) {
        for (const EdgeCell& cell : FORMAT_CELLS[bit]) {
            modules[FromEdge(cell.x, symbolSize)][FromEdge(cell.y, symbolSize)] =
                (word >> bit) & 1 ? MODULE_DARK_FUNCTION : MODULE_LIGHT_FUNCTION;
        }
    }
    modules[FromEdge(DARK_MODULE.x, symbolSize)][FromEdge(DARK_MODULE.y, symbolSize)] =
        MODULE_DARK_FUNCTION;
}

int CQrEncoder::ScoreMask() const {
    const int s = symbolSize;
    int score = 0;
    // Rules 1 and 3 on every row and every column.
    for (int i = 0; i < s; ++i) {
        const Line row(modules, s, true, i);
        const Line column(modules, s, false, i);
        score += RunPoints(row) + FinderPoints(row) + RunPoints(column) + FinderPoints(column);
    }
    // Rule 2: every 2x2 block of one colour, overlapping blocks each counted.
    for (int x = 0; x + 1 < s; ++x) {
        for (int y = 0; y + 1 < s; ++y) {
            const bool dark = IsDark(modules[x][y]);
            if (IsDark(modules[x + 1][y]) == dark && IsDark(modules[x][y + 1]) == dark &&
                IsDark(modules[x + 1][y + 1]) == dark) {
                score += kPenaltyBlock;
            }
        }
    }
    // Rule 4: the share of light cells.
    int light = 0;
    for (int x = 0; x < s; ++x) {
        for (int y = 0; y < s; ++y) light += IsDark(modules[x][y]) ? 0 : 1;
    }
    return score + BalancePenalty(light, s * s);
}

void CQrEncoder::FlattenModules() {
    for (int x = 0; x < symbolSize; ++x) {
        for (int y = 0; y < symbolSize; ++y) modules[x][y] = IsDark(modules[x][y]) ? 1 : 0;
    }
}

// Each mask is scored with its own format information in place, on the trial's planes packed
// once; a later mask wins only with a strictly lower score.
void CQrEncoder::ChooseMask() {
    if (maskNumber == -1) {
        PackTrialPlanes();
        int scores[kMaskCount];
        ScoreTrialMasks(scores);
        maskNumber = 0;
        for (int m = 1; m < kMaskCount; ++m) {
            if (scores[m] < scores[maskNumber]) maskNumber = m;
        }
    }
    WriteMaskedSymbol(maskNumber);
}

}  // namespace qr

// Masking: the eight mask patterns, the penalty score that chooses among them, the format
// information with the dark module, and the flattening of the matrix to 0/1 cells.
#include <cstdlib>

#include "encoder/qr_encoder.h"

namespace qr {

namespace {

constexpr int FORMAT_LEVEL_BITS[kLevelCount] = {0b01, 0b00, 0b11, 0b10};  // L, M, Q, H
constexpr int kFormatGenerator = 0x537;  // x^10 + x^8 + x^5 + x^4 + x^2 + x + 1
constexpr int kFormatXorMask = 0x5412;
constexpr int kFormatBits = 15;

constexpr int kPenaltyRun = 3;      // added to (run length - 5) for runs of 5 or more
constexpr int kPenaltyBlock = 3;    // each 2x2 block of one colour
constexpr int kPenaltyFinder = 40;  // each finder-like pattern in a line
constexpr int kPenaltyBalance = 10; // each 5 % step away from half light

// Whether mask `mask` inverts the data cell in column x, row y.
bool MaskCondition(int mask, int x, int y) {
    switch (mask) {
        case 0: return (x + y) % 2 == 0;
        case 1: return y % 2 == 0;
        case 2: return x % 3 == 0;
        case 3: return (x + y) % 3 == 0;
        case 4: return (y / 2 + x / 3) % 2 == 0;
        case 5: return (x * y) % 2 + (x * y) % 3 == 0;
        case 6: return ((x * y) % 2 + (x * y) % 3) % 2 == 0;
        default: return ((x + y) % 2 + (x * y) % 3) % 2 == 0;
    }
}

bool IsDark(unsigned char cell) { return (cell & MODULE_ANY_DARK) != 0; }

// Rules 1 and 3 over one line: `dark(i)` gives the colour of cell i of a line of `size` cells.
template <typename Dark>
int ScoreLine(int size, Dark dark) {
    int score = 0;
    int runStart = 0;
    for (int i = 1; i <= size; ++i) {
        if (i == size || dark(i) != dark(runStart)) {
            const int run = i - runStart;
            if (run >= 5) score += kPenaltyRun + (run - 5);
            runStart = i;
        }
    }
    auto lightAt = [&](int i) { return i < 0 || i >= size || !dark(i); };
    for (int j = 0; j + 7 <= size; ++j) {
        if (!(dark(j) && !dark(j + 1) && dark(j + 2) && dark(j + 3) && dark(j + 4) &&
              !dark(j + 5) && dark(j + 6))) {
            continue;
        }
        if (!lightAt(j - 1) || !lightAt(j + 7)) continue;
        const bool quietBefore = lightAt(j - 2) && lightAt(j - 3) && lightAt(j - 4);
        const bool quietAfter = lightAt(j + 8) && lightAt(j + 9) && lightAt(j + 10);
        if (quietBefore || quietAfter) score += kPenaltyFinder;
    }
    return score;
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
    const int s = symbolSize;
    const int word = FormatInfoWord(level, mask);
    for (int i = 0; i < kFormatBits; ++i) {
        const unsigned char cell =
            ((word >> i) & 1) ? MODULE_DARK_FUNCTION : MODULE_LIGHT_FUNCTION;
        // First copy: down column 8 beside the top-left finder, then left along row 8, skipping
        // the timing cells.
        if (i <= 5) {
            modules[8][i] = cell;
        } else if (i <= 7) {
            modules[8][i + 1] = cell;
        } else if (i == 8) {
            modules[7][8] = cell;
        } else {
            modules[14 - i][8] = cell;
        }
        // Second copy: row 8 below the top-right finder, then column 8 beside the bottom-left.
        if (i <= 7) {
            modules[s - 1 - i][8] = cell;
        } else {
            modules[8][s - 15 + i] = cell;
        }
    }
    modules[8][s - 8] = MODULE_DARK_FUNCTION;
}

int CQrEncoder::ScoreMask() const {
    const int s = symbolSize;
    int score = 0;
    for (int x = 0; x < s; ++x) score += ScoreLine(s, [&](int y) { return IsDark(modules[x][y]); });
    for (int y = 0; y < s; ++y) score += ScoreLine(s, [&](int x) { return IsDark(modules[x][y]); });

    for (int x = 0; x + 1 < s; ++x) {
        for (int y = 0; y + 1 < s; ++y) {
            const bool d = IsDark(modules[x][y]);
            if (IsDark(modules[x + 1][y]) == d && IsDark(modules[x][y + 1]) == d &&
                IsDark(modules[x + 1][y + 1]) == d) {
                score += kPenaltyBlock;
            }
        }
    }

    int light = 0;
    for (int x = 0; x < s; ++x) {
        for (int y = 0; y < s; ++y) light += !IsDark(modules[x][y]);
    }
    const int percent = light * 100 / (s * s);
    score += std::abs(50 - percent) / 5 * kPenaltyBalance;
    return score;
}

// Tries masks 0..7 in order when none was asked for, keeping a later one only when it scores
// strictly lower; then applies the chosen mask with its format information.
void CQrEncoder::ChooseMask() {
    if (maskNumber == -1) {
        maskNumber = 0;
        ApplyMask(0);
        PlaceFormatInformation(0);
        int best = ScoreMask();
        for (int m = 1; m < kMaskCount; ++m) {
            ApplyMask(m);
            PlaceFormatInformation(m);
            const int score = ScoreMask();
            if (score < best) {
                best = score;
                maskNumber = m;
            }
        }
    }
    ApplyMask(maskNumber);
    PlaceFormatInformation(maskNumber);
}

void CQrEncoder::FlattenModules() {
    for (int x = 0; x < symbolSize; ++x) {
        for (int y = 0; y < symbolSize; ++y) modules[x][y] = IsDark(modules[x][y]) ? 1 : 0;
    }
}

}  // namespace qr

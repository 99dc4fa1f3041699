// The symbol matrix: function patterns (finders, separators, the reserved format area, version
// information, alignment and timing patterns) and the zig-zag placement of the codewords.
#include <cstring>

#include "encoder/qr_encoder.h"
#include "encoder/tables.h"

namespace qr {

namespace {

constexpr int kFinderSize = 7;
constexpr int kAlignmentSize = 5;
constexpr int kTimingLine = 6;  // the row and the column of the timing patterns
constexpr int kFirstVersionWithVersionInfo = 7;
constexpr int kVersionInfoGenerator = 0x1F25;  // x^12 + x^11 + x^10 + x^9 + x^8 + x^5 + x^2 + 1

unsigned char FunctionCell(bool dark) { return dark ? MODULE_DARK_FUNCTION : MODULE_LIGHT_FUNCTION; }

}  // namespace

int VersionInfoWord(int version) {
    int r = version << 12;
    for (int n = 5; n >= 0; --n) {
        if (r & (1 << (n + 12))) r ^= kVersionInfoGenerator << n;
    }
    return (version << 12) + r;
}

void CQrEncoder::BuildSymbol() {
    std::memset(modules, 0, sizeof modules);
    PlaceFunctionPatterns();
    PlaceCodewords();
    ChooseMask();
    FlattenModules();
}

void CQrEncoder::PlaceFunctionPatterns() {
    const int s = symbolSize;
    PlaceFinderPattern(0, 0);
    PlaceFinderPattern(s - kFinderSize, 0);
    PlaceFinderPattern(0, s - kFinderSize);

    // Separators: the light border on the inner sides of each finder.
    for (int i = 0; i <= kFinderSize; ++i) {
        modules[7][i] = modules[i][7] = MODULE_LIGHT_FUNCTION;
        modules[s - 8 + i][7] = modules[s - 8][i] = MODULE_LIGHT_FUNCTION;
        modules[7][s - 8 + i] = modules[i][s - 8] = MODULE_LIGHT_FUNCTION;
    }

    // The format information area and the dark module's cell stay light until masking.
    for (int j = 0; j <= 8; ++j) modules[8][j] = modules[j][8] = MODULE_LIGHT_FUNCTION;
    for (int k = 0; k <= 7; ++k) modules[8][s - 8 + k] = modules[s - 8 + k][8] = MODULE_LIGHT_FUNCTION;

    PlaceVersionInformation();

    const VersionInfo& info = VERSION_TABLE[version];
    const int n = info.alignmentCount;
    const int* p = info.alignmentPositions;
    for (int i = 0; i < n; ++i) {
        PlaceAlignmentPattern(p[i], kTimingLine);
        PlaceAlignmentPattern(kTimingLine, p[i]);
        for (int j = 0; j < n; ++j) PlaceAlignmentPattern(p[i], p[j]);
    }

    PlaceTimingPatterns();
}

void CQrEncoder::PlaceFinderPattern(int x0, int y0) {
    for (int k = 0; k < kFinderSize; ++k) {
        for (int dx = 0; dx < kFinderSize; ++dx) {
            modules[x0 + dx][y0 + k] = FunctionCell((FINDER_PATTERN_ROWS[k] >> (6 - dx)) & 1);
        }
    }
}

void CQrEncoder::PlaceAlignmentPattern(int cx, int cy) {
    if (modules[cx][cy] & MODULE_FUNCTION) return;
    for (int k = 0; k < kAlignmentSize; ++k) {
        for (int dx = 0; dx < kAlignmentSize; ++dx) {
            modules[cx - 2 + dx][cy - 2 + k] =
                FunctionCell((ALIGNMENT_PATTERN_ROWS[k] >> (4 - dx)) & 1);
        }
    }
}

void CQrEncoder::PlaceVersionInformation() {
    if (version < kFirstVersionWithVersionInfo) return;
    const int word = VersionInfoWord(version);
    const int s = symbolSize;
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 3; ++j) {
            const unsigned char cell = FunctionCell((word >> (3 * i + j)) & 1);
            modules[i][s - 11 + j] = cell;  // bottom-left block, 6 wide and 3 high
            modules[s - 11 + j][i] = cell;  // top-right block, its transpose
        }
    }
}

// Drawn last: overwrites the reserved cells (8, 6) and (6, 8) and the middle lines of the
// alignment patterns on row or column 6 with the same values.
void CQrEncoder::PlaceTimingPatterns() {
    for (int t = 8; t <= symbolSize - 9; ++t) {
        const unsigned char cell = FunctionCell(t % 2 == 0);
        modules[kTimingLine][t] = cell;
        modules[t][kTimingLine] = cell;
    }
}

// The walk covers column pairs from the right edge leftwards, right cell before left cell,
// upwards and downwards in turn, skipping the timing column and every function cell.
void CQrEncoder::PlaceCodewords() {
    const int s = symbolSize;
    int x = s;
    int y = s - 1;
    int dx = 1;
    int dy = 1;
    for (int c = 0; c < totalCodewordCount; ++c) {
        const unsigned codeword = finalCodewords[c];
        for (int bit = 7; bit >= 0; --bit) {
            do {
                x += dx;
                const bool movedRight = dx == 1;
                dx = -dx;
                if (movedRight) {
                    y += dy;
                    if (y < 0 || y == s) {
                        y = y < 0 ? 0 : s - 1;
                        x -= 2;
                        dy = -dy;
                        if (x == kTimingLine) x = kTimingLine - 1;
                    }
                }
                if (x < 0) return;  // guard at the left edge; the capacities never reach it
            } while (modules[x][y] & MODULE_FUNCTION);
            modules[x][y] = ((codeword >> bit) & 1) ? MODULE_DATA_BIT : 0;
        }
    }
}

}  // namespace qr

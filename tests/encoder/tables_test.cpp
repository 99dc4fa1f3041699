// The constant tables against their invariants over every version and level, the telling rows,
// and GF(256) and the generator polynomials recomputed independently.
#include "encoder/tables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace qr {
namespace {

int EcPerBlock(const VersionInfo& row, int level) {
    return row.group1Blocks[level].blockCodewords - row.group1Blocks[level].blockDataCodewords;
}

TEST(Tables, EveryVersionAndLevelKeepsTheCapacityInvariants) {
    const std::set<int> ecCounts = {7, 10, 13, 15, 16, 17, 18, 20, 22, 24, 26, 28, 30};
    for (int v = 1; v <= kMaxVersion; ++v) {
        const VersionInfo& row = VERSION_TABLE[v];
        SCOPED_TRACE("version " + std::to_string(v));
        EXPECT_EQ(row.versionNumber, v);
        // Modules left for codewords once every function pattern is taken out.
        int r = (16 * v + 128) * v + 64;
        if (v >= 2) {
            const int a = v / 7 + 2;
            r -= (25 * a - 10) * a - 55;
            if (v >= 7) r -= 36;
        }
        EXPECT_EQ(row.totalCodewords, r / 8);
        for (int l = 0; l < kLevelCount; ++l) {
            SCOPED_TRACE("level " + std::to_string(l));
            const RsBlockSpec& g1 = row.group1Blocks[l];
            const RsBlockSpec& g2 = row.group2Blocks[l];
            EXPECT_EQ(row.totalCodewords,
                      g1.blockCount * g1.blockCodewords + g2.blockCount * g2.blockCodewords);
            EXPECT_EQ(row.dataCodewordCount[l], g1.blockCount * g1.blockDataCodewords +
                                                    g2.blockCount * g2.blockDataCodewords);
            EXPECT_GE(g1.blockCount, 1);
            if (g2.blockCount > 0) {
                EXPECT_EQ(g2.blockCodewords, g1.blockCodewords + 1);
                EXPECT_EQ(g2.blockDataCodewords, g1.blockDataCodewords + 1);
            } else {
                EXPECT_EQ(g2.blockCodewords, 0);
                EXPECT_EQ(g2.blockDataCodewords, 0);
            }
            const int blocks = g1.blockCount + g2.blockCount;
            EXPECT_EQ(g1.blockCodewords, row.totalCodewords / blocks);
            EXPECT_EQ(g1.blockCount, blocks - row.totalCodewords % blocks);
            if (v > 1) {
                EXPECT_GT(row.dataCodewordCount[l], VERSION_TABLE[v - 1].dataCodewordCount[l]);
            }
            EXPECT_EQ(ecCounts.count(EcPerBlock(row, l)), 1u) << EcPerBlock(row, l);
            EXPECT_NE(RS_GENERATOR_EXPONENTS[EcPerBlock(row, l)], nullptr);
            EXPECT_LE(g1.blockCodewords + (g2.blockCount > 0 ? 1 : 0), kMaxBlockCodewords);
        }
        EXPECT_LE(row.dataCodewordCount[LEVEL_L], kMaxDataCodewords);
        EXPECT_LE(row.totalCodewords, kMaxTotalCodewords);
    }
    EXPECT_EQ(VERSION_TABLE[40].dataCodewordCount[LEVEL_L], kMaxDataCodewords);
    EXPECT_EQ(VERSION_TABLE[40].totalCodewords, kMaxTotalCodewords);
}

TEST(Tables, AlignmentCoordinatesFollowTheEvenSpacingRule) {
    for (int v = 1; v <= kMaxVersion; ++v) {
        SCOPED_TRACE("version " + std::to_string(v));
        const VersionInfo& row = VERSION_TABLE[v];
        std::vector<int> expected;
        if (v >= 2) {
            // Centres from the far edge back towards 6, in equal even steps.
            const int count = v / 7 + 2;
            const int step = v == 32 ? 26 : (v * 4 + count * 2 + 1) / (2 * count - 2) * 2;
            for (int i = 0, p = 4 * v + 10; i < count - 1; ++i, p -= step)
                expected.insert(expected.begin(), p);
        }
        ASSERT_EQ(row.alignmentCount, static_cast<int>(expected.size()));
        for (int i = 0; i < kMaxAlignmentPositions; ++i) {
            EXPECT_EQ(row.alignmentPositions[i], i < row.alignmentCount ? expected[i] : 0) << i;
        }
    }
}

TEST(Tables, TellingRows) {
    struct Blocks {
        int c1, n1, k1, c2, n2, k2;
    };
    struct Row {
        int v, total;
        int data[4];
        std::vector<int> align;
        Blocks blocks[4];
    };
    const std::vector<Row> rows = {
        {1,
         26,
         {19, 16, 13, 9},
         {},
         {{1, 26, 19, 0, 0, 0}, {1, 26, 16, 0, 0, 0}, {1, 26, 13, 0, 0, 0}, {1, 26, 9, 0, 0, 0}}},
        {5,
         134,
         {108, 86, 62, 46},
         {30},
         {{1, 134, 108, 0, 0, 0},
          {2, 67, 43, 0, 0, 0},
          {2, 33, 15, 2, 34, 16},
          {2, 33, 11, 2, 34, 12}}},
        {7,
         196,
         {156, 124, 88, 66},
         {22, 38},
         {{2, 98, 78, 0, 0, 0},
          {4, 49, 31, 0, 0, 0},
          {2, 32, 14, 4, 33, 15},
          {4, 39, 13, 1, 40, 14}}},
        {14,
         581,
         {461, 365, 261, 197},
         {26, 46, 66},
         {{3, 145, 115, 1, 146, 116},
          {4, 64, 40, 5, 65, 41},
          {11, 36, 16, 5, 37, 17},
          {11, 36, 12, 5, 37, 13}}},
        {21,
         1156,
         {932, 714, 512, 406},
         {28, 50, 72, 94},
         {{4, 144, 116, 4, 145, 117},
          {17, 68, 42, 0, 0, 0},
          {17, 50, 22, 6, 51, 23},
          {19, 46, 16, 6, 47, 17}}},
        {32,
         2465,
         {1955, 1541, 1115, 845},
         {34, 60, 86, 112, 138},
         {{17, 145, 115, 0, 0, 0},
          {10, 74, 46, 23, 75, 47},
          {10, 54, 24, 35, 55, 25},
          {19, 45, 15, 35, 46, 16}}},
        {40,
         3706,
         {2956, 2334, 1666, 1276},
         {30, 58, 86, 114, 142, 170},
         {{19, 148, 118, 6, 149, 119},
          {18, 75, 47, 31, 76, 48},
          {34, 54, 24, 34, 55, 25},
          {20, 45, 15, 61, 46, 16}}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("version " + std::to_string(r.v));
        const VersionInfo& row = VERSION_TABLE[r.v];
        EXPECT_EQ(row.totalCodewords, r.total);
        EXPECT_EQ(
            std::vector<int>(row.alignmentPositions, row.alignmentPositions + row.alignmentCount),
            r.align);
        for (int l = 0; l < kLevelCount; ++l) {
            EXPECT_EQ(row.dataCodewordCount[l], r.data[l]);
            const Blocks& b = r.blocks[l];
            EXPECT_EQ(row.group1Blocks[l].blockCount, b.c1);
            EXPECT_EQ(row.group1Blocks[l].blockCodewords, b.n1);
            EXPECT_EQ(row.group1Blocks[l].blockDataCodewords, b.k1);
            EXPECT_EQ(row.group2Blocks[l].blockCount, b.c2);
            EXPECT_EQ(row.group2Blocks[l].blockCodewords, b.n2);
            EXPECT_EQ(row.group2Blocks[l].blockDataCodewords, b.k2);
        }
    }
    // Neighbours of version 32 at level L do have a second group.
    EXPECT_GT(VERSION_TABLE[31].group2Blocks[LEVEL_L].blockCount, 0);
    EXPECT_GT(VERSION_TABLE[33].group2Blocks[LEVEL_L].blockCount, 0);
}

TEST(Tables, GaloisFieldMatchesRepeatedDoubling) {
    int x = 1;
    for (int i = 0; i < 255; ++i) {
        EXPECT_EQ(GF_EXP[i], x) << i;
        EXPECT_EQ(GF_LOG[x], i) << x;
        x <<= 1;
        if (x & 0x100) x ^= 0x11D;
    }
    EXPECT_EQ(GF_EXP[255], 1);
    EXPECT_EQ(GF_LOG[0], 0);
    EXPECT_EQ(GF_LOG[3], 25);
}

TEST(Tables, GeneratorPolynomialsAreTheProductsOfTheirRoots) {
    // QR Code's degrees, Micro QR's 2, 5, 6, 8 and 14 (10 is in both) and rMQR's 9 and 12.
    std::set<int> present = {2, 5, 6, 7, 8, 9, 10, 12, 13, 14, 15, 16, 17, 18, 20};
    for (int n = 22; n <= kMaxGeneratorDegree; n += 2) present.insert(n);
    EXPECT_EQ(present.size(), 39u);
    for (int n = 0; n <= kMaxGeneratorDegree; ++n) {
        SCOPED_TRACE("n = " + std::to_string(n));
        if (!present.count(n)) {
            EXPECT_EQ(RS_GENERATOR_EXPONENTS[n], nullptr);
            continue;
        }
        ASSERT_NE(RS_GENERATOR_EXPONENTS[n], nullptr);
        std::vector<int> g = {1};  // coefficients, highest power first
        int root = 1;
        for (int i = 0; i < n; ++i) {
            std::vector<int> next(g.size() + 1, 0);
            for (std::size_t j = 0; j < g.size(); ++j) {
                next[j] ^= g[j];
                next[j + 1] ^= test::SlowGfMultiply(g[j], root);
            }
            g = next;
            root = test::SlowGfMultiply(root, 2);
        }
        for (int j = 0; j < n; ++j) {
            int power = 1;
            for (int e = 0; e < RS_GENERATOR_EXPONENTS[n][j]; ++e)
                power = test::SlowGfMultiply(power, 2);
            EXPECT_EQ(power, g[j + 1]) << "coefficient " << j;
        }
    }
    const std::vector<int> seven = {87, 229, 146, 149, 238, 102, 21};
    const std::vector<int> ten = {251, 67, 46, 61, 118, 70, 64, 94, 32, 45};
    EXPECT_EQ(std::vector<int>(RS_GENERATOR_EXPONENTS[7], RS_GENERATOR_EXPONENTS[7] + 7), seven);
    EXPECT_EQ(std::vector<int>(RS_GENERATOR_EXPONENTS[10], RS_GENERATOR_EXPONENTS[10] + 10), ten);
}

TEST(Tables, CountIndicatorWidthsAndPatternBitmaps) {
    const int widths[4][3] = {{10, 12, 14}, {9, 11, 13}, {8, 16, 16}, {8, 10, 12}};
    for (int m = 0; m < 4; ++m) {
        for (int g = 0; g < kVersionGroupCount; ++g)
            EXPECT_EQ(QR_STREAM_LAYOUTS[g].countBits[m], widths[m][g]);
    }
    for (const StreamLayout& layout : QR_STREAM_LAYOUTS) {
        EXPECT_EQ(layout.indicatorBits, 4);
        EXPECT_EQ(std::vector<unsigned>(layout.indicators, layout.indicators + kModeCount),
                  (std::vector<unsigned>{0b0001, 0b0010, 0b0100, 0b1000}));
    }
    const std::vector<int> finder = {0x7F, 0x41, 0x5D, 0x5D, 0x5D, 0x41, 0x7F};
    const std::vector<int> alignment = {0x1F, 0x11, 0x15, 0x11, 0x1F};
    EXPECT_EQ(std::vector<int>(FINDER_PATTERN_ROWS, FINDER_PATTERN_ROWS + 7), finder);
    EXPECT_EQ(std::vector<int>(ALIGNMENT_PATTERN_ROWS, ALIGNMENT_PATTERN_ROWS + 5), alignment);
}

TEST(Tables, EveryMicroVersionFillsItsFreeCellsAndNumbersItsSymbols) {
    // The Micro QR rows by version: the count widths N/A/B/K (0 where the mode is absent).
    const int countBits[kMicroVersionCount + 1][kModeCount] = {
        {}, {3, 0, 0, 0}, {4, 3, 0, 0}, {5, 4, 4, 3}, {6, 5, 5, 4}};
    int nextSymbolNumber = 0;
    for (int v = 1; v <= kMicroVersionCount; ++v) {
        SCOPED_TRACE("M" + std::to_string(v));
        const MicroVersionInfo& row = MICRO_VERSION_TABLE[v];
        EXPECT_EQ(row.versionNumber, v);
        // Cells left once the finder with its separator (8 x 8), the two timing lines beyond it
        // and the 15 format cells are taken out.
        const int side = 2 * v + 9;
        const int freeCells = side * side - 64 - 2 * (side - 8) - 15;
        EXPECT_EQ(row.terminatorBits, 2 * v + 1);
        EXPECT_EQ(row.layout.indicatorBits, v - 1);
        for (int m = 0; m < kModeCount; ++m) {
            EXPECT_EQ(row.layout.countBits[m], countBits[v][m]) << "mode " << m;
            EXPECT_EQ(row.layout.indicators[m], static_cast<unsigned>(m)) << "mode " << m;
        }
        int levels = 0;
        for (int slot = 0; slot < kMicroLevelSlots; ++slot) {
            SCOPED_TRACE("slot " + std::to_string(slot));
            if (row.dataBits[slot] == 0) {
                EXPECT_EQ(row.ecCodewords[slot], 0);
                EXPECT_EQ(row.symbolNumbers[slot], -1);
                continue;
            }
            ++levels;
            EXPECT_EQ(row.dataBits[slot] + 8 * row.ecCodewords[slot], freeCells);
            EXPECT_EQ((row.dataBits[slot] + 7) / 8 + row.ecCodewords[slot], row.totalCodewords);
            // A last codeword of 4 bits in M1 and M3 only.
            EXPECT_EQ(row.dataBits[slot] % 8, v % 2 == 1 ? 4 : 0);
            EXPECT_NE(RS_GENERATOR_EXPONENTS[row.ecCodewords[slot]], nullptr);
            EXPECT_EQ(row.symbolNumbers[slot], nextSymbolNumber++);
            if (slot > 1) {
                EXPECT_LT(row.dataBits[slot], row.dataBits[slot - 1]);
            }
        }
        // M1 detection only, M2 and M3 L and M, M4 L, M and Q.
        EXPECT_EQ(levels, v == 1 ? 1 : v == 4 ? 3 : 2);
        EXPECT_EQ(row.dataBits[0] != 0, v == 1);
    }
    EXPECT_EQ(nextSymbolNumber, 8);
}

TEST(Tables, ModesAndTheAlphanumericSet) {
    // Indicators 0001, 0010, 0100, 1000 and ECI 0111; group sizes and bits of each mode.
    struct Row {
        unsigned indicator;
        int bytesPerCharacter, groupCharacters, groupBits;
        std::vector<int> remainderBits;
    };
    const Row rows[kModeCount] = {
        {1, 1, 3, 10, {0, 4, 7}}, {2, 1, 2, 11, {0, 6}}, {4, 1, 1, 8, {0}}, {8, 2, 1, 13, {0}}};
    for (int m = 0; m < kModeCount; ++m) {
        SCOPED_TRACE("mode " + std::to_string(m));
        const ModeInfo& info = MODE_TABLE[m];
        EXPECT_EQ(info.indicator, rows[m].indicator);
        EXPECT_EQ(info.bytesPerCharacter, rows[m].bytesPerCharacter);
        EXPECT_EQ(info.groupCharacters, rows[m].groupCharacters);
        EXPECT_EQ(info.groupBits, rows[m].groupBits);
        for (std::size_t r = 0; r < rows[m].remainderBits.size(); ++r)
            EXPECT_EQ(info.remainderBits[r], rows[m].remainderBits[r]);
    }
    EXPECT_EQ(ECI_MODE_INDICATOR, 7u);
    // Each character of the set has its place in it as its value; every other byte has none.
    const std::string set = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
    for (int b = 0; b < 256; ++b) {
        const std::size_t at = set.find(static_cast<char>(b));
        const int expected = b != 0 && at != std::string::npos ? static_cast<int>(at) : 45;
        EXPECT_EQ(ALPHANUMERIC_VALUE.of[b], expected) << "byte " << b;
    }
    EXPECT_EQ(KANJI_RANGES[0].first, 0x8140u);
    EXPECT_EQ(KANJI_RANGES[0].last, 0x9FFCu);
    EXPECT_EQ(KANJI_RANGES[1].first, 0xE040u);
    EXPECT_EQ(KANJI_RANGES[1].last, 0xEBBFu);
}

}  // namespace
}  // namespace qr

// Masks, format information, the penalty rules on hand-made matrices, and the mask choice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/encoder/pictures.h"
#include "tests/support/test_support.h"

namespace qr {
namespace {

using test::Bytes;

// An encoder whose S x S square is drawn from rows of '#' (dark) and '.' (light); every cell is a
// data cell so that only the drawn colours count.
std::unique_ptr<CQrEncoder> Drawn(const std::vector<std::string>& rows) {
    auto encoder = std::make_unique<CQrEncoder>();
    std::memset(encoder->modules, 0, sizeof encoder->modules);
    encoder->symbolSize = static_cast<int>(rows.size());
    for (int y = 0; y < encoder->symbolSize; ++y) {
        for (int x = 0; x < encoder->symbolSize; ++x)
            encoder->modules[x][y] = rows[y][x] == '#' ? MODULE_DARK : 0;
    }
    return encoder;
}

// A 21 x 21 checkerboard scores nothing but the balance; `Line` replaces one row.
std::vector<std::string> Checkerboard(int size = 21) {
    std::vector<std::string> rows;
    for (int y = 0; y < size; ++y) {
        std::string row;
        for (int x = 0; x < size; ++x) row += (x + y) % 2 ? '.' : '#';
        rows.push_back(row);
    }
    return rows;
}

int BalancePoints(const std::vector<std::string>& rows) {
    int light = 0;
    for (const auto& r : rows) light += static_cast<int>(std::count(r.begin(), r.end(), '.'));
    const int cells = static_cast<int>(rows.size() * rows.size());
    const int p = light * 100 / cells;
    return std::abs(50 - p) / 5 * 10;
}

TEST(Masking, RulesOneAndThreeCountEachRowAsWritten) {
    struct Case {
        const char* row;
        int points;
    };
    // Row 0 of a checkerboard replaced; the rows below keep alternating, so columns add nothing
    // unless the row makes a 2x2 block (it cannot: row 1 alternates).
    for (const Case& c : std::vector<Case>{
             {"#.#.#.#.#.#.#.#.#.#.#", 0},
             {"####.#.#.#.#.#.#.#.#.", 0},       // a run of 4
             {"#####.#.#.#.#.#.#.#.#", 3},       // a run of 5
             {"######.#.#.#.#.#.#.#.", 4},       // 6
             {"#####################", 19},      // the whole line: S - 2
             {"#.###.#.#.#.#.#.#.#.#", 40},      // the edge before counts as light
             {"#.###.##.#.#.#.#.#.#.", 0},       // pattern followed by a dark cell
             {"#.###.#.....#.#.#.#.#", 40 + 3},  // edge before; light run of 5 after
             {"....#.###.#.#.#.#.#.#", 40},      // four light before, dark after
             {"#.#.#.###.#....#.#.#.", 40},      // one light before, four light after
             {"#.#.#.###.#..#.#.#.#.", 0},       // third cell after is dark
             {".#.###.#.#..#.###.#..", 80},      // cells beyond both ends are light
             {"#.#.#.###.#.#.#.#.#.#", 0},       // light neighbours but no quiet side
         }) {
        SCOPED_TRACE(c.row);
        std::vector<std::string> rows = Checkerboard();
        const int base = Drawn(rows)->ScoreMask();
        rows[0] = c.row;
        // The new row changes the balance and may make 2x2 blocks with row 1: take both out.
        int blocks = 0;
        for (int x = 0; x + 1 < 21; ++x) {
            const char d = rows[0][x];
            blocks += rows[0][x + 1] == d && rows[1][x] == d && rows[1][x + 1] == d;
        }
        const int score = Drawn(rows)->ScoreMask();
        EXPECT_EQ(score - BalancePoints(rows) - 3 * blocks - (base - BalancePoints(Checkerboard())),
                  c.points);
    }
}

TEST(Masking, FinderLikePatternInAColumnAtTheTopEdge) {
    std::vector<std::string> rows = Checkerboard();
    auto withColumn = [&](const std::string& column) {
        std::vector<std::string> r = rows;
        for (int y = 0; y < 21; ++y) r[y][0] = column[y];
        return r;
    };
    // Column 0 against column 1 (which alternates) makes no 2x2 block; only rule 3 and balance
    // move.
    const std::string pattern =
        "#.###.#."
        "#.#.#.#.#.#.#";
    const std::string blocked =
        "#.###.##"
        ".#.#.#.#.#.#.";
    const auto a = withColumn(pattern);
    const auto b = withColumn(blocked);
    const int base = Drawn(rows)->ScoreMask() - BalancePoints(rows);
    EXPECT_EQ(Drawn(a)->ScoreMask() - BalancePoints(a) - base, 40);
    // A dark cell right after the pattern: no finder, but the new runs in rows 6/7 still count as
    // nothing (runs of 2), and 2x2 blocks with column 1 are counted here.
    int blocks = 0;
    for (int y = 0; y + 1 < 21; ++y) {
        const char d = b[y][0];
        blocks += b[y + 1][0] == d && b[y][1] == d && b[y + 1][1] == d;
    }
    EXPECT_EQ(Drawn(b)->ScoreMask() - BalancePoints(b) - base - 3 * blocks, 0);
}

TEST(Masking, BlocksCountEveryOverlappingSquare) {
    std::vector<std::string> rows = Checkerboard();
    const int base = Drawn(rows)->ScoreMask() - BalancePoints(rows);
    // A 3x3 dark area in the middle of a checkerboard: four overlapping 2x2 blocks (12); its middle
    // row and column meet dark checkerboard cells on both sides, two runs of 5 (3 each).
    for (int y = 9; y < 12; ++y) {
        for (int x = 9; x < 12; ++x) rows[y][x] = '#';
    }
    EXPECT_EQ(Drawn(rows)->ScoreMask() - BalancePoints(rows) - base, 12 + 3 + 3);
}

// Rules 1 to 3 written plainly over a picture, as a second opinion on the encoder's scorer.
int ReferenceLayoutScore(const std::vector<std::string>& rows) {
    const int s = static_cast<int>(rows.size());
    int score = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (int a = 0; a < s; ++a) {
            auto dark = [&](int i) {
                return i >= 0 && i < s && (pass ? rows[i][a] : rows[a][i]) == '#';
            };
            int run = 1;
            for (int i = 1; i <= s; ++i) {
                if (i < s && dark(i) == dark(i - 1)) {
                    ++run;
                } else {
                    if (run >= 5) score += run - 2;
                    run = 1;
                }
            }
            for (int j = 0; j + 7 <= s; ++j) {
                const bool core = dark(j) && !dark(j + 1) && dark(j + 2) && dark(j + 3) &&
                                  dark(j + 4) && !dark(j + 5) && dark(j + 6);
                if (!core || dark(j - 1) || dark(j + 7)) continue;
                if ((!dark(j - 2) && !dark(j - 3) && !dark(j - 4)) ||
                    (!dark(j + 8) && !dark(j + 9) && !dark(j + 10))) {
                    score += 40;
                }
            }
        }
    }
    for (int y = 0; y + 1 < s; ++y) {
        for (int x = 0; x + 1 < s; ++x) {
            const char c = rows[y][x];
            score += 3 * (rows[y][x + 1] == c && rows[y + 1][x] == c && rows[y + 1][x + 1] == c);
        }
    }
    return score;
}

TEST(Masking, BalanceIsTakenFromTheLightShareTruncated) {
    struct Case {
        int light;
        int points;
    };
    std::mt19937 random(5);
    for (const Case& c : std::vector<Case>{{221, 0},
                                           {220, 0},
                                           {200, 10},
                                           {199, 10},
                                           {177, 20},
                                           {176, 20},
                                           {441, 100},
                                           {0, 100}}) {
        SCOPED_TRACE(c.light);
        std::vector<int> order(441);
        for (int i = 0; i < 441; ++i) order[i] = i;
        std::shuffle(order.begin(), order.end(), random);
        std::vector<std::string> rows(21, std::string(21, '#'));
        for (int i = 0; i < c.light; ++i) rows[order[i] / 21][order[i] % 21] = '.';
        EXPECT_EQ(Drawn(rows)->ScoreMask() - ReferenceLayoutScore(rows), c.points);
    }
}

TEST(Masking, ScorerAgreesWithAPlainReadingOnRandomPictures) {
    const unsigned seed = 31;
    std::mt19937 random(seed);
    for (int trial = 0; trial < 200; ++trial) {
        const int s = 21 + 4 * static_cast<int>(random() % 40);
        const int density = static_cast<int>(random() % 100);
        std::vector<std::string> rows(s, std::string(s, '.'));
        for (auto& row : rows) {
            for (auto& c : row) c = static_cast<int>(random() % 100) < density ? '#' : '.';
        }
        // Plant finder-like runs so that rule 3 is exercised.
        for (int k = 0; k < 4; ++k) {
            const int y = static_cast<int>(random() % s);
            const int x = static_cast<int>(random() % (s - 6));
            for (int i = 0; i < 7; ++i) rows[y][x + i] = "#.###.#"[i];
        }
        int light = 0;
        for (const auto& r : rows) light += static_cast<int>(std::count(r.begin(), r.end(), '.'));
        const int balance = std::abs(50 - light * 100 / (s * s)) / 5 * 10;
        SCOPED_TRACE("seed " + std::to_string(seed) + " trial " + std::to_string(trial));
        EXPECT_EQ(Drawn(rows)->ScoreMask(), ReferenceLayoutScore(rows) + balance);
    }
}

// The format word by polynomial division, independent of the encoder's loop.
int SlowFormatWord(int level, int mask) {
    const int levelBits[4] = {1, 0, 3, 2};
    const int data = levelBits[level] << 3 | mask;
    int remainder = data << 10;
    for (int bit = 14; bit >= 10; --bit) {
        if (remainder & (1 << bit)) remainder ^= 0b10100110111 << (bit - 10);
    }
    return ((data << 10) | remainder) ^ 0x5412;
}

TEST(Masking, FormatInformationOfEveryLevelAndMaskInBothCopies) {
    EXPECT_EQ(FormatInfoWord(LEVEL_M, 0), 0x5412);
    EXPECT_EQ(FormatInfoWord(LEVEL_L, 0), 0x77C4);
    EXPECT_EQ(FormatInfoWord(LEVEL_H, 7), 0x083B);
    const int s = 25;
    const int firstCopy[15][2] = {{8, 0}, {8, 1}, {8, 2}, {8, 3}, {8, 4}, {8, 5}, {8, 7}, {8, 8},
                                  {7, 8}, {5, 8}, {4, 8}, {3, 8}, {2, 8}, {1, 8}, {0, 8}};
    for (int level = 0; level < kLevelCount; ++level) {
        for (int mask = 0; mask < kMaskCount; ++mask) {
            SCOPED_TRACE("level " + std::to_string(level) + " mask " + std::to_string(mask));
            const int word = SlowFormatWord(level, mask);
            EXPECT_EQ(FormatInfoWord(level, mask), word);
            auto encoder = std::make_unique<CQrEncoder>();
            std::memset(encoder->modules, 0, sizeof encoder->modules);
            encoder->symbolSize = s;
            encoder->level = level;
            encoder->PlaceFormatInformation(mask);
            int written = 0;
            for (int i = 0; i < 15; ++i) {
                const unsigned char expected =
                    (word >> i) & 1 ? MODULE_DARK_FUNCTION : MODULE_LIGHT_FUNCTION;
                EXPECT_EQ(encoder->modules[firstCopy[i][0]][firstCopy[i][1]], expected)
                    << "bit " << i;
                const int x2 = i <= 7 ? s - 1 - i : 8;
                const int y2 = i <= 7 ? 8 : s - 15 + i;
                EXPECT_EQ(encoder->modules[x2][y2], expected) << "bit " << i << " second copy";
            }
            EXPECT_EQ(encoder->modules[8][s - 8], MODULE_DARK_FUNCTION);
            for (int x = 0; x < kMaxSymbolSize; ++x) {
                for (int y = 0; y < kMaxSymbolSize; ++y) written += encoder->modules[x][y] != 0;
            }
            EXPECT_EQ(written, 31);  // 30 format cells and the dark module
        }
    }
}

// The cells each mask inverts, on 12 x 12 cells (every condition repeats after 12 along either
// axis): the standard's pictures of the eight mask patterns.
const char* const MASK_PICTURES[kMaskCount] = {
    R"(
#.#.#.#.#.#.
.#.#.#.#.#.#
#.#.#.#.#.#.
.#.#.#.#.#.#
#.#.#.#.#.#.
.#.#.#.#.#.#
#.#.#.#.#.#.
.#.#.#.#.#.#
#.#.#.#.#.#.
.#.#.#.#.#.#
#.#.#.#.#.#.
.#.#.#.#.#.#
)",  // mask 0
    R"(
############
............
############
............
############
............
############
............
############
............
############
............
)",  // mask 1
    R"(
#..#..#..#..
#..#..#..#..
#..#..#..#..
#..#..#..#..
#..#..#..#..
#..#..#..#..
#..#..#..#..
#..#..#..#..
#..#..#..#..
#..#..#..#..
#..#..#..#..
#..#..#..#..
)",  // mask 2
    R"(
#..#..#..#..
..#..#..#..#
.#..#..#..#.
#..#..#..#..
..#..#..#..#
.#..#..#..#.
#..#..#..#..
..#..#..#..#
.#..#..#..#.
#..#..#..#..
..#..#..#..#
.#..#..#..#.
)",  // mask 3
    R"(
###...###...
###...###...
...###...###
...###...###
###...###...
###...###...
...###...###
...###...###
###...###...
###...###...
...###...###
...###...###
)",  // mask 4
    R"(
############
#.....#.....
#..#..#..#..
#.#.#.#.#.#.
#..#..#..#..
#.....#.....
############
#.....#.....
#..#..#..#..
#.#.#.#.#.#.
#..#..#..#..
#.....#.....
)",  // mask 5
    R"(
############
###...###...
##.##.##.##.
#.#.#.#.#.#.
#.##.##.##.#
#...###...##
############
###...###...
##.##.##.##.
#.#.#.#.#.#.
#.##.##.##.#
#...###...##
)",  // mask 6
    R"(
#.#.#.#.#.#.
...###...###
#...###...##
.#.#.#.#.#.#
###...###...
.###...###..
#.#.#.#.#.#.
...###...###
#...###...##
.#.#.#.#.#.#
###...###...
.###...###..
)",  // mask 7
};

TEST(Masking, MasksInvertTheCellsOfTheirPicturesAndReplaceEachOther) {
    // Free cells with data bit 0, except one with data bit 1 at (3, 5), and two function cells.
    auto encoder = std::make_unique<CQrEncoder>();
    std::memset(encoder->modules, 0, sizeof encoder->modules);
    encoder->symbolSize = 12;
    encoder->modules[3][5] = MODULE_DATA_BIT;
    encoder->modules[0][0] = MODULE_LIGHT_FUNCTION;
    encoder->modules[1][0] = MODULE_DARK_FUNCTION;
    const int dataBitAt = 1 + 5 * 13 + 3;  // (3, 5) in a picture of 12 cells and a line break a row
    for (int mask = 0; mask < kMaskCount; ++mask) {
        SCOPED_TRACE("mask " + std::to_string(mask));
        encoder->ApplyMask(mask);
        std::string expected = MASK_PICTURES[mask];
        expected[dataBitAt] = expected[dataBitAt] == '#' ? '.' : '#';
        expected[1] = '.';
        expected[2] = '#';
        EXPECT_EQ(test::Picture(*encoder), expected);
        EXPECT_EQ(encoder->modules[0][0], MODULE_LIGHT_FUNCTION);
        EXPECT_EQ(encoder->modules[1][0], MODULE_DARK_FUNCTION);
        EXPECT_EQ(encoder->modules[3][5] & MODULE_DATA_BIT, MODULE_DATA_BIT);
    }
}

TEST(Masking, AutomaticChoiceTakesTheFirstLowestScore) {
    const unsigned seed = 99;
    std::mt19937 random(seed);
    int ties = 0;
    for (int trial = 0; trial < 60; ++trial) {
        Bytes input(1 + random() % 60);
        for (auto& b : input) b = static_cast<unsigned char>(random());
        const int level = static_cast<int>(random() % 4);
        SCOPED_TRACE("seed " + std::to_string(seed) + " trial " + std::to_string(trial));
        int ok = 0;
        auto chosen = test::EncodeBytes(input, level, 0, 1, -1, &ok);
        ASSERT_EQ(ok, 1);
        // Score every mask the way the choice does: the same codewords, each mask with its format.
        auto probe = test::EncodeBytes(input, level, 0, 1, 0, &ok);
        probe->maskNumber = 0;
        std::memset(probe->modules, 0, sizeof probe->modules);
        probe->PlaceFunctionPatterns();
        probe->PlaceCodewords();
        int best = -1;
        int bestMask = -1;
        std::vector<int> scores;
        for (int m = 0; m < kMaskCount; ++m) {
            probe->ApplyMask(m);
            probe->PlaceFormatInformation(m);
            const int s = probe->ScoreMask();
            scores.push_back(s);
            if (best == -1 || s < best) {
                best = s;
                bestMask = m;
            }
        }
        ties += static_cast<int>(std::count(scores.begin(), scores.end(), best)) > 1;
        EXPECT_EQ(chosen->maskNumber, bestMask);
        // The requested mask is applied even when another scores lower.
        const int other = (bestMask + 1) % kMaskCount;
        auto requested = test::EncodeBytes(input, level, 0, 1, other, &ok);
        EXPECT_EQ(requested->maskNumber, other);
        probe->ApplyMask(other);
        probe->PlaceFormatInformation(other);
        auto flat = std::make_unique<CQrEncoder>(*probe);
        for (int x = 0; x < flat->symbolSize; ++x) {
            for (int y = 0; y < flat->symbolSize; ++y)
                flat->modules[x][y] = (flat->modules[x][y] & MODULE_ANY_DARK) ? 1 : 0;
        }
        EXPECT_EQ(test::MatrixText(*requested), test::MatrixText(*flat));
    }
    std::printf("automatic choice: %d of 60 symbols had tied lowest scores\n", ties);
}

TEST(Masking, FinishedMatricesHoldOnlyZeroAndOneWithTheDarkModule) {
    for (int v : {1, 6, 7, 21, 40}) {
        SCOPED_TRACE("version " + std::to_string(v));
        int ok = 0;
        auto encoder = test::EncodeBytes(test::ToBytes("tessera"), LEVEL_Q, v, 1, -1, &ok);
        ASSERT_EQ(ok, 1);
        const int s = encoder->symbolSize;
        EXPECT_EQ(encoder->modules[8][s - 8], 1);
        for (int x = 0; x < kMaxSymbolSize; ++x) {
            for (int y = 0; y < kMaxSymbolSize; ++y) {
                const unsigned char cell = encoder->modules[x][y];
                if (x >= s || y >= s) {
                    EXPECT_EQ(cell, 0);
                } else {
                    EXPECT_LE(cell, 1);
                }
            }
        }
    }
}

}  // namespace
}  // namespace qr

// Function patterns and codeword placement for every version: free-cell counts, cell bytes,
// alignment centres, version information and the order of the zig-zag walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "encoder/tables.h"
#include "tests/encoder/pictures.h"
#include "tests/support/test_support.h"

namespace qr {
namespace {

using Cell = std::pair<int, int>;

// An encoder with the function patterns of `version` drawn on a cleared matrix.
std::unique_ptr<CQrEncoder> Patterns(int version) {
    auto encoder = std::make_unique<CQrEncoder>();
    encoder->version = version;
    encoder->symbolSize = 4 * version + 17;
    encoder->totalCodewordCount = VERSION_TABLE[version].totalCodewords;
    std::memset(encoder->modules, 0, sizeof encoder->modules);
    encoder->PlaceFunctionPatterns();
    return encoder;
}

int RemainderBits(int version) {
    if (version == 1) return 0;
    if (version <= 6) return 7;
    if (version <= 13) return 0;
    if (version <= 20) return 3;
    if (version <= 27) return 4;
    if (version <= 34) return 3;
    return 0;
}

TEST(SymbolMatrix, FreeCellsHoldEveryCodewordAndTheRemainderBits) {
    for (int v = 1; v <= kMaxVersion; ++v) {
        SCOPED_TRACE("version " + std::to_string(v));
        auto encoder = Patterns(v);
        const int s = encoder->symbolSize;
        int free = 0;
        for (int x = 0; x < kMaxSymbolSize; ++x) {
            for (int y = 0; y < kMaxSymbolSize; ++y) {
                const unsigned char cell = encoder->modules[x][y];
                if (x >= s || y >= s) {
                    EXPECT_EQ(cell, 0);
                } else if (cell & MODULE_FUNCTION) {
                    EXPECT_TRUE(cell == MODULE_LIGHT_FUNCTION || cell == MODULE_DARK_FUNCTION)
                        << x << "," << y;
                } else {
                    EXPECT_EQ(cell, 0);
                    ++free;
                }
            }
        }
        EXPECT_EQ(free, 8 * VERSION_TABLE[v].totalCodewords + RemainderBits(v));

        // Laid codewords leave only 0x00 and 0x02 in free cells, and touch no function cell.
        for (int c = 0; c < encoder->totalCodewordCount; ++c)
            encoder->finalCodewords[c] = static_cast<unsigned char>(c * 29 + 7);
        auto before = std::make_unique<CQrEncoder>(*encoder);
        encoder->PlaceCodewords();
        for (int x = 0; x < s; ++x) {
            for (int y = 0; y < s; ++y) {
                const unsigned char cell = encoder->modules[x][y];
                if (before->modules[x][y] & MODULE_FUNCTION) {
                    EXPECT_EQ(cell, before->modules[x][y]);
                } else {
                    EXPECT_TRUE(cell == 0 || cell == MODULE_DATA_BIT);
                }
            }
        }
        // Timing cells, the reserved format cells and the dark module's place.
        EXPECT_EQ(encoder->modules[8][6], MODULE_DARK_FUNCTION);
        EXPECT_EQ(encoder->modules[6][8], MODULE_DARK_FUNCTION);
        EXPECT_EQ(encoder->modules[9][6], MODULE_LIGHT_FUNCTION);
        EXPECT_EQ(encoder->modules[6][9], MODULE_LIGHT_FUNCTION);
        EXPECT_EQ(encoder->modules[8][s - 8], MODULE_LIGHT_FUNCTION);
    }
}

// '#' dark and '-' light function cells, '.' free cells: finders with their separators, the
// format cells (light until masking) around the top-left finder and beside the other two, the
// timing patterns; from version 2 alignment patterns, from version 7 the two version blocks.
TEST(SymbolMatrix, FunctionPatternsOfVersionsOneAndSeven) {
    EXPECT_EQ(test::FunctionPicture(*Patterns(1)), R"(
#######--....-#######
#-----#--....-#-----#
#-###-#--....-#-###-#
#-###-#--....-#-###-#
#-###-#--....-#-###-#
#-----#--....-#-----#
#######-#-#-#-#######
---------....--------
------#--....--------
......-..............
......#..............
......-..............
......#..............
---------............
#######--............
#-----#--............
#-###-#--............
#-###-#--............
#-###-#--............
#-----#--............
#######--............
)");
    EXPECT_EQ(test::FunctionPicture(*Patterns(7)), R"(
#######--.........................--#-#######
#-----#--.........................-#--#-----#
#-###-#--.........................-#--#-###-#
#-###-#--.........................-##-#-###-#
#-###-#--...........#####.........###-#-###-#
#-----#--...........#---#.........----#-----#
#######-#-#-#-#-#-#-#-#-#-#-#-#-#-#-#-#######
---------...........#---#............--------
------#--...........#####............--------
......-......................................
......#......................................
......-......................................
......#......................................
......-......................................
......#......................................
......-......................................
......#......................................
......-......................................
......#......................................
......-......................................
....#####...........#####...........#####....
....#---#...........#---#...........#---#....
....#-#-#...........#-#-#...........#-#-#....
....#---#...........#---#...........#---#....
....#####...........#####...........#####....
......-......................................
......#......................................
......-......................................
......#......................................
......-......................................
......#......................................
......-......................................
......#......................................
......-......................................
----#-#......................................
-####--......................................
#--##-#.............#####...........#####....
---------...........#---#...........#---#....
#######--...........#-#-#...........#-#-#....
#-----#--...........#---#...........#---#....
#-###-#--...........#####...........#####....
#-###-#--....................................
#-###-#--....................................
#-----#--....................................
#######--....................................
)");
}

// The mask trial packs the free cells once for rows and columns alike: that holds because every
// function cell's mirror in the diagonal is the same function cell.
TEST(SymbolMatrix, FunctionCellsAreSymmetricAboutTheDiagonal) {
    for (int v = kMinVersion; v <= kMaxVersion; ++v) {
        auto encoder = Patterns(v);
        int asymmetric = 0;
        for (int x = 0; x < encoder->symbolSize; ++x) {
            for (int y = 0; y < x; ++y)
                asymmetric += encoder->modules[x][y] != encoder->modules[y][x];
        }
        EXPECT_EQ(asymmetric, 0) << "version " << v;
    }
}

// Centres of the drawn alignment patterns: a dark centre ringed by light cells, ringed by dark.
std::set<Cell> AlignmentCentres(const CQrEncoder& e) {
    std::set<Cell> centres;
    const int s = e.symbolSize;
    auto dark = [&](int x, int y) { return e.modules[x][y] == MODULE_DARK_FUNCTION; };
    auto light = [&](int x, int y) { return e.modules[x][y] == MODULE_LIGHT_FUNCTION; };
    for (int x = 2; x < s - 2; ++x) {
        for (int y = 2; y < s - 2; ++y) {
            bool match = dark(x, y);
            for (int d = -2; d <= 2 && match; ++d) {
                match = dark(x + d, y - 2) && dark(x + d, y + 2) && dark(x - 2, y + d) &&
                        dark(x + 2, y + d);
            }
            for (int d = -1; d <= 1 && match; ++d) {
                match = light(x + d, y - 1) && light(x + d, y + 1) && light(x - 1, y + d) &&
                        light(x + 1, y + d);
            }
            if (match) centres.insert({x, y});
        }
    }
    return centres;
}

TEST(SymbolMatrix, AlignmentPatternsSitOnEveryCoordinatePairOutsideTheFinders) {
    for (int v = 1; v <= kMaxVersion; ++v) {
        SCOPED_TRACE("version " + std::to_string(v));
        auto encoder = Patterns(v);
        const int s = encoder->symbolSize;
        const VersionInfo& row = VERSION_TABLE[v];
        std::vector<int> coordinates;
        if (row.alignmentCount > 0) coordinates.push_back(6);
        for (int i = 0; i < row.alignmentCount; ++i)
            coordinates.push_back(row.alignmentPositions[i]);
        std::set<Cell> expected;
        for (int x : coordinates) {
            for (int y : coordinates) {
                const bool inFinder =
                    (x == 6 && y == 6) || (x == 6 && y == s - 7) || (x == s - 7 && y == 6);
                if (!inFinder) expected.insert({x, y});
            }
        }
        EXPECT_EQ(AlignmentCentres(*encoder), expected);
    }
    EXPECT_EQ(AlignmentCentres(*Patterns(2)), (std::set<Cell>{{18, 18}}));
    EXPECT_EQ(AlignmentCentres(*Patterns(7)),
              (std::set<Cell>{{22, 6}, {6, 22}, {22, 22}, {22, 38}, {38, 22}, {38, 38}}));
    EXPECT_EQ(AlignmentCentres(*Patterns(32)).size(), 6u * 6u - 3u);
}

// The version word by polynomial division, independent of the encoder's loop.
int SlowVersionWord(int version) {
    long long remainder = static_cast<long long>(version) << 12;
    const long long generator = 0b1111100100101;
    for (int bit = 17; bit >= 12; --bit) {
        if (remainder & (1LL << bit)) remainder ^= generator << (bit - 12);
    }
    return static_cast<int>((version << 12) | remainder);
}

TEST(SymbolMatrix, VersionInformationBlocksAreTransposed) {
    EXPECT_EQ(VersionInfoWord(7), 0x07C94);
    EXPECT_EQ(VersionInfoWord(40), 0x28C69);
    for (int v = 1; v <= kMaxVersion; ++v) {
        SCOPED_TRACE("version " + std::to_string(v));
        auto encoder = Patterns(v);
        const int s = encoder->symbolSize;
        const int word = v >= 7 ? SlowVersionWord(v) : -1;
        if (v >= 7) {
            EXPECT_EQ(VersionInfoWord(v), word);
        }
        for (int i = 0; i < 6; ++i) {
            for (int j = 0; j < 3; ++j) {
                const unsigned char bottomLeft = encoder->modules[i][s - 11 + j];
                const unsigned char topRight = encoder->modules[s - 11 + j][i];
                if (v < 7) {
                    // Below version 7 these cells are free.
                    EXPECT_EQ(bottomLeft & MODULE_FUNCTION, 0);
                    EXPECT_EQ(topRight & MODULE_FUNCTION, 0);
                } else {
                    const unsigned char expected =
                        (word >> (3 * i + j)) & 1 ? MODULE_DARK_FUNCTION : MODULE_LIGHT_FUNCTION;
                    EXPECT_EQ(bottomLeft, expected);
                    EXPECT_EQ(topRight, expected);
                }
            }
        }
    }
    auto seven = Patterns(7);
    EXPECT_EQ(seven->modules[0][34], MODULE_LIGHT_FUNCTION);
    EXPECT_EQ(seven->modules[1][34], MODULE_LIGHT_FUNCTION);
    EXPECT_EQ(seven->modules[2][34], MODULE_LIGHT_FUNCTION);
    EXPECT_EQ(seven->modules[4][34], MODULE_DARK_FUNCTION);
}

// The cells holding codeword bits, in walk order: each bit laid alone as the only 1.
std::vector<Cell> PlacementOrder(int version, int firstBits, int lastBits) {
    std::vector<Cell> cells;
    const int total = 8 * VERSION_TABLE[version].totalCodewords;
    std::vector<int> indices;
    for (int i = 0; i < firstBits; ++i) indices.push_back(i);
    for (int i = total - lastBits; i < total; ++i) indices.push_back(i);
    for (int index : indices) {
        auto encoder = Patterns(version);
        std::memset(encoder->finalCodewords, 0, sizeof encoder->finalCodewords);
        encoder->finalCodewords[index / 8] = static_cast<unsigned char>(0x80 >> (index % 8));
        encoder->PlaceCodewords();
        for (int x = 0; x < encoder->symbolSize; ++x) {
            for (int y = 0; y < encoder->symbolSize; ++y) {
                if (encoder->modules[x][y] == MODULE_DATA_BIT) cells.push_back({x, y});
            }
        }
    }
    return cells;
}

TEST(SymbolMatrix, CodewordsFollowTheZigZagWalk) {
    EXPECT_EQ(PlacementOrder(1, 4, 1),
              (std::vector<Cell>{{20, 20}, {19, 20}, {20, 19}, {19, 19}, {0, 12}}));
    // Version 2: the last data bit, then seven remainder cells that stay 0.
    EXPECT_EQ(PlacementOrder(2, 0, 1), (std::vector<Cell>{{1, 13}}));
    auto two = Patterns(2);
    std::memset(two->finalCodewords, 0xFF, sizeof two->finalCodewords);
    two->PlaceCodewords();
    for (const Cell& c :
         std::vector<Cell>{{0, 13}, {1, 14}, {0, 14}, {1, 15}, {0, 15}, {1, 16}, {0, 16}}) {
        EXPECT_EQ(two->modules[c.first][c.second], 0) << c.first << "," << c.second;
    }
    // No bit lands in column 6 of any version, and the walk ends exactly on the last free cells.
    for (int v : {1, 7, 14, 40}) {
        auto e = Patterns(v);
        std::memset(e->finalCodewords, 0xFF, sizeof e->finalCodewords);
        e->PlaceCodewords();
        int laid = 0;
        for (int x = 0; x < e->symbolSize; ++x) {
            for (int y = 0; y < e->symbolSize; ++y) laid += e->modules[x][y] == MODULE_DATA_BIT;
        }
        EXPECT_EQ(laid, 8 * VERSION_TABLE[v].totalCodewords) << v;
        for (int y = 0; y < e->symbolSize; ++y) EXPECT_NE(e->modules[6][y], MODULE_DATA_BIT);
    }
}

TEST(SymbolMatrix, TheWalkPassesFromColumnSevenToColumnFive) {
    // In version 1, (8, 9), (7, 9), (5, 9), (4, 9) are consecutive in walk order.
    const std::vector<Cell> all = PlacementOrder(1, 8 * 26, 0);
    ASSERT_EQ(all.size(), 208u);
    auto at = std::find(all.begin(), all.end(), Cell{8, 9});
    ASSERT_NE(at, all.end());
    ASSERT_LE(at + 4, all.end());
    EXPECT_EQ(std::vector<Cell>(at, at + 4), (std::vector<Cell>{{8, 9}, {7, 9}, {5, 9}, {4, 9}}));
}

// The free cells in the order of the walk, moved one step at a time as the rule says: from
// x = S, y = S - 1 with dx = +1, dy = +1; each move x += dx and dx = -dx, and after a move to the
// right y += dy, turning at the top and bottom edge (x -= 2, dy = -dy, and column 6 skipped).
std::vector<Cell> WalkStepByStep(const CQrEncoder& e) {
    const int s = e.symbolSize;
    std::vector<Cell> cells;
    int x = s, y = s - 1, dx = 1, dy = 1;
    while (true) {
        const bool right = dx == 1;
        x += dx;
        dx = -dx;
        if (right) {
            y += dy;
            if (y < 0 || y == s) {
                y = y < 0 ? 0 : s - 1;
                x -= 2;
                dy = -dy;
                if (x == 6) x = 5;
            }
        }
        if (x < 0) return cells;
        if (!(e.modules[x][y] & MODULE_FUNCTION)) cells.push_back({x, y});
    }
}

TEST(SymbolMatrix, EveryVersionLaysItsCodewordsInTheOrderOfTheStepByStepWalk) {
    const unsigned seed = 77;
    std::mt19937 random(seed);
    for (int v = kMinVersion; v <= kMaxVersion; ++v) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " version " + std::to_string(v));
        auto encoder = Patterns(v);
        for (int c = 0; c < encoder->totalCodewordCount; ++c)
            encoder->finalCodewords[c] = static_cast<unsigned char>(random());
        const std::vector<Cell> walk = WalkStepByStep(*encoder);
        const int bits = 8 * encoder->totalCodewordCount;
        ASSERT_EQ(static_cast<int>(walk.size()), bits + RemainderBits(v));
        encoder->PlaceCodewords();
        int wrong = 0;
        for (int i = 0; i < static_cast<int>(walk.size()); ++i) {
            const int bit = i < bits ? (encoder->finalCodewords[i / 8] >> (7 - i % 8)) & 1 : 0;
            wrong += encoder->modules[walk[i].first][walk[i].second] != (bit ? MODULE_DATA_BIT : 0);
        }
        EXPECT_EQ(wrong, 0);
    }
}

}  // namespace
}  // namespace qr

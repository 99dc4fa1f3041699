// The rMQR encoder: the size table against its invariants, the function patterns and a whole
// symbol as pictures, the column build against the cell-by-cell rule, the capacities of every
// size and level, the size search and the arguments it refuses. The matrices of every size and
// level (format information and placement included) are held against an independent encoder in
// rmqr_oracle_test.cpp.
#include "encoder/rmqr_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/encoder/pictures.h"
#include "tests/support/test_support.h"

namespace qr {
namespace {

using test::Bytes;

int EncodeText(CRmqrEncoder& encoder, int level, int version, int allowLarger, int height,
               const std::string& text) {
    return encoder.Encode(level, version, allowLarger, height,
                          reinterpret_cast<const unsigned char*>(text.data()),
                          static_cast<int>(text.size()));
}

TEST(RmqrEncoder, EverySizeKeepsTheTableInvariants) {
    auto encoder = std::make_unique<CRmqrEncoder>();
    int multiBlock[kRmqrLevelSlots] = {};
    for (int v = 1; v <= kRmqrVersionCount; ++v) {
        const RmqrSizeInfo& row = RmqrSize(v);
        char name[kRmqrNameSize];
        RmqrName(v, name);
        SCOPED_TRACE(name);
        EXPECT_EQ(RmqrVersionNamed(name), v);
        // Sizes by height, then width; each width has its alignment columns.
        if (v > 1) {
            EXPECT_TRUE(
                row.height > RmqrSize(v - 1).height ||
                (row.height == RmqrSize(v - 1).height && row.width > RmqrSize(v - 1).width));
        }
        EXPECT_EQ(RmqrAlignmentOf(row.width).width, row.width);
        // The free cells of the drawn function patterns hold the codewords, with fewer than 8
        // left over.
        ASSERT_EQ(EncodeText(*encoder, LEVEL_M, v, 0, 0, "1"), 1);
        encoder->PlaceFunctionPatterns();
        int freeCells = 0;
        for (int x = 0; x < row.width; ++x) {
            for (int y = 0; y < row.height; ++y) freeCells += encoder->modules[x][y] == 0 ? 1 : 0;
        }
        EXPECT_EQ(freeCells / 8, RmqrTotalCodewords(row));
        for (int slot = 0; slot < kRmqrLevelSlots; ++slot) {
            SCOPED_TRACE("slot " + std::to_string(slot));
            const RsBlockSpec& g1 = row.group1Blocks[slot];
            const RsBlockSpec& g2 = row.group2Blocks[slot];
            EXPECT_EQ(g1.blockCount * g1.blockCodewords + g2.blockCount * g2.blockCodewords,
                      RmqrTotalCodewords(row));
            EXPECT_GE(g1.blockCount, 1);
            if (g2.blockCount > 0) {
                EXPECT_EQ(g2.blockCodewords, g1.blockCodewords + 1);
                EXPECT_EQ(g2.blockDataCodewords, g1.blockDataCodewords + 1);
            }
            EXPECT_NE(RS_GENERATOR_EXPONENTS[g1.blockCodewords - g1.blockDataCodewords], nullptr);
            multiBlock[slot] += g1.blockCount + g2.blockCount > 1 ? 1 : 0;
        }
        EXPECT_GT(RmqrDataCodewordsAt(row, 0), RmqrDataCodewordsAt(row, 1));
    }
    EXPECT_EQ(multiBlock[0], 13);
    EXPECT_EQ(multiBlock[1], 22);
    EXPECT_EQ(kMaxRmqrCodewords, 232);
    EXPECT_EQ(RmqrVersionNamed("r17X139"), kRmqrVersionCount);
    for (const char* name : {"R7x44", "R7x43 ", "Q7x43", "R7", ""})
        EXPECT_EQ(RmqrVersionNamed(name), 0);
}

// R7x43-M of "12345": the function patterns, then the finished symbol as an independent encoder
// makes it, its codewords being 2A 3D AD 00 EC 11 and the error correction 40 38 29 3F 91 A1 19.
TEST(RmqrEncoder, DrawsTheR7x43PatternsAndSymbol) {
    auto encoder = std::make_unique<CRmqrEncoder>();
    ASSERT_EQ(EncodeText(*encoder, LEVEL_M, 1, 0, 0, "12345"), 1);
    EXPECT_EQ(encoder->streamBitCount, 3 + 4 + 10 + 7);
    EXPECT_EQ(test::ToHex(encoder->codewords, 13),
              "2a3dad00ec11403829"
              "3f91a119");
    EXPECT_EQ(test::Picture(*encoder), R"(
#######.#.#.#.#.#.#.###.#.#.#.#.#.#.#.#.###
#.....#..#.##....####.#.##..##..##.##...#.#
#.###.#.#.###..#....####.....##.#.#########
#.###.#..##...##...#...#.#.####.##....#...#
#.###.#...#..######.#####.#...#.#..#..#.#.#
#.....#.########...##.######..#...###.#...#
#######.#.#.#.#.#.#.###.#.#.#.#.#.#.#.#####
)");
    encoder->PlaceFunctionPatterns();
    EXPECT_EQ(test::FunctionPicture(*encoder), R"(
#######-#-#-#-#-#-#-###-#-#-#-#-#-#-#-#-###
#-----#--#-#........#-#............##---#-#
#-###-#-#-##........###............########
#-###-#--##-.........-.............---#---#
#-###-#---#.........###............#--#-#-#
#-----#-###.........#-#............##-#---#
#######-#-#-#-#-#-#-###-#-#-#-#-#-#-#-#####
)");
}

// The columns built a band of rows at a time equal the cells laid one by one and finished, at
// every size and level, for random codewords: over the function patterns drawn cell by cell,
// and over the rows that Encode notes alone (on an encoder that never draws them).
TEST(RmqrEncoder, BuildsTheColumnsAsTheCellsAreLaidOneByOne) {
    const unsigned seed = 139;
    std::mt19937 random(seed);
    auto encoder = std::make_unique<CRmqrEncoder>();
    auto marked = std::make_unique<CRmqrEncoder>();
    for (int v = 1; v <= kRmqrVersionCount; ++v) {
        for (const int level : {LEVEL_M, LEVEL_H}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " version " + std::to_string(v));
            ASSERT_EQ(EncodeText(*encoder, level, v, 0, 0, "1"), 1);
            std::fill(std::begin(encoder->codewords), std::end(encoder->codewords), 0);
            for (int i = 0; i < RmqrTotalCodewords(RmqrSize(v)); ++i)
                encoder->codewords[i] = static_cast<unsigned char>(random());
            encoder->PlaceFunctionPatterns();
            encoder->PlaceCodewords();
            encoder->FinishSymbol();
            const std::string cellByCell = test::Picture(*encoder);
            encoder->PlaceFunctionPatterns();
            encoder->BuildColumnsByBands();
            EXPECT_EQ(test::Picture(*encoder), cellByCell);
            ASSERT_EQ(EncodeText(*marked, level, v, 0, 0, "1"), 1);
            std::copy(std::begin(encoder->codewords), std::end(encoder->codewords),
                      marked->codewords);
            marked->BuildColumnsByBands();
            EXPECT_EQ(test::Picture(*marked), cellByCell);
        }
    }
}

TEST(RmqrEncoder, HoldsTheLargestInputOfEachModeAndNotOneMore) {
    // Characters of one mode at M, then at H: numeric, alphanumeric, byte, Kanji.
    const int most[kRmqrVersionCount][2][kModeCount] = {
        {{12, 7, 5, 3}, {5, 3, 2, 1}},
        {{26, 16, 11, 6}, {14, 8, 6, 3}},
        {{45, 27, 19, 11}, {21, 13, 9, 5}},
        {{64, 39, 27, 16}, {30, 18, 13, 8}},
        {{102, 62, 42, 26}, {54, 33, 22, 14}},
        {{26, 16, 11, 6}, {14, 8, 6, 3}},  // R9x43
        {{47, 29, 20, 12}, {23, 14, 10, 6}},
        {{71, 43, 30, 18}, {37, 23, 16, 9}},
        {{97, 59, 40, 25}, {49, 30, 20, 12}},
        {{147, 89, 61, 38}, {75, 46, 31, 19}},
        {{14, 8, 6, 3}, {9, 6, 4, 2}},  // R11x27
        {{42, 26, 18, 11}, {23, 14, 10, 6}},
        {{71, 43, 30, 18}, {33, 20, 14, 8}},
        {{100, 60, 41, 25}, {52, 31, 21, 13}},
        {{133, 81, 55, 34}, {66, 40, 27, 17}},
        {{198, 120, 82, 51}, {97, 59, 40, 25}},
        {{26, 16, 11, 6}, {14, 8, 6, 3}},  // R13x27
        {{62, 37, 26, 16}, {28, 17, 12, 7}},
        {{88, 53, 36, 22}, {45, 27, 18, 11}},
        {{124, 75, 51, 31}, {66, 40, 27, 17}},
        {{171, 104, 71, 44}, {80, 49, 33, 20}},
        {{251, 152, 104, 64}, {126, 76, 52, 32}},
        {{76, 46, 31, 19}, {33, 20, 13, 8}},  // R15x43
        {{112, 68, 46, 28}, {59, 36, 24, 15}},
        {{157, 95, 65, 40}, {71, 43, 29, 18}},
        {{207, 126, 86, 53}, {111, 68, 46, 28}},
        {{301, 182, 125, 77}, {162, 98, 67, 41}},
        {{90, 55, 37, 23}, {47, 28, 19, 12}},  // R17x43
        {{131, 79, 54, 33}, {63, 38, 26, 16}},
        {{183, 111, 76, 47}, {87, 53, 36, 22}},
        {{236, 143, 98, 60}, {131, 79, 54, 33}},
        {{361, 219, 150, 92}, {178, 108, 74, 46}},
    };
    const char* character[kModeCount] = {"7", "K", "a", "\x93\x5f"};
    auto encoder = std::make_unique<CRmqrEncoder>();
    for (int v = 1; v <= kRmqrVersionCount; ++v) {
        for (int slot = 0; slot < kRmqrLevelSlots; ++slot) {
            for (int mode = 0; mode < kModeCount; ++mode) {
                SCOPED_TRACE(std::to_string(v) + " slot " + std::to_string(slot) + " mode " +
                             std::to_string(mode));
                std::string data;
                for (int i = 0; i < most[v - 1][slot][mode]; ++i) data += character[mode];
                const int level = slot == 0 ? LEVEL_M : LEVEL_H;
                EXPECT_EQ(EncodeText(*encoder, level, v, 0, 0, data), 1);
                EXPECT_EQ(EncodeText(*encoder, level, v, 0, 0, data + character[mode]), 0);
            }
        }
    }
}

TEST(RmqrEncoder, TakesTheSmallestAreaTheNarrowestOfAHeightOrAWiderSize) {
    struct Case {
        std::string data;
        int level, version, allowLarger, height;
        int expected;  // the version taken, 0 for a refusal
    };
    const std::string digits28(28, '1');
    for (const Case& c : std::vector<Case>{
             // Areas: R11x27 297, R7x43 301, R13x27 351, R9x43 387, R11x43 473, R15x43 645.
             {"12345", LEVEL_M, 0, 0, 0, 11},
             {std::string(15, '1'), LEVEL_M, 0, 0, 0, 17},  // R11x27 holds 14
             {std::string(27, '1'), LEVEL_M, 0, 0, 0, 12},  // R13x27 and R9x43 hold 26
             {std::string(64, '1'), LEVEL_M, 0, 0, 0, 23},
             {"12345", LEVEL_M, 0, 0, 13, 17},  // R13x27
             {digits28, LEVEL_H, 0, 0, 7, 4},   // R7x99 holds 30 digits at H
             {digits28, LEVEL_H, 2, 1, 0, 4},   // wider than R7x59 at its height
             {digits28, LEVEL_H, 2, 0, 0, 0},   // R7x59 holds 14
             {digits28, LEVEL_H, 2, 1, 9, 0},   // R7x59 is not 9 high
             {"1", LEVEL_L, 0, 0, 0, 0},
             {"1", LEVEL_M, 33, 0, 0, 0},
             {"1", LEVEL_M, 0, 0, 8, 0},
             {"1", LEVEL_M, 0, 0, 19, 0},
             {std::string(kMaxRmqrInputBytes + 1, '1'), LEVEL_M, 0, 0, 0, 0},
             {"", LEVEL_M, 0, 0, 0, 0},
         }) {
        SCOPED_TRACE(c.data + " version " + std::to_string(c.version));
        auto encoder = std::make_unique<CRmqrEncoder>();
        const int result =
            EncodeText(*encoder, c.level, c.version, c.allowLarger, c.height, c.data);
        EXPECT_EQ(result, c.expected != 0 ? 1 : 0);
        if (result == 1) {
            EXPECT_EQ(encoder->version, c.expected);
        }
    }
}

}  // namespace
}  // namespace qr

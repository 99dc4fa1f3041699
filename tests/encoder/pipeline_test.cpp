// Encode end to end inside the encoder: version search and reconciliation, terminator and pad
// codewords, the block cut and interleaving.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "encoder/tables.h"
#include "tests/encoder/pictures.h"
#include "tests/support/test_support.h"

namespace qr {
namespace {

using test::Bytes;

TEST(Pipeline, DigitsAtLevelMGiveTheWorkedCodewords) {
    int ok = 0;
    auto encoder = test::EncodeBytes(test::ToBytes("01234567"), LEVEL_M, 0, 1, -1, &ok);
    ASSERT_EQ(ok, 1);
    EXPECT_EQ(encoder->version, 1);
    EXPECT_EQ(encoder->symbolSize, 21);
    EXPECT_EQ(encoder->dataBitCount, 45);  // 41 bits and the full terminator
    EXPECT_EQ(test::ToHex(encoder->dataCodewords, 16), "10200c566180ec11ec11ec11ec11ec11");
    EXPECT_EQ(encoder->totalCodewordCount, 26);
    EXPECT_EQ(test::ToHex(encoder->finalCodewords, 26),
              "10200c566180ec11ec11ec11ec11ec11"
              "a524d4c1ed36c7872c55");
}

// The same eight digits finished with mask 2 (every third column inverted), as zxing-cpp reads
// them back: "01234567" at level M.
TEST(Pipeline, TheWorkedDigitsAsASymbolWithMaskTwo) {
    int ok = 0;
    auto encoder = test::EncodeBytes(test::ToBytes("01234567"), LEVEL_M, 0, 1, 2, &ok);
    ASSERT_EQ(ok, 1);
    EXPECT_EQ(encoder->maskNumber, 2);
    EXPECT_EQ(test::Picture(*encoder), R"(
#######..#.##.#######
#.....#..####.#.....#
#.###.#.#.....#.###.#
#.###.#.##....#.###.#
#.###.#.#.###.#.###.#
#.....#.#...#.#.....#
#######.#.#.#.#######
........#..##........
#.#####..#..#.#####..
...#.#.##.#.#..#.##..
..#...##.#.#.#..#####
....#....#.....####..
...######..#.#..#....
........#.#####..##..
#######..##.#.##.....
#.....#.#.#####...#.#
#.###.#.#...#..#.##..
#.###.#.##..#..#.....
#.###.#.#.##.#..#.#..
#.....#........##.##.
#######.####.#..#.#..
)");
}

TEST(Pipeline, RequestedVersionsAndTheirGroups) {
    struct Case {
        std::string text;
        int level, requested, allowLarger, result, version, bits;
    };
    const std::string hello = "HELLO WORLD";
    for (const Case& c : std::vector<Case>{
             {hello, LEVEL_M, 0, 1, 1, 1, 74},
             {hello, LEVEL_M, 10, 1, 1, 10, 76},  // group-1 count widths though version 1 would do
             {hello, LEVEL_M, 27, 0, 1, 27, 78},
             {hello, LEVEL_H, 40, 0, 1, 40, 78},
             {std::string(300, 'A'), LEVEL_M, 5, 1, 1, 10, 1665},
             {std::string(300, 'A'), LEVEL_M, 5, 0, 0, 0, 0},
             {std::string(300, 'A'), LEVEL_M, 10, 0, 1, 10, 1665},
         }) {
        SCOPED_TRACE(c.text.substr(0, 12) + " requested " + std::to_string(c.requested));
        int ok = -1;
        auto encoder =
            test::EncodeBytes(test::ToBytes(c.text), c.level, c.requested, c.allowLarger, -1, &ok);
        ASSERT_EQ(ok, c.result);
        if (ok) {
            EXPECT_EQ(encoder->version, c.version);
            EXPECT_EQ(encoder->symbolSize, 4 * c.version + 17);
            // The stream before the terminator, as the chosen group writes it.
            auto stream = std::make_unique<CQrEncoder>();
            const Bytes input = test::ToBytes(c.text);
            stream->EncodeSegments(input.data(), static_cast<int>(input.size()),
                                   VersionGroupOf(c.version));
            EXPECT_EQ(stream->dataBitCount, c.bits);
        }
    }
}

TEST(Pipeline, TerminatorAndPadCodewordsNearTheCapacity) {
    // Version 1-L holds 19 data codewords (152 bits); n digits take 14 + 10 n / 3 (+4 or +7) bits.
    struct Case {
        int digits;
        int shortBy;
        std::string pads;
    };
    for (const Case& c : std::vector<Case>{
             {41, 1, ""},     // 151 bits: a 1-bit terminator, no pad
             {40, 4, ""},     // 148 bits: the full terminator fills the capacity
             {39, 8, ""},     // 144 bits: 4-bit terminator, the last byte's low bits stay 0
             {38, 11, ""},    // 141 bits: still no pad codeword
             {37, 14, "ec"},  // 138 bits: one pad codeword
             {31, 34, "ec11ec"},
         }) {
        SCOPED_TRACE(std::to_string(c.digits) + " digits");
        int ok = 0;
        const Bytes input(c.digits, '1');
        auto encoder = test::EncodeBytes(input, LEVEL_L, 1, 0, 0, &ok);
        ASSERT_EQ(ok, 1);
        auto stream = std::make_unique<CQrEncoder>();
        stream->EncodeSegments(input.data(), c.digits, 0);
        ASSERT_EQ(152 - stream->dataBitCount, c.shortBy);
        const int terminator = c.shortBy > 4 ? 4 : c.shortBy;
        EXPECT_EQ(encoder->dataBitCount, stream->dataBitCount + terminator);
        const int firstPad = (encoder->dataBitCount + 7) / 8;
        EXPECT_EQ(test::ToHex(encoder->dataCodewords + firstPad, 19 - firstPad), c.pads);
        // Everything after the stream up to the first pad byte is 0.
        for (int p = stream->dataBitCount; p < firstPad * 8; ++p) {
            EXPECT_EQ((encoder->dataCodewords[p / 8] >> (7 - p % 8)) & 1, 0) << p;
        }
        EXPECT_EQ(test::ToHex(encoder->dataCodewords, firstPad),
                  test::ToHex(stream->dataCodewords, firstPad));
    }
}

TEST(Pipeline, ExactFitGetsNoTerminatorAndNoPad) {
    // Version 2-H holds 16 codewords (128 bits): 34 digits take 14 + 110 + 4 = 128 bits.
    int ok = 0;
    const Bytes input(34, '8');
    auto encoder = test::EncodeBytes(input, LEVEL_H, 2, 0, 0, &ok);
    ASSERT_EQ(ok, 1);
    EXPECT_EQ(encoder->dataBitCount, 128);
    auto stream = std::make_unique<CQrEncoder>();
    stream->EncodeSegments(input.data(), 34, 0);
    EXPECT_EQ(test::ToHex(encoder->dataCodewords, 16), test::ToHex(stream->dataCodewords, 16));
    // One byte more than version 1-H holds fails when no larger version is allowed.
    EXPECT_EQ(test::EncodeBytes(Bytes(8, 'x'), LEVEL_H, 1, 0, 0, &ok)->level, LEVEL_H);
    EXPECT_EQ(ok, 0);
}

TEST(Pipeline, LongerBlocksPutTheirExtraCodewordInALastColumn) {
    // Version 5-Q: 2 blocks of 15 data codewords, then 2 of 16; 18 error-correction codewords each.
    Bytes input(50, 'z');
    int ok = 0;
    auto encoder = test::EncodeBytes(input, LEVEL_Q, 5, 0, 3, &ok);
    ASSERT_EQ(ok, 1);
    const unsigned char* d = encoder->dataCodewords;
    const unsigned char* f = encoder->finalCodewords;
    const int order[] = {0, 15, 30, 46, 1, 16, 31, 47};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(f[i], d[order[i]]) << i;
    EXPECT_EQ(f[56], d[14]);
    EXPECT_EQ(f[57], d[29]);
    EXPECT_EQ(f[58], d[44]);
    EXPECT_EQ(f[59], d[60]);
    EXPECT_EQ(f[60], d[45]);
    EXPECT_EQ(f[61], d[61]);
    // Error correction of each block, interleaved from place 62.
    const int starts[4] = {0, 15, 30, 46};
    const int lengths[4] = {15, 15, 16, 16};
    for (int b = 0; b < 4; ++b) {
        auto rs = std::make_unique<CQrEncoder>();
        std::memset(rs->rsWork, 0, sizeof rs->rsWork);
        std::memcpy(rs->rsWork, d + starts[b], lengths[b]);
        rs->ComputeEcCodewords(rs->rsWork, lengths[b], 18);
        for (int j = 0; j < 18; ++j)
            EXPECT_EQ(f[62 + b + 4 * j], rs->rsWork[j]) << "block " << b << " codeword " << j;
    }
    EXPECT_EQ(encoder->totalCodewordCount, 134);
}

// A record clears only the square an earlier symbol wrote: after larger and smaller symbols it
// holds each one as a new record does, every cell beyond it 0.
TEST(Pipeline, AReusedRecordFinishesEachSymbolAsANewOneDoes) {
    const Bytes data = test::ToBytes("REUSED");
    auto reused = std::make_unique<CQrEncoder>();
    for (const int version : {40, 1, 7, 3, 40, 2}) {
        SCOPED_TRACE(version);
        ASSERT_EQ(
            reused->Encode(LEVEL_M, version, 0, -1, data.data(), static_cast<int>(data.size())), 1);
        const auto fresh = test::EncodeBytes(data, LEVEL_M, version, 0);
        EXPECT_EQ(std::memcmp(reused->modules, fresh->modules, sizeof fresh->modules), 0);
    }
}

TEST(Pipeline, ZeroLengthMeansAZeroTerminatedString) {
    auto encoder = std::make_unique<CQrEncoder>();
    const unsigned char text[] = "HELLO WORLD";
    EXPECT_EQ(encoder->Encode(LEVEL_M, 0, 1, -1, text, 0), 1);
    EXPECT_EQ(encoder->dataBitCount, 74 + 4);
    const unsigned char empty[] = "";
    auto failing = std::make_unique<CQrEncoder>();
    EXPECT_EQ(failing->Encode(LEVEL_Q, 0, 1, 5, empty, -3), 0);
    EXPECT_EQ(failing->level, LEVEL_Q);
    EXPECT_EQ(failing->maskNumber, 5);
}

TEST(Pipeline, TheLargestInputsOfEachMode) {
    struct Case {
        Bytes input;
        int level;
        int result;
        int version;
    };
    Bytes alternating;
    for (int i = 0; i < 4296; ++i)
        alternating.push_back(static_cast<unsigned char>(i % 2 ? 'Q' : '3'));
    Bytes kanji;
    for (int i = 0; i < 1817; ++i) kanji.insert(kanji.end(), {0x93, 0x5F});
    for (const Case& c : std::vector<Case>{
             {Bytes(7089, '4'), LEVEL_L, 1, 40},
             {Bytes(7090, '4'), LEVEL_L, 0, 0},
             {Bytes(2953, 0xA7), LEVEL_L, 1, 40},
             {Bytes(2954, 0xA7), LEVEL_L, 0, 0},
             {alternating, LEVEL_L, 1, 40},
             {kanji, LEVEL_L, 1, 40},
             {Bytes(1273, 'b'), LEVEL_H, 1, 40},
             {Bytes(1274, 'b'), LEVEL_H, 0, 0},
         }) {
        SCOPED_TRACE(std::to_string(c.input.size()) + " bytes");
        int ok = -1;
        auto encoder = test::EncodeBytes(c.input, c.level, 0, 1, 0, &ok);
        EXPECT_EQ(ok, c.result);
        if (ok) {
            EXPECT_EQ(encoder->version, c.version);
        }
    }
}

}  // namespace
}  // namespace qr

// The UTF-8 mark: the ECI designator ahead of the segments, no Kanji pairs, and its bits counted
// in the version choice.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"

namespace qr {
namespace {

using test::Bytes;

std::string Bits(const CQrEncoder& encoder, int count) {
    std::string bits;
    for (int p = 0; p < count; ++p)
        bits += (encoder.dataCodewords[p / 8] >> (7 - p % 8)) & 1 ? '1' : '0';
    return bits;
}

TEST(Utf8Eci, TheDesignatorComesFirstAndKanjiPairsAreBytes) {
    const Bytes pairs = test::FromHex("935fe4aa");  // two Kanji pairs without the mark
    auto plain = std::make_unique<CQrEncoder>();
    plain->EncodeSegments(pairs.data(), 4, 0);
    EXPECT_EQ(test::SegmentsText(*plain), "3:4");

    auto marked = std::make_unique<CQrEncoder>();
    marked->utf8Eci = true;
    ASSERT_EQ(marked->EncodeSegments(pairs.data(), 4, 0), 1);
    EXPECT_EQ(test::SegmentsText(*marked), "2:4");
    EXPECT_EQ(marked->dataBitCount, 12 + 4 + 8 + 32);
    EXPECT_EQ(Bits(*marked, 24),
              "0111"
              "00011010"
              "0100"
              "00000100");
}

TEST(Utf8Eci, TheDesignatorCountsInTheVersionChoice) {
    // Version 1-L holds 152 bits: 17 bytes take 4 + 8 + 136 = 148 bits, 160 with the mark.
    const Bytes text(17, 'x');
    int ok = 0;
    EXPECT_EQ(test::EncodeBytes(text, LEVEL_L, 0, 1, -1, &ok)->version, 1);
    auto marked = std::make_unique<CQrEncoder>();
    marked->utf8Eci = true;
    ASSERT_EQ(marked->Encode(LEVEL_L, 0, 1, -1, text.data(), 17), 1);
    EXPECT_EQ(marked->version, 2);
    auto strict = std::make_unique<CQrEncoder>();
    strict->utf8Eci = true;
    EXPECT_EQ(strict->Encode(LEVEL_L, 1, 0, -1, text.data(), 17), 0);
}

}  // namespace
}  // namespace qr

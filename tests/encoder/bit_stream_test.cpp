// The bit stream: exact bits of the worked segments, the limits of the 23,648-bit buffer, and an
// independent reader that takes random streams back to their bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "encoder/tables.h"
#include "tests/support/test_support.h"

namespace qr {
namespace {

using test::Bytes;

std::string BitString(const CQrEncoder& encoder, int count) {
    std::string bits;
    for (int p = 0; p < count; ++p)
        bits += (encoder.dataCodewords[p / 8] >> (7 - p % 8)) & 1 ? '1' : '0';
    return bits;
}

std::unique_ptr<CQrEncoder> Stream(const Bytes& input, int group) {
    auto encoder = std::make_unique<CQrEncoder>();
    encoder->EncodeSegments(input.data(), static_cast<int>(input.size()), group);
    return encoder;
}

TEST(BitStream, WorkedSegmentsGiveExactBits) {
    struct Case {
        Bytes input;
        const char* bits;
        const char* firstBytes;
    };
    for (const Case& c : std::vector<Case>{
             {test::ToBytes("01234567"), "0001 0000001000 0000001100 0101011001 1000011",
              "10200c566180"},
             {test::ToBytes("AC-42"), "0010 000000101 00111001110 11100111001 000010", ""},
             {test::ToBytes("123ABC"), "0010 000000110 00000101111 00010010001 00111111011", ""},
             {test::ToBytes("a"), "0100 00000001 01100001", "401610"},
             {test::FromHex("935fe4aa"), "1000 00000010 0110110011111 1101010101010", ""},
             {test::FromHex("ebbf"), "1000 00000001 1111111111111", ""},
         }) {
        std::string expected = c.bits;
        expected.erase(std::remove(expected.begin(), expected.end(), ' '), expected.end());
        SCOPED_TRACE(expected);
        auto encoder = Stream(c.input, 0);
        ASSERT_EQ(encoder->dataBitCount, static_cast<int>(expected.size()));
        EXPECT_EQ(BitString(*encoder, encoder->dataBitCount + 8), expected + "00000000");
        const std::string first = c.firstBytes;
        EXPECT_EQ(test::ToHex(encoder->dataCodewords, first.size() / 2), first);
    }
}

TEST(BitStream, CountsWriteTheLowBitsOfTheirField) {
    const Bytes kanji = test::FromHex("81408140814081408140");
    auto five = Stream(kanji, 0);
    EXPECT_EQ(five->dataBitCount, 77);
    EXPECT_EQ(BitString(*five, 77),
              "1000"
              "00000101" +
                  std::string(65, '0'));

    auto digits = Stream(Bytes(1030, '9'), 0);
    EXPECT_EQ(BitString(*digits, 14),
              "0001"
              "0000000110");  // 1030 mod 1024

    auto bytes = Stream(Bytes(300, 'x'), 0);
    EXPECT_EQ(bytes->dataBitCount, 2412);
    EXPECT_EQ(BitString(*bytes, 12),
              "0100"
              "00101100");  // 300 mod 256
}

TEST(BitStream, TheBufferHoldsExactly23648Bits) {
    auto fits = Stream(Bytes(2953, 0xFF), 2);
    EXPECT_EQ(fits->dataBitCount, 23644);
    auto overflows = std::make_unique<CQrEncoder>();
    const Bytes tooLong(2954, 0xFF);
    EXPECT_EQ(overflows->EncodeSegments(tooLong.data(), 2954, 2), 0);
    EXPECT_EQ(overflows->dataBitCount, -1);

    auto encoder = std::make_unique<CQrEncoder>();
    std::memset(encoder->dataCodewords, 0, sizeof encoder->dataCodewords);
    EXPECT_EQ(encoder->AppendBits(23644, 0xF, 4), 23648);
    EXPECT_EQ(encoder->dataCodewords[kMaxDataCodewords - 1], 0x0F);
    EXPECT_EQ(encoder->AppendBits(23644, 0x1F, 5), -1);
    EXPECT_EQ(encoder->AppendBits(-1, 0xFFFF, 16), -1);
    EXPECT_EQ(encoder->AppendBits(23632, 0xFFFF, 16), 23648);
    EXPECT_EQ(encoder->dataCodewords[kMaxDataCodewords - 2], 0xFF);
}

TEST(BitStream, AppendBitsSetsOnlyTheLowBitsOfTheValue) {
    auto encoder = std::make_unique<CQrEncoder>();
    std::memset(encoder->dataCodewords, 0, sizeof encoder->dataCodewords);
    EXPECT_EQ(encoder->AppendBits(3, 0, 9), 12);
    EXPECT_EQ(encoder->dataCodewords[0], 0);
    EXPECT_EQ(encoder->dataCodewords[1], 0);
    EXPECT_EQ(encoder->AppendBits(3, 0x1FFFA, 3), 6);  // the low three bits of 0xFFFA: 010
    EXPECT_EQ(encoder->dataCodewords[0], 0x08);
    EXPECT_EQ(encoder->AppendBits(6, 0x3, 4), 10);  // crosses a byte
    EXPECT_EQ(test::ToHex(encoder->dataCodewords, 2), "08c0");
}

// Reads a stream back: mode indicator, count of the group's width, then data.
class StreamReader {
public:
    StreamReader(const CQrEncoder& encoder, int group) : encoder_(encoder), group_(group) {}

    Bytes ReadAll() {
        Bytes out;
        while (position_ < encoder_.dataBitCount) {
            const int indicator = Read(4);
            const int mode = indicator == 1 ? 0 : indicator == 2 ? 1 : indicator == 4 ? 2 : 3;
            EXPECT_EQ(indicator, 1 << mode);
            const int count = Read(QR_STREAM_LAYOUTS[group_].countBits[mode]);
            static const std::string kAlnum = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
            int i = 0;
            switch (mode) {
                case 0:
                    for (; i + 3 <= count; i += 3) AppendDigits(&out, Read(10), 3);
                    if (count - i == 2) AppendDigits(&out, Read(7), 2);
                    if (count - i == 1) AppendDigits(&out, Read(4), 1);
                    break;
                case 1:
                    for (; i + 2 <= count; i += 2) {
                        const int v = Read(11);
                        out.push_back(static_cast<unsigned char>(kAlnum[v / 45]));
                        out.push_back(static_cast<unsigned char>(kAlnum[v % 45]));
                    }
                    if (i < count) out.push_back(static_cast<unsigned char>(kAlnum[Read(6)]));
                    break;
                case 2:
                    for (; i < count; ++i) out.push_back(static_cast<unsigned char>(Read(8)));
                    break;
                default:
                    for (; i < count; ++i) {
                        const int v = Read(13);
                        const int d = (v / 0xC0) * 256 + v % 0xC0;
                        const int code = d + (d <= 0x1EBC ? 0x8140 : 0xC140);
                        out.push_back(static_cast<unsigned char>(code >> 8));
                        out.push_back(static_cast<unsigned char>(code & 0xFF));
                    }
                    break;
            }
        }
        return out;
    }

private:
    int Read(int bits) {
        int value = 0;
        for (int i = 0; i < bits; ++i, ++position_) {
            value =
                value << 1 | ((encoder_.dataCodewords[position_ / 8] >> (7 - position_ % 8)) & 1);
        }
        return value;
    }
    static void AppendDigits(Bytes* out, int value, int digits) {
        std::string text = std::to_string(value);
        text.insert(0, digits - text.size(), '0');
        out->insert(out->end(), text.begin(), text.end());
    }

    const CQrEncoder& encoder_;
    int group_;
    int position_ = 0;
};

TEST(BitStream, RandomStreamsReadBackToTheirBytes) {
    const unsigned seed = 7;
    std::mt19937 random(seed);
    static const std::string kAlnum = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
    for (int trial = 0; trial < 1000; ++trial) {
        Bytes input;
        const int runs = 1 + static_cast<int>(random() % 20);
        for (int r = 0; r < runs; ++r) {
            const int kind = static_cast<int>(random() % 4);
            for (int i = 0, n = 1 + static_cast<int>(random() % 15); i < n; ++i) {
                if (kind == 0) input.push_back(static_cast<unsigned char>('0' + random() % 10));
                if (kind == 1) input.push_back(static_cast<unsigned char>(kAlnum[random() % 45]));
                if (kind == 2) input.push_back(static_cast<unsigned char>(random()));
                if (kind == 3) {
                    input.push_back(static_cast<unsigned char>(
                        random() % 2 ? 0x81 + random() % 31 : 0xE0 + random() % 11));
                    input.push_back(static_cast<unsigned char>(0x40 + random() % 0xBD));
                }
            }
        }
        const int group = trial % kVersionGroupCount;
        SCOPED_TRACE("seed " + std::to_string(seed) + " trial " + std::to_string(trial));
        auto encoder = Stream(input, group);
        ASSERT_GT(encoder->dataBitCount, 0);
        StreamReader reader(*encoder, group);
        EXPECT_EQ(reader.ReadAll(), input);
    }
}

}  // namespace
}  // namespace qr

// Structured append and the level boost: the header's bits in the stream, and sets of symbols
// read back by zxing-cpp with their index, size and parity, their bytes joining to the data.
#include "module/structured.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "encoder/qr_encoder.h"
#include "module/symbol.h"
#include "output/writers.h"
#include "tests/roundtrip/bmp_image.h"
#include "tests/roundtrip/qr_readers.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

std::string StreamBits(const CQrEncoder& encoder, int count) {
    std::string bits;
    for (int i = 0; i < count; ++i) {
        bits += (encoder.dataCodewords[i / 8] >> (7 - i % 8)) & 1 ? '1' : '0';
    }
    return bits;
}

TEST(StructuredAppend, TheHeaderOpensTheStreamAheadOfTheDesignator) {
    auto encoder = std::make_unique<CQrEncoder>();
    encoder->structuredAppend = {2, 5, 0xA7};
    encoder->utf8Eci = true;
    const Bytes ab = ToBytes("AB");
    ASSERT_EQ(encoder->EncodeSegments(ab.data(), 2, 0), 1);
    EXPECT_EQ(StreamBits(*encoder, 45),
              "0011"       // structured append
              "0010"       // symbol 3 ...
              "0100"       // ... of 5
              "10100111"   // parity A7
              "0111"       // ECI
              "00011010"   // designator 26
              "0010"       // alphanumeric
              "000000010"  // 2 characters
              "");
    EXPECT_EQ(encoder->dataBitCount, 20 + 12 + 4 + 9 + 11);
}

struct Case {
    const char* what;
    std::string data;
    bool utf8;
    int count;    // 2..16, or 0 to fill symbols of `version`
    int version;  // with count 0, the version filled; else asked for or 0
    int level;
    bool boost;
};

std::string Digits(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + (i * 7 + 3) % 10);
    return s;
}

TEST(StructuredAppend, SetsReadBackInOrderAndJoinToTheData) {
    std::string kanji;  // Shift_JIS pairs around one ASCII byte
    for (int i = 0; i < 120; ++i) kanji += i == 61 ? std::string("x") : std::string("\x93\xfa");
    std::string utf8;
    for (int i = 0; i < 90; ++i)
        utf8 +=
            "\xe6\x9d\xb1\xd0\x96"
            "a";
    const std::vector<Case> cases = {
        {"two parts of text", "Hello, structured append: two symbols", false, 2, 0, LEVEL_M, false},
        {"sixteen parts of digits", Digits(700), false, 16, 0, LEVEL_H, false},
        {"Kanji pairs stay whole", kanji, false, 5, 0, LEVEL_Q, false},
        {"UTF-8 sequences stay whole", utf8, true, 7, 0, LEVEL_L, false},
        {"version 5 filled in order", std::string(600, 'q'), false, 0, 5, LEVEL_M, false},
        {"boosted together", std::string(90, 'B'), false, 3, 0, LEVEL_L, true},
    };
    Encoder encoder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EncodeSettings settings;
        settings.level = c.level;
        settings.version = c.version;
        settings.utf8 = c.utf8;
        settings.boost = c.boost;
        SymbolSet symbols;
        std::string why;
        const auto* data = reinterpret_cast<const unsigned char*>(c.data.data());
        ASSERT_EQ(
            EncodeStructured(&encoder, data, c.data.size(), settings, c.count, &symbols, &why),
            TESSERA_OK)
            << why;
        unsigned parity = 0;
        for (unsigned char b : c.data) parity ^= b;
        if (c.count > 0) {
            EXPECT_EQ(symbols.Size(), static_cast<std::size_t>(c.count));
        }
        Bytes joined;
        std::size_t shortest = c.data.size(), longest = 0;
        for (std::size_t i = 0; i < symbols.Size(); ++i) {
            const Symbol& s = symbols[i];
            EXPECT_EQ(s.version, symbols[0].version);
            EXPECT_EQ(s.level, symbols[0].level);
            if (c.count == 0) {
                EXPECT_EQ(s.version, c.version);
            }
            RenderOptions options;
            options.scale = 2;
            std::string bmp;
            ASSERT_TRUE(WriterFor(ImageFormat::kBmp)(s.size, s.size, s.modules, options, &bmp));
            GrayImage image;
            std::string error;
            ASSERT_TRUE(ParseBmp(reinterpret_cast<const unsigned char*>(bmp.data()), bmp.size(),
                                 &image, &error))
                << error;
            const auto part = ReadPartWithZxing(image, &error);
            ASSERT_TRUE(part) << "symbol " << i << ": " << error;
            EXPECT_EQ(part->index, static_cast<int>(i));
            EXPECT_EQ(part->size, static_cast<int>(symbols.Size()));
            EXPECT_EQ(part->id, std::to_string(parity));
            joined.insert(joined.end(), part->bytes.begin(), part->bytes.end());
            shortest = std::min(shortest, part->bytes.size());
            longest = std::max(longest, part->bytes.size());
        }
        EXPECT_EQ(joined, ToBytes(c.data));
        // Equal parts differ by at most one character (2 bytes of Kanji, 3 of UTF-8 here).
        if (c.count > 0) {
            EXPECT_LE(longest - shortest, c.utf8 ? 3u : 2u);
        }
        if (c.boost) {
            EncodeSettings plain = settings;
            plain.boost = false;
            SymbolSet unboosted;
            ASSERT_EQ(
                EncodeStructured(&encoder, data, c.data.size(), plain, c.count, &unboosted, &why),
                TESSERA_OK);
            EXPECT_EQ(symbols[0].version, unboosted[0].version);
            EXPECT_GT(symbols[0].level, unboosted[0].level);
        }
    }
}

TEST(StructuredAppend, RefusalsSayWhy) {
    struct Refusal {
        std::string data;
        int count, version, level;
        bool micro;
        Status status;
        std::string why;
    };
    Encoder encoder;
    for (const Refusal& r : std::vector<Refusal>{
             {"abc", 4, 0, LEVEL_M, false, TESSERA_ERROR_CANNOT_ENCODE,
              "the data cannot be split into 4 symbols: it has only 3 characters to share out"},
             {"abc", 17, 0, LEVEL_M, false, TESSERA_ERROR_BAD_ARGUMENT,
              "structured append takes 2 to 16 symbols, not '17'"},
             {"abc", 0, 0, LEVEL_M, false, TESSERA_ERROR_BAD_ARGUMENT,
              "filling symbols of one version needs that version"},
             {std::string(2000, 'z'), 0, 1, LEVEL_H, false, TESSERA_ERROR_CANNOT_ENCODE,
              "the data needs more than 16 symbols of version 1 at level H"},
             {"abc", 2, 0, LEVEL_M, true, TESSERA_ERROR_BAD_ARGUMENT,
              "Micro QR has no structured append"},
         }) {
        SCOPED_TRACE(r.why);
        EncodeSettings settings;
        settings.level = r.level;
        settings.version = r.version;
        settings.micro = r.micro;
        SymbolSet symbols;
        std::string why;
        EXPECT_EQ(EncodeStructured(&encoder, reinterpret_cast<const unsigned char*>(r.data.data()),
                                   r.data.size(), settings, r.count, &symbols, &why),
                  r.status);
        EXPECT_EQ(why, r.why);
        EXPECT_EQ(symbols.Size(), 0u);
    }
}

TEST(Boost, KeepsTheVersionAndTakesTheHighestLevelItHolds) {
    struct Boosted {
        std::string data;
        int level, version, expectedLevel;
    };
    Encoder encoder;
    for (const Boosted& b : std::vector<Boosted>{
             {"HELLO WORLD", LEVEL_L, 1, LEVEL_Q},            // 74 bits: 1-Q holds 104, 1-H 72
             {"01234567", LEVEL_M, 1, LEVEL_H},               // 41 bits fit 1-H
             {std::string(2953, 'x'), LEVEL_L, 40, LEVEL_L},  // full at 40-L
             {"HELLO WORLD", LEVEL_H, 2, LEVEL_H},            // never below the level asked for
         }) {
        SCOPED_TRACE(b.data.substr(0, 12));
        EncodeSettings settings;
        settings.level = b.level;
        settings.boost = true;
        Symbol symbol;
        ASSERT_EQ(encoder.Encode(reinterpret_cast<const unsigned char*>(b.data.data()),
                                 b.data.size(), settings, &symbol),
                  TESSERA_OK);
        EXPECT_EQ(symbol.version, b.version);
        EXPECT_EQ(symbol.level, b.expectedLevel);
        const auto same = EncodeBytes(ToBytes(b.data), b.expectedLevel, b.version, 0);
        EXPECT_EQ(MatrixText(*same), [&] {
            std::string text;
            for (int y = 0; y < symbol.size; ++y) {
                for (int x = 0; x < symbol.size; ++x) text += symbol.modules[x][y] ? '1' : '0';
                text += '\n';
            }
            return text;
        }());
    }
}

}  // namespace
}  // namespace qr::test

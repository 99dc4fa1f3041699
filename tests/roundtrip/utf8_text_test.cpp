// UTF-8 text marked by the ECI designator reads back as the same Unicode text; without the mark
// the encoder keeps the library's bytes exactly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module/tessera.h"
#include "output/bmp_file.h"
#include "tests/roundtrip/qr_readers.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

GrayImage Picture(const CQrEncoder& encoder) {
    const std::string bmp = Rendered(encoder, ImageFormat::kBmp, 3);
    GrayImage image;
    std::string error;
    EXPECT_TRUE(
        ParseBmp(reinterpret_cast<const unsigned char*>(bmp.data()), bmp.size(), &image, &error))
        << error;
    return image;
}

const std::vector<std::string>& Texts() {
    static const std::vector<std::string> texts = {
        "二维码测试：你好，世界！编码器把这段中文当作 UTF-8 文本。",
        "日本語のテキスト、漢字とひらがなとカタカナ。東京都",
        "Привет, мир! Съешь же ещё этих мягких французских булок.",
        "emoji 😀🎉👍🏽 and symbols ✓ € ß",
        "mixed 12345 ABCDE 日本 Ωμέγα 😀",
    };
    return texts;
}

TEST(Utf8Text, ReadsBackAsTheSameUnicodeText) {
    for (const std::string& text : Texts()) {
        for (int level = 0; level < kLevelCount; ++level) {
            SCOPED_TRACE(text + " level " + std::to_string(level));
            auto encoder = std::make_unique<CQrEncoder>();
            encoder->utf8Eci = true;
            const Bytes data = ToBytes(text);
            ASSERT_EQ(encoder->Encode(level, 0, 1, -1, data.data(), static_cast<int>(data.size())),
                      1);
            // No Kanji segment: the lead bytes of UTF-8 Chinese and Japanese stay bytes.
            for (int k = 0; k < encoder->segmentCount; ++k)
                EXPECT_NE(encoder->segmentModes[k], MODE_KANJI);
            std::string error;
            const auto read = ReadTextWithZxing(Picture(*encoder), &error);
            ASSERT_TRUE(read.has_value()) << error;
            EXPECT_EQ(*read, text);
        }
    }
}

TEST(Utf8Text, WithoutTheMarkTheBytesAreThoseOfTheLibrary) {
    TempDir dir;
    for (const std::string& text : Texts()) {
        SCOPED_TRACE(text);
        auto encoder = std::make_unique<CQrEncoder>();
        const Bytes data = ToBytes(text);
        ASSERT_EQ(encoder->Encode(LEVEL_M, 0, 1, -1, data.data(), static_cast<int>(data.size())),
                  1);
        const std::string bmp = Rendered(*encoder, ImageFormat::kBmp, 4);
        std::string escaped = "/T";
        for (unsigned char b : data) escaped += "%" + ToHex(&b, 1);
        const std::string out = "/O" + dir.File("library.bmp");
        ASSERT_EQ(tessera(escaped.c_str(), out.c_str(), "", ""), TESSERA_WRITTEN);
        Bytes file;
        ASSERT_TRUE(ReadFile(dir.File("library.bmp"), &file));
        EXPECT_EQ(file, Bytes(bmp.begin(), bmp.end()));
    }
}

}  // namespace
}  // namespace qr::test

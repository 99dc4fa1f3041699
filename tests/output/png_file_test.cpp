// The PNG writer, read back through libpng and decoded by zxing-cpp.
#if defined(TESSERA_HAVE_PNG) && defined(TESSERA_HAVE_ZXING)

#include "output/png_file.h"

#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <vector>

#include "tests/cli/qr_reader.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

// The PNG's header fields from its IHDR chunk, which follows the 8-byte signature.
struct Header {
    unsigned width, height;
    int bitDepth, colourType, interlace;
};

unsigned Big32(const unsigned char* at) {
    return unsigned{at[0]} << 24 | unsigned{at[1]} << 16 | unsigned{at[2]} << 8 | at[3];
}

Header ReadHeader(const std::vector<unsigned char>& png) {
    const unsigned char* ihdr = png.data() + 8 + 8;  // signature, chunk length and type
    return {Big32(ihdr), Big32(ihdr + 4), ihdr[8], ihdr[9], ihdr[12]};
}

// The pixels as 8-bit gray through libpng's simplified reader; false when libpng refuses them.
bool ReadPixels(const std::vector<unsigned char>& png, GrayImage* image) {
    png_image reader{};
    reader.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&reader, png.data(), png.size())) return false;
    reader.format = PNG_FORMAT_GRAY;
    image->width = static_cast<int>(reader.width);
    image->height = static_cast<int>(reader.height);
    image->pixels.assign(PNG_IMAGE_SIZE(reader), 0);
    const bool read =
        png_image_finish_read(&reader, nullptr, image->pixels.data(), 0, nullptr) != 0;
    png_image_free(&reader);
    return read;
}

TEST(PngFile, ReadsBackAsTheSymbolAndDecodes) {
    struct Case {
        const char* data;
        int level;
        int version;
        int scale;
    };
    for (const Case& c : std::vector<Case>{
             {"HELLO WORLD", LEVEL_Q, 0, 1},  // 29 pixels: rows end mid-byte
             {"https://example.org/tessera", LEVEL_M, 0, 3},
             {"tessera writes PNG", LEVEL_H, 10, 2},  // version 10
             {"0123456789", LEVEL_L, 0, 20},          // the largest scale
         }) {
        SCOPED_TRACE(c.data);
        const auto encoder = EncodeBytes(ToBytes(c.data), c.level, c.version);
        const std::string bytes = Rendered(*encoder, ImageFormat::kPng, c.scale);
        ASSERT_FALSE(bytes.empty());
        const std::vector<unsigned char> png(bytes.begin(), bytes.end());

        const unsigned side = static_cast<unsigned>(c.scale * (encoder->symbolSize + 8));
        const Header header = ReadHeader(png);
        EXPECT_EQ(header.width, side);
        EXPECT_EQ(header.height, side);
        EXPECT_EQ(header.bitDepth, 1);
        EXPECT_EQ(header.colourType, PNG_COLOR_TYPE_GRAY);
        EXPECT_EQ(header.interlace, PNG_INTERLACE_NONE);

        GrayImage image;
        ASSERT_TRUE(ReadPixels(png, &image));
        EXPECT_TRUE(image == ExpectedImage(*encoder, c.scale));
        std::string decoded;
        ASSERT_TRUE(DecodeQr(image, &decoded));
        EXPECT_EQ(decoded, c.data);
    }
}

TEST(PngFile, ReplacesEarlierContent) {
    const auto encoder = EncodeBytes(ToBytes("A"), LEVEL_M);
    std::string reused(5000, '\xAB');
    ASSERT_TRUE(ComposePng(encoder->symbolSize, encoder->modules, RenderOptions(), &reused));
    const std::string fresh = Rendered(*encoder, ImageFormat::kPng, 4);
    EXPECT_EQ(reused, fresh);
    const std::vector<unsigned char> png(fresh.begin(), fresh.end());
    const std::vector<unsigned char> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png.begin()));
}

}  // namespace
}  // namespace qr::test

#endif

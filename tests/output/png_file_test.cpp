// The PNG writer: its chunks byte for byte, its pixels read back through libpng in their colours,
// and decoded by zxing-cpp.
#if defined(TESSERA_HAVE_PNG) && defined(TESSERA_HAVE_ZXING)

#include "output/png_file.h"

#include <gtest/gtest.h>
#include <png.h>

#include <map>
#include <string>
#include <vector>

#include "tests/output/drawn_image.h"

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

// The data of each chunk after IHDR, by type, in hex.
std::map<std::string, std::string> Chunks(const std::vector<unsigned char>& png) {
    std::map<std::string, std::string> chunks;
    for (std::size_t at = 8 + 25; at + 12 <= png.size();) {
        const unsigned length = Big32(&png[at]);
        const std::string type(png.begin() + at + 4, png.begin() + at + 8);
        if (type != "IDAT") chunks[type] = ToHex(&png[at + 8], length);
        at += 12 + length;
    }
    return chunks;
}

TEST(PngFile, ReadsBackAsTheSymbolInItsColoursAndDecodes) {
    struct Case {
        const char* data;
        int level, version, scale, margin;
        Rgba dark, light;
        int dpi;
        std::map<std::string, std::string> chunks;  // beside IDAT
    };
    for (const Case& c : std::vector<Case>{
             // 29 pixels: rows end mid-byte.
             {"HELLO WORLD", LEVEL_Q, 0, 1, 4, kDefaultDark, kDefaultLight, 0, {{"IEND", ""}}},
             {"https://example.org/tessera",
              LEVEL_M,
              0,
              3,
              4,
              kDefaultDark,
              kDefaultLight,
              300,
              {{"pHYs", "00002e2300002e2301"}, {"IEND", ""}}},  // 11811 pixels per metre
             {"tessera writes PNG",
              LEVEL_H,
              10,
              2,
              0,
              0x336699FF,
              kDefaultLight,
              0,
              {{"PLTE", "336699ffffff"}, {"IEND", ""}}},
             {"0123456789", LEVEL_L, 0, 20, 4, kDefaultDark, kDefaultLight, 0, {{"IEND", ""}}},
             {"transparent light",
              LEVEL_M,
              0,
              3,
              2,
              0x000000FF,
              0xFFFFFF00,
              1,
              {{"PLTE", "000000ffffff"},
               {"tRNS", "ff00"},
               {"pHYs", "000000270000002701"},
               {"IEND", ""}}},
             {"translucent dark",
              LEVEL_M,
              0,
              2,
              64,
              0x1A003380,
              0xFFEE88FF,
              100000,
              {{"PLTE", "1a0033ffee88"},
               {"tRNS", "80"},
               {"pHYs", "003c12f0003c12f001"},
               {"IEND", ""}}},
         }) {
        SCOPED_TRACE(c.data);
        const auto encoder = EncodeBytes(ToBytes(c.data), c.level, c.version);
        const RenderOptions options = OptionsOf(c.scale, c.margin, c.dark, c.light, c.dpi);
        std::string bytes;
        ASSERT_TRUE(ComposePng(encoder->symbolSize, encoder->modules, options, &bytes));
        const std::vector<unsigned char> png(bytes.begin(), bytes.end());

        const unsigned side = static_cast<unsigned>(c.scale * (encoder->symbolSize + 2 * c.margin));
        const Header header = ReadHeader(png);
        EXPECT_EQ(header.width, side);
        EXPECT_EQ(header.height, side);
        EXPECT_EQ(header.bitDepth, 1);
        EXPECT_EQ(header.colourType,
                  c.chunks.count("PLTE") ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_GRAY);
        EXPECT_EQ(header.interlace, PNG_INTERLACE_NONE);
        EXPECT_EQ(Chunks(png), c.chunks);

        RgbaImage image;
        ASSERT_TRUE(ReadPngPixels(bytes, &image));
        EXPECT_TRUE(image.pixels == ExpectedColours(*encoder, options).pixels);
        std::string decoded;
        ASSERT_TRUE(DecodeQr(OnWhite(image, 4 * c.scale), &decoded));
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

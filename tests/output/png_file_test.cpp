// The PNG writer: its chunks, its pixels in their colours read back through libpng, decoded by
// zxing-cpp; its image data inflated by zlib against the plain scanlines; the default file pinned.
// Beside it the other bitmaps, XPM and PBM, read by netpbm: the PNG's pixels wherever the format
// takes the options.
#if defined(TESSERA_HAVE_PNG) && defined(TESSERA_HAVE_ZXING)

#include "output/png_file.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "module/tessera_api.h"
#include "output/writers.h"
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

const unsigned char* ToUnsigned(const std::string& bytes, std::size_t at) {
    return reinterpret_cast<const unsigned char*>(bytes.data()) + at;
}

Header ReadHeader(const std::vector<unsigned char>& png) {
    const unsigned char* ihdr = png.data() + 8 + 8;  // signature, chunk length and type
    return {Big32(ihdr), Big32(ihdr + 4), ihdr[8], ihdr[9], ihdr[12]};
}

// The data of each chunk after IHDR but IDAT, by type, in hex.
std::map<std::string, std::string> Chunks(const std::vector<unsigned char>& png) {
    std::map<std::string, std::string> chunks;
    for (std::size_t at = 8 + 25; at + 12 <= png.size(); at += 12 + Big32(&png[at])) {
        const std::string type(png.begin() + at + 4, png.begin() + at + 8);
        if (type != "IDAT") chunks[type] = ToHex(&png[at + 8], Big32(&png[at]));
    }
    return chunks;
}

TEST(PngFile, ReadsBackAsTheSymbolInItsColoursAndDecodes) {
    struct Case {
        const char* data;
        int level;
        int version;
        RenderOptions options;                      // scale, margin, dark, light, dpi
        std::map<std::string, std::string> chunks;  // beside IHDR and IDAT
    };
    const std::pair<std::string, std::string> end = {"IEND", ""};
    for (const Case& c : std::vector<Case>{
             {"HELLO WORLD", LEVEL_Q, 0, {1, 4}, {end}},  // 29 pixels: rows end mid-byte
             {"https://example.org/tessera",
              LEVEL_M,
              0,
              {3, 4, kDefaultDark, kDefaultLight, 300},
              {{"pHYs", "00002e2300002e2301"}, end}},  // 11811 pixels per metre
             {"tessera writes PNG",
              LEVEL_H,
              10,
              {2, 0, 0x336699FF, kDefaultLight},
              {{"PLTE", "336699ffffff"}, end}},
             {"0123456789", LEVEL_L, 0, {20, 4}, {end}},  // the largest scale
             {"transparent light",
              LEVEL_M,
              0,
              {3, 2, 0x000000FF, 0xFFFFFF00, 1},
              {{"PLTE", "000000ffffff"}, {"tRNS", "ff00"}, {"pHYs", "000000270000002701"}, end}},
             {"translucent dark",
              LEVEL_M,
              0,
              {2, 64, 0x1A003380, 0xFFEE88FF, 100000},
              {{"PLTE", "1a0033ffee88"}, {"tRNS", "80"}, {"pHYs", "003c12f0003c12f001"}, end}},
         }) {
        SCOPED_TRACE(c.data);
        const auto encoder = EncodeBytes(ToBytes(c.data), c.level, c.version);
        std::string bytes;
        ASSERT_TRUE(ComposePng(encoder->symbolSize, encoder->symbolSize, encoder->modules,
                               c.options, &bytes));
        const std::vector<unsigned char> png(bytes.begin(), bytes.end());

        const unsigned side =
            static_cast<unsigned>(c.options.scale * (encoder->symbolSize + 2 * c.options.margin));
        const Header header = ReadHeader(png);
        EXPECT_EQ(header.width, side);
        EXPECT_EQ(header.height, side);
        EXPECT_EQ(header.bitDepth, 1);
        EXPECT_EQ(header.colourType,
                  c.chunks.count("PLTE") ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_GRAY);
        EXPECT_EQ(header.interlace, PNG_INTERLACE_NONE);
        EXPECT_EQ(Chunks(png), c.chunks);

        int width = 0;
        RgbaPixels pixels;
        ASSERT_TRUE(ReadPngPixels(bytes, &width, &pixels));
        EXPECT_TRUE(pixels == ExpectedColours(*encoder, c.options));
        std::string decoded;
        ASSERT_TRUE(DecodeQr(OnWhite(pixels, width, 4 * c.options.scale), &decoded));
        EXPECT_EQ(decoded, c.data);

        for (const std::string name : {"xpm", "pbm", "pbm-plain"}) {
            SCOPED_TRACE(name);
            ImageFormat format;
            ASSERT_TRUE(FormatFromName(name.c_str(), &format));
            tessera_render_options asked;
            tessera_render_options_init(&asked);
            asked.scale = c.options.scale;
            asked.margin = c.options.margin;
            asked.dark = c.options.dark;
            asked.light = c.options.light;
            asked.dpi = c.options.dpi;
            if (tessera_check_render_options(static_cast<int>(format), &asked, nullptr, 0) !=
                TESSERA_OK) {
                continue;  // not for this format
            }
            std::string image;
            ASSERT_TRUE(WriterFor(format)(encoder->symbolSize, encoder->symbolSize,
                                          encoder->modules, c.options, &image));
            if (name == "pbm-plain") {  // netpbm's rule for plain files: lines of 70 at most
                std::istringstream lines(image);
                for (std::string line; std::getline(lines, line);) ASSERT_LE(line.size(), 70u);
            }
            int readWidth = 0;
            RgbaPixels read;
            ASSERT_TRUE(ReadWithNetpbm(name, image, &readWidth, &read));
            EXPECT_EQ(readWidth, width);
            EXPECT_TRUE(read == pixels);
            ASSERT_TRUE(DecodeQr(OnWhite(read, readWidth, 4 * c.options.scale), &decoded));
            EXPECT_EQ(decoded, c.data);
        }
    }
}

TEST(PngFile, DefaultOptionsKeepTheEarlierBytes) {
    // Made when the writer began compressing the rows itself (libpng's file had the same pixels).
    const auto encoder = EncodeBytes(ToBytes("tessera: a version 10 sample"), LEVEL_M, 10);
    EXPECT_EQ(Sha256Hex(Rendered(*encoder, ImageFormat::kPng, 3)),
              "fde055d3cb2e3363017b0920c066ea0b349a96b8c0e42f727da2295753ef287c");
}

// The image data of `png`: its IDAT chunks inflated by zlib.
std::string InflatedData(const std::string& png) {
    std::string stream;
    for (std::size_t at = 8; at + 12 <= png.size(); at += 12 + Big32(ToUnsigned(png, at))) {
        if (png.compare(at + 4, 4, "IDAT") == 0)
            stream += png.substr(at + 8, Big32(ToUnsigned(png, at)));
    }
    z_stream z{};
    std::string data;
    char buffer[1 << 16];
    if (inflateInit(&z) != Z_OK) return "<no zlib>";
    z.next_in = reinterpret_cast<Bytef*>(&stream[0]);
    z.avail_in = static_cast<uInt>(stream.size());
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        status = inflate(&z, Z_NO_FLUSH);
        data.append(buffer, sizeof buffer - z.avail_out);
    }
    inflateEnd(&z);
    return status == Z_STREAM_END ? data : "<not a zlib stream>";
}

TEST(PngFile, CompressedRowsAreThePlainScanlinesOfEverySymbol) {
    const unsigned seed = 0x9A7E5;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int version = 1; version <= 40; ++version) {
        Bytes data(static_cast<std::size_t>(random() % 40 + version * 20));
        for (unsigned char& byte : data) byte = static_cast<unsigned char>(random());
        const auto encoder = EncodeBytes(data, LEVEL_L, version);
        RenderOptions options;
        options.scale = 1 + static_cast<int>(random() % 20);
        options.margin = static_cast<int>(random() % 9);
        if (version % 3 == 0) options.dark = 0x204060FF;
        SCOPED_TRACE("version " + std::to_string(version) + " scale " +
                     std::to_string(options.scale) + " margin " + std::to_string(options.margin));
        std::string png;
        ASSERT_TRUE(
            ComposePng(encoder->symbolSize, encoder->symbolSize, encoder->modules, options, &png));
        EXPECT_TRUE(InflatedData(png) == PlainScanlines(encoder->symbolSize, encoder->symbolSize,
                                                        encoder->modules, options));
        if (options.scale * (encoder->symbolSize + 2 * options.margin) > 800) continue;
        int width = 0;
        RgbaPixels pixels;
        ASSERT_TRUE(ReadPngPixels(png, &width, &pixels));
        EXPECT_TRUE(pixels == ExpectedColours(*encoder, options));
    }
}

TEST(PngFile, ReplacesEarlierContent) {
    const auto encoder = EncodeBytes(ToBytes("A"), LEVEL_M);
    std::string reused(5000, '\xAB');
    ASSERT_TRUE(ComposePng(encoder->symbolSize, encoder->symbolSize, encoder->modules,
                           RenderOptions(), &reused));
    const std::string fresh = Rendered(*encoder, ImageFormat::kPng, 4);
    EXPECT_EQ(reused, fresh);
    const std::vector<unsigned char> png(fresh.begin(), fresh.end());
    const std::vector<unsigned char> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png.begin()));
}

}  // namespace
}  // namespace qr::test

#endif

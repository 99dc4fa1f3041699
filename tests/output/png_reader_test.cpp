// PNG logos read back: files that libpng writes in every colour type, depth, filter and interlace,
// with palettes and tRNS, against the samples they were made of; zlib streams that zlib makes
// stored, in fixed codes and in codes of their own; and damaged files, each refused.
#if defined(TESSERA_HAVE_PNG)

#include "output/png_reader.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "output/inflate.h"

namespace qr::test {
namespace {

struct Written {
    std::string png;
    std::vector<Rgba> expected;
};

void Append(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}
void NoFlush(png_structp) {}

// A `width` x `height` image of random samples written by libpng with every filter allowed, and
// the pixels it stands for: samples of 16 bits by their high byte, narrower ones scaled to 0-255,
// palette entry i = (i, 2i, 3i) with alpha 255 - i for the first four (both of a 1-bit palette),
// and the tRNS key colour 0 transparent.
Written WriteWithLibpng(int width, int height, int depth, int colourType, bool interlace, int level,
                        std::mt19937& random) {
    const int channels = colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                         : colourType == PNG_COLOR_TYPE_RGB     ? 3
                         : colourType == PNG_COLOR_TYPE_GA      ? 2
                                                                : 1;
    const unsigned top = (1u << depth) - 1;
    const bool keyed = colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_RGB;
    std::vector<std::vector<png_byte>> rows(height);
    Written w;
    for (int y = 0; y < height; ++y) {
        const std::size_t rowBytes = (static_cast<std::size_t>(width) * channels * depth + 7) / 8;
        rows[y].assign(rowBytes, 0);
        for (int x = 0; x < width; ++x) {
            unsigned s[4];
            for (int c = 0; c < channels; ++c) {
                // Every fourth pixel repeats its left neighbour, so copies are made too.
                s[c] = x % 4 == 3 && y > 0 ? 0 : random() % (top + 1);
                const std::size_t bit = (static_cast<std::size_t>(x) * channels + c) * depth;
                if (depth == 16) {
                    rows[y][bit / 8] = static_cast<png_byte>(s[c] >> 8);
                    rows[y][bit / 8 + 1] = static_cast<png_byte>(s[c]);
                } else {
                    rows[y][bit / 8] |= static_cast<png_byte>(s[c] << (8 - depth - bit % 8));
                }
            }
            auto to8 = [&](unsigned v) { return depth == 16 ? v >> 8 : v * 255 / top; };
            Rgba pixel;
            if (colourType == PNG_COLOR_TYPE_PALETTE) {
                pixel = Rgba{s[0]} << 24 | Rgba{2 * s[0] & 0xFF} << 16 |
                        Rgba{3 * s[0] & 0xFF} << 8 | (s[0] < 4 ? 255 - s[0] : 255);
            } else if (channels <= 2) {
                const unsigned g = to8(s[0]);
                const unsigned a = channels == 2 ? to8(s[1]) : keyed && s[0] == 0 ? 0 : 255;
                pixel = Rgba{g} << 24 | Rgba{g} << 16 | Rgba{g} << 8 | a;
            } else {
                const bool key = keyed && s[0] == 0 && s[1] == 0 && s[2] == 0;
                const unsigned a = channels == 4 ? to8(s[3]) : key ? 0 : 255;
                pixel = Rgba{to8(s[0])} << 24 | Rgba{to8(s[1])} << 16 | Rgba{to8(s[2])} << 8 | a;
            }
            w.expected.push_back(pixel);
        }
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &w.png, Append, NoFlush);
    png_set_IHDR(png, info, width, height, depth, colourType,
                 interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_set_compression_level(png, level);
    png_color palette[256];
    png_byte alpha[4] = {255, 254, 253, 252};
    png_color_16 key{};
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < 256; ++i) {
            palette[i] = {static_cast<png_byte>(i), static_cast<png_byte>(2 * i),
                          static_cast<png_byte>(3 * i)};
        }
        png_set_PLTE(png, info, palette, 1 << depth);
        png_set_tRNS(png, info, alpha, depth == 1 ? 2 : 4, nullptr);
    } else if (keyed) {
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    std::vector<png_bytep> pointers;
    for (auto& row : rows) pointers.push_back(row.data());
    png_set_rows(png, info, pointers.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return w;
}

TEST(PngReader, ReadsEveryColourTypeDepthAndInterlaceAsLibpngWroteThem) {
    struct Case {
        int colourType, depth;
    };
    std::mt19937 random(2718);
    for (const Case c : std::vector<Case>{{PNG_COLOR_TYPE_GRAY, 1},
                                          {PNG_COLOR_TYPE_GRAY, 2},
                                          {PNG_COLOR_TYPE_GRAY, 4},
                                          {PNG_COLOR_TYPE_GRAY, 8},
                                          {PNG_COLOR_TYPE_GRAY, 16},
                                          {PNG_COLOR_TYPE_PALETTE, 1},
                                          {PNG_COLOR_TYPE_PALETTE, 2},
                                          {PNG_COLOR_TYPE_PALETTE, 4},
                                          {PNG_COLOR_TYPE_PALETTE, 8},
                                          {PNG_COLOR_TYPE_RGB, 8},
                                          {PNG_COLOR_TYPE_RGB, 16},
                                          {PNG_COLOR_TYPE_GA, 8},
                                          {PNG_COLOR_TYPE_GA, 16},
                                          {PNG_COLOR_TYPE_RGB_ALPHA, 8},
                                          {PNG_COLOR_TYPE_RGB_ALPHA, 16}}) {
        for (const bool interlace : {false, true}) {
            for (const int level : {0, 1, 9}) {
                SCOPED_TRACE("colour type " + std::to_string(c.colourType) + ", depth " +
                             std::to_string(c.depth) + (interlace ? ", interlaced" : "") +
                             ", level " + std::to_string(level));
                // 13 x 11 leaves every Adam7 pass a part row and column.
                const Written w =
                    WriteWithLibpng(13, 11, c.depth, c.colourType, interlace, level, random);
                PngPixels image;
                std::string why;
                ASSERT_TRUE(ReadPng(reinterpret_cast<const unsigned char*>(w.png.data()),
                                    w.png.size(), 64, &image, &why))
                    << why;
                EXPECT_EQ(image.width, 13);
                EXPECT_EQ(image.height, 11);
                EXPECT_EQ(image.pixels, w.expected);
            }
        }
    }
}

TEST(PngReader, RefusesDamagedFilesNamingWhy) {
    std::mt19937 random(31);
    const std::string good = WriteWithLibpng(5, 4, 4, PNG_COLOR_TYPE_PALETTE, false, 6, random).png;
    // The file is the signature, IHDR at 8 (its width at 16, depth at 24, CRC at 29), PLTE of 16
    // colours at 33 (its type at 37, colours at 41), tRNS at 89, ...
    auto withCrcs = [](std::string png) {
        for (std::size_t at = 8; at + 12 <= png.size();) {
            const auto* p = reinterpret_cast<const unsigned char*>(png.data()) + at;
            const std::size_t length = std::size_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3];
            if (at + 12 + length > png.size()) break;
            const uLong crc = crc32(0, p + 4, static_cast<uInt>(4 + length));
            for (int i = 0; i < 4; ++i)
                png[at + 8 + length + i] = static_cast<char>(crc >> (24 - 8 * i));
            at += 12 + length;
        }
        return png;
    };
    auto changed = [&](std::size_t at, unsigned char byte) {
        std::string png = good;
        png[at] = static_cast<char>(byte);
        return withCrcs(png);
    };
    struct Case {
        const char* what;
        std::string png;
        int maxSide;
        const char* why;
    };
    for (const Case& c : std::vector<Case>{
             {"not PNG", "GIF89a" + good.substr(6), 64, "the PNG logo is no PNG file"},
             {"cut short", good.substr(0, good.size() - 20), 64, "the PNG logo is cut short"},
             {"a CRC wrong", good.substr(0, 29) + "xxxx" + good.substr(33), 64,
              "the PNG logo has a chunk whose CRC is wrong"},
             {"too wide", good, 4, "the PNG logo is larger than 4 pixels a side"},
             {"no pixels", changed(19, 0), 64, "the PNG logo has no pixels"},
             {"depth 3", changed(24, 3), 64,
              "the PNG logo has a colour type, depth, compression, filter or interlace it cannot "
              "have"},
             {"a palette shorter than its indices",
              withCrcs(good.substr(0, 36) + char{24} + good.substr(37, 4 + 24) + good.substr(89)),
              64, "the PNG logo has a pixel beyond its palette"},
             {"an unknown critical chunk", changed(37, 'Q'), 64,
              "the PNG logo has a critical chunk this reader does not know"},
         }) {
        SCOPED_TRACE(c.what);
        PngPixels image;
        std::string why;
        EXPECT_FALSE(ReadPng(reinterpret_cast<const unsigned char*>(c.png.data()), c.png.size(),
                             c.maxSide, &image, &why));
        EXPECT_EQ(why, c.why);
    }
}

TEST(Inflate, InflatesWhatZlibCompressesAndRefusesWhatExceedsItsLimitOrIsDamaged) {
    std::mt19937 random(5);
    std::vector<unsigned char> data(70000);
    for (std::size_t i = 0; i < data.size(); ++i) {
        // Stretches of random bytes and of repeats, so that every kind of block and code occurs.
        data[i] = (i / 1000) % 2 == 0 ? static_cast<unsigned char>(random()) : data[i - 997];
    }
    for (const int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY, Z_RLE}) {
        for (const int level : {0, 1, 9}) {
            SCOPED_TRACE("strategy " + std::to_string(strategy) + ", level " +
                         std::to_string(level));
            z_stream z{};
            ASSERT_EQ(deflateInit2(&z, level, Z_DEFLATED, 15, 8, strategy), Z_OK);
            std::vector<unsigned char> packed(deflateBound(&z, data.size()));
            z.next_in = data.data();
            z.avail_in = static_cast<uInt>(data.size());
            z.next_out = packed.data();
            z.avail_out = static_cast<uInt>(packed.size());
            ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
            packed.resize(z.total_out);
            deflateEnd(&z);
            std::vector<unsigned char> out;
            EXPECT_TRUE(InflateZlib(packed.data(), packed.size(), data.size(), &out));
            EXPECT_EQ(out, data);
            EXPECT_FALSE(InflateZlib(packed.data(), packed.size(), data.size() - 1, &out));
            EXPECT_LE(out.size(), data.size() - 1);
            packed.back() ^= 1;  // the Adler-32
            EXPECT_FALSE(InflateZlib(packed.data(), packed.size(), data.size(), &out));
            packed.resize(packed.size() / 2);
            EXPECT_FALSE(InflateZlib(packed.data(), packed.size(), data.size(), &out));
        }
    }
}

}  // namespace
}  // namespace qr::test

#endif

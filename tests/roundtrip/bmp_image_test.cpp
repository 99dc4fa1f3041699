// The BMP reader of the round-trip suite: it must see the picture tessera drew, pixel for pixel,
// and refuse files whose headers do not describe the bytes, so that the readers are never handed
// a misread image.
#include "tests/roundtrip/bmp_image.h"

#include <gtest/gtest.h>

#include <functional>

#include "module/tessera.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

constexpr int kQuietZoneModules = 4;
constexpr std::uint8_t kBlack = 0;
constexpr std::uint8_t kWhite = 255;

// The file tessera writes for `text` at `scale`.
Bytes TesseraFile(const std::string& text, int scale) {
    TempDir dir;
    const std::string out = dir.File("symbol.bmp");
    const std::string data = "/T" + text;
    const std::string output = "/O" + out;
    const std::string size = "/S" + std::to_string(scale);
    EXPECT_EQ(tessera(data.c_str(), output.c_str(), size.c_str(), ""), TESSERA_WRITTEN);
    Bytes file;
    EXPECT_TRUE(ReadFile(out, &file));
    return file;
}

void PutU32(Bytes* file, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) (*file)[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

TEST(BmpImage, ParsesTheSymbolWithItsQuietZoneAtEveryScale) {
    struct Case {
        const char* text;
        int scale;
    };
    for (const Case& c : {Case{"Hello", 1}, Case{"Hello", 3}, Case{"Hello", 4},
                          Case{"HELLO%20WORLD%200123456789%20round%20trip", 2}}) {
        SCOPED_TRACE(std::string(c.text) + " at scale " + std::to_string(c.scale));
        const Bytes file = TesseraFile(c.text, c.scale);
        GrayImage image;
        std::string error;
        ASSERT_TRUE(ParseBmp(file.data(), file.size(), &image, &error)) << error;

        // The same data straight from the encoder, with tessera's defaults: level M, smallest
        // version, automatic mask. "%20" above is a space.
        std::string plain = c.text;
        for (std::size_t at; (at = plain.find("%20")) != std::string::npos;)
            plain.replace(at, 3, " ");
        const auto encoder = EncodeBytes(ToBytes(plain), LEVEL_M);
        const int n = encoder->symbolSize;
        const int side = c.scale * (n + 2 * kQuietZoneModules);
        ASSERT_EQ(image.width, side);
        ASSERT_EQ(image.height, side);
        int mismatches = 0;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const int u = x / c.scale - kQuietZoneModules;
                const int v = y / c.scale - kQuietZoneModules;
                const bool dark = u >= 0 && u < n && v >= 0 && v < n && encoder->modules[u][v];
                if (image.At(x, y) != (dark ? kBlack : kWhite)) ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(BmpImage, GivesEachPixelTheGreyOfItsColourTableEntry) {
    Bytes file = TesseraFile("Hello", 1);
    GrayImage original;
    std::string error;
    ASSERT_TRUE(ParseBmp(file.data(), file.size(), &original, &error)) << error;
    // Colour 0 becomes white and colour 1 a mid grey: black pixels turn white, white ones grey.
    PutU32(&file, 54, 0x00FFFFFF);
    PutU32(&file, 58, 0x00808080);
    GrayImage recoloured;
    ASSERT_TRUE(ParseBmp(file.data(), file.size(), &recoloured, &error)) << error;
    ASSERT_EQ(recoloured.pixels.size(), original.pixels.size());
    int black = 0;
    for (std::size_t i = 0; i < original.pixels.size(); ++i) {
        const bool wasBlack = original.pixels[i] == kBlack;
        black += wasBlack;
        ASSERT_EQ(recoloured.pixels[i], wasBlack ? kWhite : 0x80) << "pixel " << i;
    }
    EXPECT_GT(black, 0);
}

TEST(BmpImage, RefusesHeadersThatDoNotDescribeTheBytes) {
    struct Case {
        const char* what;
        std::function<void(Bytes*)> change;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"cut to 61 bytes", [](Bytes* f) { f->resize(61); }, "shorter than the 62 header bytes"},
        {"type 'XM'", [](Bytes* f) { (*f)[0] = 'X'; }, "file type is not 'BM'"},
        {"one byte more", [](Bytes* f) { f->push_back(0); },
         "file size field differs from the length"},
        {"one byte more, counted in the size",
         [](Bytes* f) {
             f->push_back(0);
             PutU32(f, 2, static_cast<std::uint32_t>(f->size()));
         },
         "length is not headers plus rows"},
        {"reserved field set", [](Bytes* f) { (*f)[6] = 1; }, "reserved fields not 0"},
        {"rows at offset 54", [](Bytes* f) { PutU32(f, 10, 54); }, "pixel rows not at offset 62"},
        {"108-byte header", [](Bytes* f) { PutU32(f, 14, 108); },
         "information header is not 40 bytes"},
        {"width 0", [](Bytes* f) { PutU32(f, 18, 0); }, "width out of range"},
        {"top-down rows", [](Bytes* f) { PutU32(f, 22, static_cast<std::uint32_t>(-29)); },
         "height not a bottom-up count"},
        {"2 planes", [](Bytes* f) { (*f)[26] = 2; }, "planes is not 1"},
        {"8 bits per pixel", [](Bytes* f) { (*f)[28] = 8; }, "not 1 bit per pixel"},
        {"run-length compressed", [](Bytes* f) { PutU32(f, 30, 1); }, "compressed"},
        {"image size 0", [](Bytes* f) { PutU32(f, 34, 0); }, "image size field differs from rows"},
        {"256 colours", [](Bytes* f) { PutU32(f, 46, 256); }, "not two colours"},
        {"one row more in the height", [](Bytes* f) { PutU32(f, 22, 30); },
         "image size field differs from rows"},
    };
    const Bytes valid = TesseraFile("Hello", 1);
    ASSERT_EQ(valid.size(), 178u);  // version 1 at scale 1
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file = valid;
        c.change(&file);
        GrayImage image;
        std::string error;
        EXPECT_FALSE(ParseBmp(file.data(), file.size(), &image, &error));
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace
}  // namespace qr::test

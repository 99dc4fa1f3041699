// Styled symbols through real readers: every module shape with every finder style, drawn at 8
// pixels per module as PNG (read back through libpng), as SVG (drawn by rsvg-convert) and as 1-bit
// BMP, must give zxing-cpp and zbar exactly the bytes of the conformance vectors they were made
// from; so must a logo at the largest size the symbol allows, at every level, in PNG and SVG.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "encoder/micro_encoder.h"
#include "encoder/symbol_map.h"
#include "output/logo.h"
#include "output/module_shapes.h"
#include "output/styled.h"
#include "tests/output/drawn_image.h"
#include "tests/roundtrip/bmp_image.h"
#include "tests/roundtrip/qr_readers.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

constexpr int kScale = 8;
// The ordinary run reads two vectors in each shape and finder style; with this variable set (the
// soak run) the styles share out every vector that encodes, so each one is read in some style.
constexpr const char* kEveryVectorVariable = "TESSERA_STYLED_EVERY_VECTOR";
// With this variable set to a finder style's name, the shapes are read with that finder alone
// (to repeat a soak after a change to one finder style).
constexpr const char* kOneFinderVariable = "TESSERA_STYLED_FINDER";

// A symbol of the conformance vectors: its data and the encoder's arguments.
struct Vector {
    Bytes data;
    int level, version, mask;
};

// Every vector that encodes (at `level` alone, unless it is -1), in the table's order.
std::vector<Vector> EncodingVectors(int level = -1) {
    const Table table = ReadTable(std::string(TESSERA_TEST_DATA) + "/encoder.tsv");
    std::vector<Vector> encoding;
    for (const auto& row : table.rows) {
        if (row[table.Column("encode_result")] != "1" ||
            (level >= 0 && std::stoi(row[table.Column("level")]) != level)) {
            continue;
        }
        encoding.push_back({FromHex(row[table.Column("data_hex")]),
                            std::stoi(row[table.Column("level")]),
                            std::stoi(row[table.Column("requestedVersion")]),
                            std::stoi(row[table.Column("maskNumber")])});
    }
    return encoding;
}

// Every `step`-th vector that encodes (at `level` alone, unless it is -1), from `first` on, `count`
// of them.
std::vector<Vector> SampleVectors(int first, int step, int count, int level = -1) {
    const std::vector<Vector> encoding = EncodingVectors(level);
    std::vector<Vector> sample;
    for (int i = 0; i < count; ++i)
        sample.push_back(encoding[(first + i * step) % encoding.size()]);
    return sample;
}

// The vectors that the style numbered `style` of `styles` is read with: two, thirteen apart, in
// the ordinary run; with kEveryVectorVariable set, its share of all of them, so that every vector
// is read in some style; with it set to "all", every one of them (each style with every vector).
std::vector<Vector> VectorsOfStyle(int style, int styles) {
    const char* every = std::getenv(kEveryVectorVariable);
    if (every == nullptr) return SampleVectors(style * 2, 13, 2);
    const std::vector<Vector> all = EncodingVectors();
    if (std::string(every) == "all") return all;
    const std::size_t share = (all.size() + styles - 1) / styles;
    const std::size_t first = std::min(all.size(), static_cast<std::size_t>(style) * share);
    return {all.begin() + first, all.begin() + std::min(all.size(), first + share)};
}

// The picture `bytes` of `format` shows, on white, as grey pixels; false when it cannot be read.
bool Pixels(ImageFormat format, const std::string& bytes, GrayImage* image) {
    std::string error;
    if (format == ImageFormat::kBmp) {
        return ParseBmp(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), image,
                        &error);
    }
    int width = 0;
    RgbaPixels pixels;
    const bool read = format == ImageFormat::kPng ? ReadPngPixels(bytes, &width, &pixels)
                                                  : DrawDocument(format, bytes, &width, &pixels);
    if (read) *image = OnWhite(pixels, width, 0);
    return read;
}

// Both readers must return `data`; zxing-cpp is told the image is one pure symbol when its search
// finds none.
void ExpectBothRead(const GrayImage& image, const Bytes& data) {
    std::string error;
    auto zxing = ReadWithZxing(image, ZxingDetection::kSearch, &error);
    if (!zxing) zxing = ReadWithZxing(image, ZxingDetection::kPure, &error);
    EXPECT_TRUE(zxing && *zxing == data) << "zxing-cpp: " << (zxing ? "other bytes" : error);
    error.clear();
    const auto zbar = ReadWithZbar(image, &error);
    EXPECT_TRUE(zbar && *zbar == data) << "zbar: " << (zbar ? "other bytes" : error);
}

// Renders the symbol with `style` in PNG, SVG and BMP and reads each back.
void ExpectStyledReads(const Vector& v, const StyleOptions& style) {
    const MappedSymbol r = MapEncoded(v.data, v.level, v.version, v.mask);
    RenderOptions options;
    options.scale = kScale;
    for (const ImageFormat format : {ImageFormat::kPng, ImageFormat::kSvg, ImageFormat::kBmp}) {
        if (format == ImageFormat::kBmp && style.logo != nullptr) continue;  // BMP draws no logo
        SCOPED_TRACE(FormatInfo(format).name);
        if (style.finder == FinderStyle::kDot && r.encoder->version > kMaxDotFinderVersion) {
            EXPECT_NE(CheckStyled(format, *r.map, options, style), "");
            continue;
        }
        ASSERT_EQ(CheckStyled(format, *r.map, options, style), "");
        std::string bytes;
        ASSERT_TRUE(ComposeStyled(format, r.encoder->modules, *r.map, options, style, &bytes));
        GrayImage image;
        ASSERT_TRUE(Pixels(format, bytes, &image));
        ExpectBothRead(image, v.data);
    }
}

class ShapeRoundTrip : public testing::TestWithParam<int> {};

TEST_P(ShapeRoundTrip, ReadsWithEveryFinderStyleInPngAndSvg) {
    const int shape = GetParam();
    const char* only = std::getenv(kOneFinderVariable);
    for (int finder = 0; finder < kFinderStyleCount; ++finder) {
        if (only != nullptr && std::string(only) != FINDER_STYLES[finder].name) continue;
        const int style = shape * kFinderStyleCount + finder;
        for (const Vector& v : VectorsOfStyle(style, kModuleShapeCount * kFinderStyleCount)) {
            SCOPED_TRACE(std::string(MODULE_SHAPES[shape].name) + " shape, " +
                         FINDER_STYLES[finder].name + " finders, version " +
                         std::to_string(v.version) + " level " + std::to_string(v.level) + ", " +
                         std::to_string(v.data.size()) + " bytes");
            StyleOptions options;
            options.shape = static_cast<ModuleShape>(shape);
            options.finder = static_cast<FinderStyle>(finder);
            ExpectStyledReads(v, options);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, ShapeRoundTrip, testing::Range(0, kModuleShapeCount),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(MODULE_SHAPES[info.param].name);
                         });

// A symbol that zbar missed with rounded finders whose ball had corners of three quarters of a
// module, as 1-bit BMP at 8, 10 and 12 pixels a module (it read at 4-7 and 14-20).
TEST(StyledRoundTrip, RoundedFindersOfALargeSymbolReadAtEveryScale) {
    const Table table = ReadTable(std::string(TESSERA_TEST_DATA) + "/encoder.tsv");
    const auto row = std::find_if(table.rows.begin(), table.rows.end(),
                                  [](const auto& r) { return r[0] == "529"; });
    ASSERT_NE(row, table.rows.end());
    const Vector v{FromHex((*row)[table.Column("data_hex")]), LEVEL_H, 39, 3};
    StyleOptions style;
    style.finder = FinderStyle::kRounded;
    for (int scale = 4; scale <= 16; scale += 2) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const MappedSymbol r = MapEncoded(v.data, v.level, v.version, v.mask);
        RenderOptions options;
        options.scale = scale;
        std::string bytes;
        ASSERT_TRUE(
            ComposeStyled(ImageFormat::kBmp, r.encoder->modules, *r.map, options, style, &bytes));
        GrayImage image;
        ASSERT_TRUE(Pixels(ImageFormat::kBmp, bytes, &image));
        ExpectBothRead(image, v.data);
    }
}

TEST(StyledRoundTrip, LargestLogoReadsAtEveryLevel) {
    const std::string logo = DiscLogoPng(48, 32, 0x901020FF, 0xFFF4C0FF);
    for (int level = LEVEL_L; level <= LEVEL_H; ++level) {
        for (const Vector& v : SampleVectors(7, 37, 2, level)) {
            const MappedSymbol r = MapEncoded(v.data, v.level, v.version, v.mask);
            StyleOptions style;
            style.logo = reinterpret_cast<const unsigned char*>(logo.data());
            style.logoSize = logo.size();
            style.logoPercent = LargestLogoPercent(*r.map, 48.0 / 32);
            SCOPED_TRACE("level " + std::to_string(level) + ", version " +
                         std::to_string(r.encoder->version) + ", logo " +
                         std::to_string(style.logoPercent) + "%");
            ASSERT_GT(style.logoPercent, 0);
            ExpectStyledReads(v, style);
        }
    }
}

// Micro QR, whose one finder and quiet zone of 2 take the same styles: zxing-cpp (zbar reads no
// Micro QR) reads every version in every shape with square and rounded finders, as PNG. It finds
// no dot finder, which is refused.
TEST(StyledRoundTrip, MicroQrReadsInEveryShapeAndFinderStyle) {
    const Bytes data = ToBytes("1234");
    for (int version = 1; version <= 4; ++version) {
        auto encoder = std::make_unique<CMicroEncoder>();
        const int level = version == 1 ? kMicroNoLevel : LEVEL_L;
        ASSERT_EQ(encoder->Encode(level, version, 0, -1, data.data(), 4), 1);
        auto map = std::make_unique<SymbolMap>();
        ASSERT_TRUE(MapSymbol(SymbolKind::kMicroQr, version, level, map.get()));
        RenderOptions options;
        options.scale = kScale;
        options.margin = kMicroQuietZoneModules;
        for (int shape = 0; shape < kModuleShapeCount; ++shape) {
            for (int finder = 0; finder < kFinderStyleCount; ++finder) {
                SCOPED_TRACE("M" + std::to_string(version) + ", " + MODULE_SHAPES[shape].name +
                             " shape, " + FINDER_STYLES[finder].name + " finder");
                StyleOptions style;
                style.shape = static_cast<ModuleShape>(shape);
                style.finder = static_cast<FinderStyle>(finder);
                if (style.finder == FinderStyle::kDot) {
                    EXPECT_NE(CheckStyled(ImageFormat::kPng, *map, options, style), "");
                    continue;
                }
                ASSERT_EQ(CheckStyled(ImageFormat::kPng, *map, options, style), "");
                std::string png;
                ASSERT_TRUE(
                    ComposeStyled(ImageFormat::kPng, encoder->modules, *map, options, style, &png));
                GrayImage image;
                ASSERT_TRUE(Pixels(ImageFormat::kPng, png, &image));
                std::string error;
                const auto read = ReadMicroWithZxing(image, ZxingDetection::kSearch, &error);
                EXPECT_TRUE(read && *read == data) << (read ? "other bytes" : error);
            }
        }
    }
}

}  // namespace
}  // namespace qr::test

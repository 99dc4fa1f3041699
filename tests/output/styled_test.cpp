// Styled output: the style record's texts and checks, every module shape as a picture, coverage as
// area, the vector documents drawn by independent programs against the PNG, printed sizes, CMYK,
// accessible titles, and logos with their cap.
#if defined(TESSERA_HAVE_PNG) && defined(TESSERA_HAVE_ZXING)

#include "output/styled.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "output/logo.h"
#include "output/module_shapes.h"
#include "output/raster.h"
#include "output/writers.h"
#include "tests/output/drawn_image.h"

namespace qr::test {
namespace {

using namespace std::string_literals;

using Symbol = MappedSymbol;

Symbol Make(const char* text, int level, int version = 0) {
    return MapEncoded(ToBytes(text), level, version);
}

std::string Compose(const Symbol& s, ImageFormat format, const RenderOptions& options,
                    const StyleOptions& style) {
    std::string bytes;
    EXPECT_EQ(CheckStyled(format, *s.map, options, style), "");
    EXPECT_TRUE(ComposeStyled(format, s.encoder->modules, *s.map, options, style, &bytes));
    return bytes;
}

TEST(StyleOptions, ReadNamesGradientsLengthsAndCmykAndNothingElse) {
    Gradient g;
    ASSERT_TRUE(ParseGradient("linear:FF0000,#0000ff80,90", &g));
    EXPECT_TRUE(g.kind == GradientKind::kLinear && g.from == 0xFF0000FF && g.to == 0x0000FF80 &&
                g.angle == 90);
    ASSERT_TRUE(ParseGradient("radial:102030,405060", &g));
    EXPECT_TRUE(g.kind == GradientKind::kRadial && g.from == 0x102030FF && g.angle == 0);
    for (const char* bad : {"linear:FF0000", "radial:FF0000,00FF00,45", "conic:FF0000,00FF00",
                            "linear:FF0000,00FF00,360", "linear:FF0000,00FF00,-5",
                            "linear:FF000,00FF00", "linear FF0000,00FF00"}) {
        EXPECT_FALSE(ParseGradient(bad, &g)) << bad;
    }
    double length = 0;
    LengthUnit unit = LengthUnit::kNone;
    ASSERT_TRUE(ParseLength("25.4mm", &length, &unit));
    EXPECT_DOUBLE_EQ(LengthInPoints(length, unit), 72);
    ASSERT_TRUE(ParseLength(".5in", &length, &unit));
    EXPECT_DOUBLE_EQ(LengthInPoints(length, unit), 36);
    ASSERT_TRUE(ParseLength("72pt", &length, &unit));
    EXPECT_DOUBLE_EQ(LengthInPoints(length, unit), 72);
    for (const char* bad : {"30", "mm", "0mm", "-3mm", "+3mm", "3 mm", "1.2.3mm", "3cm", "3mmm"}) {
        EXPECT_FALSE(ParseLength(bad, &length, &unit)) << bad;
    }
    EXPECT_EQ(IndexOfName(MODULE_SHAPES, "hbars"), static_cast<int>(ModuleShape::kHBars));
    EXPECT_EQ(IndexOfName(REGION_NAMES, "quiet-zone"), static_cast<int>(Region::kQuietZone));
    EXPECT_EQ(IndexOfName(FINDER_STYLES, "Dot"), -1);
    EXPECT_EQ(NameList(FINDER_STYLES), "square, rounded or dot");
    int cmyk[kCmykComponents] = {};
    ASSERT_TRUE(ParseCmyk("0,10,20,100", cmyk));
    EXPECT_EQ(cmyk[1] + cmyk[2] + cmyk[3], 130);
    for (const char* bad : {"0,0,0", "0,0,0,101", "a,0,0,0", "0,0,0,100,0", "0,,0,0"}) {
        EXPECT_FALSE(ParseCmyk(bad, cmyk)) << bad;
    }
}

// Nothing styled, every format keeps the plain writer's bytes, which their own tests pin; a style
// takes the styled road, which needs the symbol's map.
TEST(StyleOptions, APlainStyleKeepsThePlainWritersBytes) {
    const Symbol s = Make("plain", LEVEL_M, 2);
    std::string styled;
    for (int f = 0; f < FormatCount(); ++f) {
        const auto format = static_cast<ImageFormat>(f);
        SCOPED_TRACE(FormatInfo(format).name);
        std::string plain;
        ASSERT_TRUE(WriterFor(format)(s.encoder->symbolSize, s.encoder->symbolSize,
                                      s.encoder->modules, RenderOptions(), &plain));
        ASSERT_TRUE(ComposeWithStyle(format, s.encoder->symbolSize, s.encoder->symbolSize,
                                     s.encoder->modules, nullptr, RenderOptions(), StyleOptions(),
                                     &styled));
        EXPECT_EQ(styled, plain);
    }
    StyleOptions dots;
    dots.shape = ModuleShape::kDot;
    EXPECT_FALSE(ComposeWithStyle(ImageFormat::kSvg, s.encoder->symbolSize, s.encoder->symbolSize,
                                  s.encoder->modules, nullptr, RenderOptions(), dots, &styled));
}

TEST(StyleOptions, CheckNamesWhatIsOutOfRangeOrWhatAFormatCannotDraw) {
    const Symbol v3 = Make("CHECK", LEVEL_M, 3);
    const Symbol v36 = Make("CHECK", LEVEL_M, 36);
    static const std::string kSvgLogo = "<?xml version=\"1.0\"?><svg viewBox=\"0 0 1 1\"></svg>";
    static const std::string kHtml = "<html>";
    static const std::string kCutPng = DiscLogoPng(8, 8, kDefaultDark, kDefaultLight).substr(0, 60);
    struct Case {
        ImageFormat format;
        std::function<void(StyleOptions*, RenderOptions*)> set;
        std::string why;
        const Symbol* symbol;
    };
    using O = StyleOptions*;
    using R = RenderOptions*;
    auto logo = [](O s, const std::string& bytes, int percent) {
        s->logo = reinterpret_cast<const unsigned char*>(bytes.data());
        s->logoSize = bytes.size();
        s->logoPercent = percent;
    };
    // clang-format off
    for (const Case& c : std::vector<Case>{
        {ImageFormat::kSvg, [](O, R) {}, "", &v3},
        {ImageFormat::kTxt, [](O s, R) { s->shape = ModuleShape::kDot; }, "txt output takes no styles", &v3},
        {ImageFormat::kBmp, [](O s, R) { s->regions[0] = 0xFF0000FF; }, "bmp output takes no region colours", &v3},
        {ImageFormat::kEps, [](O s, R) { s->gradient.kind = GradientKind::kRadial; }, "eps output takes no gradients", &v3},
        {ImageFormat::kPdf, [](O s, R) { s->title = "t"; }, "pdf output takes no titles and descriptions", &v3},
        {ImageFormat::kSvg, [](O s, R) { s->cmyk = true; }, "svg output takes no CMYK colours", &v3},
        {ImageFormat::kPng, [&](O s, R) { logo(s, kSvgLogo, 10); }, "png output takes no SVG logos", &v3},
        {ImageFormat::kPdf, [](O s, R) { s->regions[3] = 0xFFFFFF80; },
         "pdf output takes no transparency: give region colours with alpha FF", &v3},
        {ImageFormat::kPng, [](O s, R) { s->size = 20, s->sizeUnit = LengthUnit::kInch; },
         "a printed size needs a resolution (dpi) for png output", &v3},
        {ImageFormat::kPng, [](O s, R r) { s->size = 20, s->sizeUnit = LengthUnit::kMillimetre, r->dpi = 30; },
         "at 30 dpi that printed size gives a module under one pixel or an image wider than 4096 pixels", &v3},
        {ImageFormat::kSvg, [](O s, R) { s->shape = static_cast<ModuleShape>(7); }, "unknown module shape 7", &v3},
        {ImageFormat::kPdf, [](O s, R) { s->cmyk = true, s->gradient.kind = GradientKind::kLinear; },
         "a CMYK dark colour and a gradient both replace the dark colour: give one", &v3},
        {ImageFormat::kSvg, [](O s, R) { s->description = "a\x01"; },
         "the title and the description may not hold control characters", &v3},
        {ImageFormat::kSvg, [&](O s, R) { logo(s, kHtml, 10); }, "the logo is neither a PNG nor an SVG image", &v3},
        {ImageFormat::kPdf, [&](O s, R) { logo(s, kCutPng, 10); },
         "the PNG logo is cut short", &v3},
        {ImageFormat::kSvg, [&](O s, R) { logo(s, kSvgLogo, 40); },
         "a logo of 40% hides more than this symbol's error correction can repair; 10% is the largest that fits", &v3},
        {ImageFormat::kPng, [](O s, R) { s->finder = FinderStyle::kDot; }, "", &v3},
        {ImageFormat::kPng, [](O s, R) { s->finder = FinderStyle::kDot; },
         "dot finders are not read reliably in Micro QR, rMQR or above version 35: take square or rounded finders", &v36},
    }) {
        // clang-format on
        StyleOptions style;
        RenderOptions options;
        c.set(&style, &options);
        EXPECT_EQ(CheckStyled(c.format, *c.symbol->map, options, style), c.why)
            << FormatInfo(c.format).name;
    }
}

// The top `rows` rows of `image`, a line each, a pixel '#' where it is dark.
std::string DarkPixels(const RgbaImage& image, int rows) {
    std::string picture = "\n";
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < image.width; ++x) picture += image.At(x, y) == kDefaultDark ? '#' : '.';
        picture += '\n';
    }
    return picture;
}

// The dark modules
//   ###.
//   .#.#
// drawn in a shape at 4 pixels a module, a pixel dark ('#') where its centre lies inside.
std::string ShapePicture(ModuleShape shape) {
    auto map = std::make_unique<SymbolMap>();
    map->width = map->height = 4;
    for (auto& column : map->cells) {
        for (auto& cell : column) cell = {ModuleRole::kData, 0, 0, 0, 0};
    }
    ModuleMatrix modules = {};
    for (const auto& [x, y] : {std::pair{0, 0}, {1, 0}, {2, 0}, {1, 1}, {3, 1}}) modules[x][y] = 1;
    StyleOptions style;
    style.shape = shape;
    const RgbaImage image = Rasterise(
        DrawSymbol(modules, *map, RenderOptions{4, 0}, style, nullptr), 4, EdgeRule::kPixelCentre);
    return DarkPixels(image, 8);
}

TEST(ModuleShapes, EachShapeAsAPicture) {
    const std::vector<std::string> pictures = {
        R"(
############....
############....
############....
############....
....####....####
....####....####
....####....####
....####....####
)",  // square
        R"(
.##..##..##.....
############....
############....
.##..##..##.....
.....##......##.
....####....####
....####....####
.....##......##.
)",  // dot
        R"(
.##########.....
############....
############....
.##########.....
....####.....##.
....####....####
....####....####
.....##......##.
)",  // rounded
        R"(
.###########....
############....
############....
###########.....
....####.....###
....####....####
....####....####
....###.....###.
)",  // classy
        R"(
.#...#...#......
###.###.###.....
###.###.###.....
.#...#...#......
.....#.......#..
....###.....###.
....###.....###.
.....#.......#..
)",  // diamond
        R"(
.##########.....
############....
############....
.##########.....
.....##......##.
....####....####
....####....####
.....##......##.
)",  // hbars
        R"(
.##..##..##.....
############....
############....
.##.####.##.....
....####.....##.
....####....####
....####....####
.....##......##.
)",  // vbars
    };
    for (int shape = 0; shape < kModuleShapeCount; ++shape) {
        SCOPED_TRACE(MODULE_SHAPES[shape].name);
        EXPECT_EQ(ShapePicture(static_cast<ModuleShape>(shape)), pictures[shape]);
    }
}

// The dot finder at 2 pixels a module, a pixel dark ('#') where its centre lies inside: a round
// ball in a ring whose sides run straight across their middle, so that the rows and columns
// through the ball cross the ring in runs of one module.
TEST(ModuleShapes, TheDotFinderAsAPicture) {
    Drawing drawing;
    drawing.width = drawing.height = 7;
    drawing.layers.resize(1);
    drawing.layers[0].paint.colour = kDefaultDark;
    FINDER_STYLES[static_cast<int>(FinderStyle::kDot)].outline(&drawing.layers[0].path, 0, 0, 7);
    const RgbaImage image = Rasterise(drawing, 2, EdgeRule::kPixelCentre);
    EXPECT_EQ(DarkPixels(image, image.height), R"(
..##########..
.############.
###........###
##..........##
##...####...##
##..######..##
##..######..##
##..######..##
##..######..##
##...####...##
##..........##
###........###
.############.
..##########..
)");
}

TEST(Raster, CoverageIsTheAreaInsideEachPixel) {
    // A rectangle from (0.25, 0.5) to (2.75, 1.5) pixels: the corner pixels are 3/8 covered, the
    // middle ones half.
    Drawing drawing;
    drawing.width = drawing.height = 3;
    drawing.layers.emplace_back();
    drawing.layers[0].paint.colour = kDefaultDark;
    drawing.layers[0].path.Rectangle(0.25, 0.5, 2.5, 1);
    const RgbaImage rectangle = Rasterise(drawing, 1, EdgeRule::kCoverage);
    std::vector<unsigned> alphas;
    for (const Rgba pixel : rectangle.pixels) alphas.push_back(AlphaOf(pixel));
    EXPECT_EQ(alphas, (std::vector<unsigned>{96, 128, 96, 96, 128, 96, 0, 0, 0}));
    // A ring of radii 12 and 7 pixels: its area within the flattening of its curves.
    drawing.width = drawing.height = 32;
    Path hole;
    drawing.layers[0].path = Path();
    drawing.layers[0].path.Circle(16, 16, 12);
    hole.Circle(16.3, 15.6, 7);
    drawing.layers[0].path.AppendReversed(hole);
    double area = 0;
    for (const Rgba pixel : Rasterise(drawing, 1, EdgeRule::kCoverage).pixels) {
        area += AlphaOf(pixel) / 255.0;
    }
    EXPECT_NEAR(area, 3.14159265 * (12 * 12 - 7 * 7), 0.5);
}

// The document of each vector format, drawn by its independent program, shows at every module's
// centre what the PNG shows there, and decodes.
TEST(StyledOutput, DocumentsShowWhatThePngShows) {
    const Symbol s = Make("styled documents", LEVEL_Q, 2);
    RenderOptions options;
    options.scale = 6;
    StyleOptions style;
    style.shape = ModuleShape::kRounded;
    style.finder = FinderStyle::kRounded;
    style.regions[static_cast<int>(Region::kFinderDark)] = 0x802020FF;
    style.regions[static_cast<int>(Region::kDataLight)] = 0xFFFFE0FF;
    style.regions[static_cast<int>(Region::kQuietZone)] = 0xE0F0FFFF;
    for (const ImageFormat format : {ImageFormat::kSvg, ImageFormat::kEps, ImageFormat::kPdf}) {
        SCOPED_TRACE(FormatInfo(format).name);
        const GradientKind kind = format == ImageFormat::kSvg   ? GradientKind::kLinear
                                  : format == ImageFormat::kPdf ? GradientKind::kRadial
                                                                : GradientKind::kNone;
        style.gradient = {kind, 0x000080FF, 0x006000FF, 45};
        int width = 0, pngWidth = 0;
        RgbaPixels drawn, png;
        ASSERT_TRUE(DrawDocument(format, Compose(s, format, options, style), &width, &drawn));
        ASSERT_TRUE(ReadPngPixels(Compose(s, ImageFormat::kPng, options, style), &pngWidth, &png));
        ASSERT_EQ(width, pngWidth);
        for (int y = options.scale / 2; y < width; y += options.scale) {
            for (int x = options.scale / 2; x < width; x += options.scale) {
                const Rgba a = drawn[static_cast<std::size_t>(y) * width + x];
                const Rgba b = png[static_cast<std::size_t>(y) * width + x];
                for (const int shift : {24, 16, 8}) {
                    ASSERT_NEAR(int((a >> shift) & 0xFF), int((b >> shift) & 0xFF), 6)
                        << x << "," << y << std::hex << ": " << a << " for " << b;
                }
            }
        }
        std::string decoded;
        ASSERT_TRUE(DecodeQr(OnWhite(drawn, width, 0), &decoded));
        EXPECT_EQ(decoded, "styled documents");
    }
}

TEST(StyledOutput, PrintedSizesCmykAndTitles) {
    const Symbol s = Make("printed", LEVEL_M, 1);  // 29 modules with the quiet zone
    StyleOptions style;
    style.size = 30;
    style.sizeUnit = LengthUnit::kMillimetre;
    style.cmyk = true;
    style.cmykPercent[3] = 100;
    const std::string eps = Compose(s, ImageFormat::kEps, RenderOptions(), style);
    EXPECT_NE(eps.find("%%BoundingBox: 0 0 86 86\n%%HiResBoundingBox: 0 0 85.0394 85.0394\n"),
              std::string::npos);
    EXPECT_NE(eps.find("\n0 0 0 1 setcmykcolor\n"), std::string::npos);
    style.size = 1;
    style.sizeUnit = LengthUnit::kInch;
    const std::string pdf = Compose(s, ImageFormat::kPdf, RenderOptions(), style);
    EXPECT_NE(pdf.find("/MediaBox [0 0 72 72]"), std::string::npos);
    EXPECT_NE(pdf.find("\n0 0 0 1 k\n"), std::string::npos);

    // 20 mm at 300 dpi is 236 pixels: 8 a module, 232 in all.
    style = StyleOptions();
    style.size = 20;
    style.sizeUnit = LengthUnit::kMillimetre;
    style.shape = ModuleShape::kDot;
    RenderOptions options;
    options.dpi = 300;
    int width = 0;
    RgbaPixels pixels;
    ASSERT_TRUE(ReadPngPixels(Compose(s, ImageFormat::kPng, options, style), &width, &pixels));
    EXPECT_EQ(width, 232);

    style = StyleOptions();
    style.title = "Menu <Caf\xC3\xA9 & \"Bar\">";
    style.description = "Opens the menu";
    style.size = 2.5;
    style.sizeUnit = LengthUnit::kInch;
    const std::string svg = Compose(s, ImageFormat::kSvg, RenderOptions(), style);
    const std::string escaped = "Menu &lt;Caf\xC3\xA9 &amp; &quot;Bar&quot;&gt;";
    EXPECT_NE(
        svg.find("width=\"2.5in\" height=\"2.5in\" viewBox=\"0 0 29 29\" role=\"img\" "
                 "aria-label=\"" +
                 escaped + "\">\n<title>" + escaped + "</title>\n<desc>Opens the menu</desc>\n"),
        std::string::npos);
}

TEST(Logo, KindsProportionsAndTheCap) {
    struct Kind {
        std::string bytes;
        LogoKind kind;
        double aspect;  // width / height
    };
    for (const Kind& k : std::vector<Kind>{
             {"\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x30\0\0\0\x10"s, LogoKind::kPng, 3},
             {"<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 200 100\"/>", LogoKind::kSvg,
              2},
             {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- a -->\n<!DOCTYPE svg>\n<svg width=\"30\" "
              "height='60px'>",
              LogoKind::kSvg, 0.5},
             {"<svg>", LogoKind::kSvg, 1},
             {"<svgx>", LogoKind::kNone, 0},
             {"<html><svg>", LogoKind::kNone, 0},
             {"", LogoKind::kNone, 0},
         }) {
        SCOPED_TRACE(k.bytes);
        StyleOptions style;
        style.logo = reinterpret_cast<const unsigned char*>(k.bytes.data());
        style.logoSize = k.bytes.size();
        LogoImage logo;
        std::string why;
        EXPECT_EQ(LogoKindOf(style.logo, style.logoSize), k.kind);
        EXPECT_EQ(ReadLogo(style, false, &logo, &why), k.kind != LogoKind::kNone);
        if (k.kind != LogoKind::kNone) {
            EXPECT_DOUBLE_EQ(logo.width / logo.height, k.aspect);
        }
    }
    // The largest logo fits and one percent more does not, by the blocks' counts; a symbol that
    // corrects nothing takes none.
    for (const auto& [version, level] : {std::pair{5, LEVEL_H}, {10, LEVEL_L}, {2, LEVEL_M}}) {
        const Symbol s = Make("cap", level, version);
        for (const double aspect : {1.0, 2.5}) {
            const int largest = LargestLogoPercent(*s.map, aspect);
            ASSERT_GT(largest, 0);
            EXPECT_TRUE(LogoFits(*s.map, PlaceLogo(s.map->width, s.map->height, largest, aspect)));
            EXPECT_FALSE(
                LogoFits(*s.map, PlaceLogo(s.map->width, s.map->height, largest + 1, aspect)));
        }
    }
    // Every format shows a PNG logo in the middle, and SVG an SVG logo too.
    const Symbol s = Make("logo in the middle", LEVEL_H, 4);
    const std::string png = DiscLogoPng(40, 40, 0xC02040FF, 0xFFFFFFFF);
    const std::string svg =
        "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 8 8'>"
        "<rect width='8' height='8' fill='#20C040'/></svg>";
    for (const auto& [format, bytes, colour] : {std::tuple{ImageFormat::kPng, &png, 0xC02040FFu},
                                                {ImageFormat::kSvg, &png, 0xC02040FFu},
                                                {ImageFormat::kEps, &png, 0xC02040FFu},
                                                {ImageFormat::kPdf, &png, 0xC02040FFu},
                                                {ImageFormat::kSvg, &svg, 0x20C040FFu}}) {
        SCOPED_TRACE(FormatInfo(format).name);
        StyleOptions style;
        style.logo = reinterpret_cast<const unsigned char*>(bytes->data());
        style.logoSize = bytes->size();
        const std::string out = Compose(s, format, RenderOptions(), style);
        int width = 0;
        RgbaPixels pixels;
        ASSERT_TRUE(format == ImageFormat::kPng ? ReadPngPixels(out, &width, &pixels)
                                                : DrawDocument(format, out, &width, &pixels));
        EXPECT_EQ(pixels[pixels.size() / 2 + width / 2], colour)
            << std::hex << pixels[pixels.size() / 2 + width / 2];
    }
    auto m1 = std::make_unique<SymbolMap>();
    ASSERT_TRUE(MapSymbol(SymbolKind::kMicroQr, 1, -1, m1.get()));
    EXPECT_EQ(LargestLogoPercent(*m1, 1), 0);
    // The cleared cells: under the box and one module around it, whole cells.
    const LogoArea area = PlaceLogo(25, 25, 20, 1);  // a box of 5 modules from 10 to 15
    EXPECT_TRUE(area.cellX0 == 9 && area.cellX1 == 16 && area.cellY0 == 9 && area.cellY1 == 16);
}

}  // namespace
}  // namespace qr::test

#endif

// The vector writers (SVG, EPS, PDF) through the outline walk they share: each document drawn by an
// independent program is exactly the symbol in its colours, in its quiet zone, one module `scale`
// points, and decodes; the colours written in it read back exactly.
#if defined(TESSERA_HAVE_ZXING)

#include "output/vector_shared.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "output/writers.h"
#include "tests/output/drawn_image.h"

namespace qr::test {
namespace {

TEST(VectorShared, FractionsOf255ReadBackRoundedOrTruncated) {
    struct Case {
        unsigned component;
        const char* text;
    };
    for (const Case& c : std::vector<Case>{
             {0, "0"}, {1, "0.004"}, {51, "0.2"}, {128, "0.502"}, {254, "0.997"}, {255, "1"}}) {
        EXPECT_EQ(FractionOf255(c.component), c.text);
    }
    for (unsigned component = 0; component <= 255; ++component) {
        const double drawn = std::stod(FractionOf255(component)) * 255;
        EXPECT_GE(drawn, component - 1e-9) << component;
        EXPECT_LT(drawn, component + 0.5) << component;
    }
}

// The light and the dark colour as `document` states them: SVG fill and fill-opacity attributes in
// order of appearance, EPS "r g b setrgbcolor" and PDF "r g b rg" lines (opaque).
std::vector<Rgba> StatedColours(ImageFormat format, const std::string& document) {
    const std::regex pattern =
        format == ImageFormat::kSvg
            ? std::regex("fill=\"#([0-9a-f]+)\"(?: fill-opacity=\"([0-9.]+)\")?")
            : std::regex("\n([0-9.]+ [0-9.]+ [0-9.]+) (?:setrgbcolor|rg)\n");
    std::vector<Rgba> colours;
    for (std::sregex_iterator it(document.begin(), document.end(), pattern), end; it != end; ++it) {
        const std::smatch& m = *it;
        Rgba colour = 0;
        if (format == ImageFormat::kSvg) {
            std::string hex = m[1].str();
            if (hex.size() == 3) hex = {hex[0], hex[0], hex[1], hex[1], hex[2], hex[2]};
            const double opacity = m[2].matched ? std::stod(m[2].str()) : 1.0;
            colour = static_cast<Rgba>(std::stoul(hex, nullptr, 16)) << 8 |
                     static_cast<Rgba>(opacity * 255 + 0.5);
        } else {
            std::istringstream components(m[1].str());
            for (double c; components >> c;)
                colour = colour << 8 | static_cast<Rgba>(c * 255 + 0.5);
            colour = colour << 8 | 0xFF;
        }
        colours.push_back(colour);
    }
    return colours;
}

TEST(VectorShared, EachDocumentDrawsTheSymbolInItsColoursAndDecodes) {
    struct Case {
        ImageFormat format;
        const char* data;
        int version, scale, margin;
        Rgba dark, light;
        const char* box;  // the page or bounding box, as the document states it
    };
    for (const Case& c : std::vector<Case>{
             {ImageFormat::kSvg, "HELLO WORLD", 0, 2, 4, kDefaultDark, kDefaultLight,
              "width=\"58\" height=\"58\""},
             {ImageFormat::kSvg, "svg in colour", 0, 3, 0, 0x1A2B3CFF, 0xF0E0D0FF,
              "width=\"63\" height=\"63\""},
             {ImageFormat::kSvg, "translucent", 0, 2, 2, 0x1A0033C0, 0xFFEE8840,
              "width=\"50\" height=\"50\""},
             {ImageFormat::kEps, "HELLO WORLD", 0, 1, 4, kDefaultDark, kDefaultLight,
              "%%BoundingBox: 0 0 29 29\n"},
             {ImageFormat::kEps, "eps, version 10", 10, 2, 10, 0x003366FF, 0xFFFFCCFF,
              "%%BoundingBox: 0 0 154 154\n"},
             {ImageFormat::kEps, "no quiet zone", 0, 4, 0, 0x000000FF, 0xFEFEFEFF,
              "%%BoundingBox: 0 0 84 84\n"},
             {ImageFormat::kPdf, "HELLO WORLD", 0, 2, 4, kDefaultDark, kDefaultLight,
              "/MediaBox [0 0 58 58]"},
             {ImageFormat::kPdf, "pdf, version 10", 10, 3, 1, 0x550000FF, 0xCCEEFFFF,
              "/MediaBox [0 0 177 177]"},
         }) {
        SCOPED_TRACE(std::string(FormatInfo(c.format).name) + " " + c.data);
        const auto encoder = EncodeBytes(ToBytes(c.data), LEVEL_M, c.version);
        const RenderOptions options = OptionsOf(c.scale, c.margin, c.dark, c.light);
        std::string document;
        ASSERT_TRUE(WriterFor(c.format)(encoder->symbolSize, encoder->modules, options, &document));
        EXPECT_NE(document.find(c.box), std::string::npos);
        EXPECT_EQ(StatedColours(c.format, document), (std::vector<Rgba>{c.light, c.dark}));

        RgbaImage drawn;
        std::string error;
        ASSERT_TRUE(DrawDocument(c.format, document, &drawn, &error)) << error;
        const RgbaImage expected = ExpectedColours(*encoder, options);
        ASSERT_EQ(drawn.width, expected.width);
        ASSERT_EQ(drawn.height, expected.height);
        // Every pixel; for PDF the middle one of each module, since pdftoppm also covers pixels
        // that an edge only touches.
        const int step = c.format == ImageFormat::kPdf ? c.scale : 1;
        for (int y = step / 2; y < drawn.height; y += step) {
            for (int x = step / 2; x < drawn.width; x += step) {
                ASSERT_TRUE(SameColour(drawn.At(x, y), expected.At(x, y)))
                    << "pixel " << x << "," << y << ": " << std::hex << drawn.At(x, y) << " for "
                    << expected.At(x, y);
            }
        }
        std::string decoded;
        ASSERT_TRUE(DecodeQr(OnWhite(drawn, 4 * c.scale), &decoded));
        EXPECT_EQ(decoded, c.data);
    }
}

}  // namespace
}  // namespace qr::test

#endif

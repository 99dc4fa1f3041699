// The SVG writer: its attributes, and its one path filled by the nonzero rule read back cell by
// cell, for symbols (then decoded by zxing-cpp) and for random matrices full of touching corners.
#if defined(TESSERA_HAVE_ZXING)

#include "output/svg_file.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "tests/cli/qr_reader.h"
#include "tests/output/drawn_image.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

std::string Attribute(const std::string& element, const std::string& name) {
    std::smatch match;
    const std::regex pattern(" " + name + "=\"([^\"]*)\"");
    return std::regex_search(element, match, pattern) ? match[1].str() : "<missing>";
}

struct VerticalEdge {
    int x, y0, y1;  // from (x, y0) to (x, y1)
};

// The vertical edges of the path `d`, which may hold only M and m (two integers), h and v (one
// integer) and z, with every closing line horizontal or vertical. False, with `error`, otherwise.
bool ReadPath(const std::string& d, std::vector<VerticalEdge>* edges, std::string* error) {
    std::size_t at = 0;
    auto number = [&](int* value) {
        const std::size_t begin = at;
        if (at < d.size() && d[at] == '-') ++at;
        const std::size_t digits = at;
        while (at < d.size() && std::isdigit(static_cast<unsigned char>(d[at]))) ++at;
        if (at == digits) return false;
        *value = std::stoi(d.substr(begin, at - begin));
        return true;
    };
    int x = 0, y = 0, startX = 0, startY = 0;
    bool open = false;
    while (at < d.size()) {
        const char command = d[at++];
        int a = 0, b = 0;
        if (command == 'M' || command == 'm') {
            if (open || !number(&a) || at >= d.size() || d[at++] != ' ' || !number(&b)) {
                *error = "bad move before byte " + std::to_string(at);
                return false;
            }
            x = startX = command == 'M' ? a : startX + a;
            y = startY = command == 'M' ? b : startY + b;
            open = true;
        } else if ((command == 'h' || command == 'v') && open && number(&a)) {
            if (command == 'v') edges->push_back({x, y, y + a});
            (command == 'h' ? x : y) += a;
        } else if (command == 'z' && open) {
            if (x != startX && y != startY) {
                *error = "a slanted closing line before byte " + std::to_string(at);
                return false;
            }
            if (y != startY) edges->push_back({x, y, startY});
            x = startX;
            y = startY;
            open = false;
        } else {
            *error = std::string("unexpected '") + command + "' before byte " + std::to_string(at);
            return false;
        }
    }
    if (open) *error = "an outline that is not closed";
    return !open;
}

// The cells of a side x side grid that the nonzero rule fills: a ray to the right of the cell's
// centre sums the directions of the vertical edges that it crosses.
GrayImage FillNonzero(const std::vector<VerticalEdge>& edges, int side) {
    GrayImage image;
    image.width = image.height = side;
    for (int cy = 0; cy < side; ++cy) {
        for (int cx = 0; cx < side; ++cx) {
            int winding = 0;
            for (const VerticalEdge& e : edges) {
                const int top = std::min(e.y0, e.y1);
                const int bottom = std::max(e.y0, e.y1);
                if (e.x > cx && top <= cy && cy < bottom) winding += e.y1 > e.y0 ? 1 : -1;
            }
            image.pixels.push_back(winding != 0 ? kBlack : kWhite);
        }
    }
    return image;
}

// The path's d attribute, checking the document around it.
std::string PathOf(const std::string& svg, int side, int scale) {
    std::smatch root;
    EXPECT_TRUE(std::regex_search(svg, root, std::regex("<svg [^>]*>")));
    const std::string element = root.str();
    EXPECT_EQ(Attribute(element, "width"), std::to_string(side * scale));
    EXPECT_EQ(Attribute(element, "height"), std::to_string(side * scale));
    const std::string sideText = std::to_string(side);
    EXPECT_EQ(Attribute(element, "viewBox"), "0 0 " + sideText + " " + sideText);
    EXPECT_EQ(Attribute(element, "shape-rendering"), "crispEdges");
    EXPECT_NE(
        svg.find("<rect width=\"" + sideText + "\" height=\"" + sideText + "\" fill=\"#fff\"/>"),
        std::string::npos);
    EXPECT_EQ(svg.find("<path"), svg.rfind("<path"));  // exactly one path
    std::smatch path;
    if (!std::regex_search(svg, path, std::regex("<path fill=\"#000\" d=\"([^\"]*)\"/>"))) {
        ADD_FAILURE() << "no path";
        return "";
    }
    return path[1].str();
}

TEST(SvgFile, OnePathOfTheSymbolThatDecodes) {
    struct Case {
        const char* data;
        int level;
        int version;
        int scale;
    };
    for (const Case& c : std::vector<Case>{
             {"HELLO WORLD", LEVEL_Q, 0, 1},
             {"https://example.org/tessera", LEVEL_M, 0, 4},
             {"tessera writes SVG", LEVEL_H, 10, 7},
         }) {
        SCOPED_TRACE(c.data);
        const auto encoder = EncodeBytes(ToBytes(c.data), c.level, c.version);
        const int side = encoder->symbolSize + 8;
        const std::string d = PathOf(Rendered(*encoder, ImageFormat::kSvg, c.scale), side, c.scale);
        std::vector<VerticalEdge> edges;
        std::string error;
        ASSERT_TRUE(ReadPath(d, &edges, &error)) << error;
        const GrayImage drawn = FillNonzero(edges, side);
        EXPECT_TRUE(drawn == ExpectedImage(*encoder, 1));
        std::string decoded;
        ASSERT_TRUE(DecodeQr(Enlarge(drawn, 3), &decoded));
        EXPECT_EQ(decoded, c.data);
    }
}

// Small pictures (rows of '#' dark, '.' light) and the path written for them, quiet zone 4: an
// outline begins across and a hole down, and lines alternate between across and down.
TEST(SvgFile, PathsOfPictures) {
    struct Case {
        std::vector<const char*> rows;
        const char* path;
    };
    for (const Case& c : std::vector<Case>{
             {{"#"}, "M4 4h1v1h-1z"},
             {{"###", "#.#", "###"}, "M4 4h3v3h-3zm1 1v1h1v-1z"},
             {{"#.", ".#"}, "M4 4h1v1h-1zm1 1h1v1h-1z"},
             {{".#", "#."}, "M5 4h1v1h-1zm-1 1h1v1h-1z"},
             // Two top-left corners on one outline, and on one hole: each is walked once.
             {{"#.#", "###", "..."}, "M4 4h1v1h1v-1h1v2h-3z"},
             {{"#####", "#.#.#", "#...#", "#####", "....."}, "M4 4h5v4h-5zm1 1v2h3v-2h-1v1h-1v-1z"},
             {{".#", "##"}, "M5 4h1v2h-2v-1h1z"},
             {{"##.", "#.#", ".##"}, "M4 4h2v1h-1v1h-1zm2 1h1v2h-2v-1h1z"},
         }) {
        SCOPED_TRACE(c.path);
        const int size = static_cast<int>(c.rows.size());
        const auto cells = PictureCells(c.rows);
        std::string svg;
        ASSERT_TRUE(ComposeSvg(size, size, cells->modules, RenderOptions(), &svg));
        EXPECT_EQ(PathOf(svg, size + 8, 4), c.path);
    }
}

TEST(SvgFile, DefaultOptionsKeepTheEarlierBytes) {
    // Made before colours and margins could be chosen.
    const auto encoder = EncodeBytes(ToBytes("tessera: a version 10 sample"), LEVEL_M, 10);
    EXPECT_EQ(Sha256Hex(Rendered(*encoder, ImageFormat::kSvg, 3)),
              "07e7a63b4a481a8ad37766fb3c45f95876e85f3c4bd5c0828da0ae8db5df6e7e");
}

TEST(SvgFile, OutlinesOfRandomMatricesFillExactlyTheDarkCells) {
    const unsigned seed = 0x5EED;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int size = 1 + round % 25;
        const int percent = 10 + round % 9 * 10;  // 10% to 90% dark
        const auto cells = RandomCells(random, size, percent, round == 1);
        ModuleMatrix* matrix = &cells->modules;
        if (round == 0) (*matrix)[0][0] = 1;
        const int side = size + 8;
        RenderOptions options;
        options.scale = 2;
        std::string svg;
        ASSERT_TRUE(ComposeSvg(size, size, *matrix, options, &svg));
        const std::string d = PathOf(svg, side, 2);
        std::vector<VerticalEdge> edges;
        std::string error;
        ASSERT_TRUE(ReadPath(d, &edges, &error)) << error;
        const GrayImage drawn = FillNonzero(edges, side);
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const bool inside = x >= 4 && y >= 4 && x < size + 4 && y < size + 4;
                const bool dark = inside && (*matrix)[x - 4][y - 4] != 0;
                ASSERT_EQ(drawn.At(x, y), dark ? kBlack : kWhite) << "cell " << x << "," << y;
            }
        }
    }
}

}  // namespace
}  // namespace qr::test

#endif

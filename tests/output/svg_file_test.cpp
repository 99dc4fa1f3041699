// The SVG writer: its attributes, its one path read back as rectangles, decoded by zxing-cpp.
#if defined(TESSERA_HAVE_ZXING)

#include "output/svg_file.h"

#include <gtest/gtest.h>

#include <cctype>
#include <regex>
#include <string>
#include <vector>

#include "tests/cli/qr_reader.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

std::string Attribute(const std::string& element, const std::string& name) {
    std::smatch match;
    const std::regex pattern(" " + name + "=\"([^\"]*)\"");
    return std::regex_search(element, match, pattern) ? match[1].str() : "<missing>";
}

// Fills the cells of a `side` x `side` grid covered by the path `d`, which may hold only
// M, m, h, v (integer arguments) and z, each closed subpath an axis-aligned rectangle. Returns
// false, with `error` set, for anything else.
bool FillPath(const std::string& d, int side, std::vector<bool>* cells, std::string* error) {
    cells->assign(static_cast<std::size_t>(side) * side, false);
    std::size_t at = 0;
    auto number = [&](int* value) {
        const std::size_t begin = at;
        if (at < d.size() && d[at] == '-') ++at;
        while (at < d.size() && std::isdigit(static_cast<unsigned char>(d[at]))) ++at;
        if (at == begin || (at == begin + 1 && d[begin] == '-')) return false;
        *value = std::stoi(d.substr(begin, at - begin));
        return true;
    };
    int x = 0, y = 0, startX = 0, startY = 0;
    std::vector<std::pair<int, int>> corners;
    std::string shape;  // the line commands of the current subpath
    while (at < d.size()) {
        const char command = d[at++];
        int a = 0, b = 0;
        switch (command) {
            case 'M':
            case 'm':
                if (!number(&a) || at >= d.size() || d[at++] != ' ' || !number(&b)) {
                    *error = "bad move at " + std::to_string(at);
                    return false;
                }
                x = command == 'M' ? a : x + a;
                y = command == 'M' ? b : y + b;
                startX = x;
                startY = y;
                corners = {{x, y}};
                shape.clear();
                break;
            case 'h':
            case 'v':
                if (!number(&a)) {
                    *error = "bad line at " + std::to_string(at);
                    return false;
                }
                (command == 'h' ? x : y) += a;
                corners.push_back({x, y});
                shape += command;
                break;
            case 'z': {
                // h, v, h and the closing line back to the start, which must be vertical.
                if (shape != "hvh" || corners[3].first != startX) {
                    *error = "a subpath that is not a rectangle at " + std::to_string(at);
                    return false;
                }
                const int x0 = std::min(corners[0].first, corners[2].first);
                const int x1 = std::max(corners[0].first, corners[2].first);
                const int y0 = std::min(corners[0].second, corners[2].second);
                const int y1 = std::max(corners[0].second, corners[2].second);
                if (x0 < 0 || y0 < 0 || x1 > side || y1 > side) {
                    *error = "a rectangle outside the view box";
                    return false;
                }
                for (int cy = y0; cy < y1; ++cy) {
                    for (int cx = x0; cx < x1; ++cx) (*cells)[cy * side + cx] = true;
                }
                x = startX;
                y = startY;
                break;
            }
            default:
                *error = std::string("unexpected '") + command + "'";
                return false;
        }
    }
    return true;
}

TEST(SvgFile, OnePathOfTheDarkModulesWithSizeAndViewBox) {
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
        const std::string svg = ComposeSvg(encoder->symbolSize, encoder->modules, c.scale);
        const int side = encoder->symbolSize + 8;

        std::smatch root;
        ASSERT_TRUE(std::regex_search(svg, root, std::regex("<svg [^>]*>")));
        const std::string element = root.str();
        EXPECT_EQ(Attribute(element, "width"), std::to_string(side * c.scale));
        EXPECT_EQ(Attribute(element, "height"), std::to_string(side * c.scale));
        EXPECT_EQ(Attribute(element, "viewBox"),
                  "0 0 " + std::to_string(side) + " " + std::to_string(side));
        EXPECT_EQ(Attribute(element, "shape-rendering"), "crispEdges");
        EXPECT_EQ(svg.find("<path"), svg.rfind("<path"));  // exactly one path
        EXPECT_NE(svg.find("<rect width=\"" + std::to_string(side) + "\" height=\"" +
                           std::to_string(side) + "\" fill=\"#fff\"/>"),
                  std::string::npos);

        std::smatch path;
        ASSERT_TRUE(
            std::regex_search(svg, path, std::regex("<path fill=\"#000\" d=\"([^\"]*)\"/>")));
        std::vector<bool> cells;
        std::string error;
        ASSERT_TRUE(FillPath(path[1].str(), side, &cells, &error)) << error;

        // The cells drawn, at one pixel per module, are the symbol with its quiet zone.
        GrayImage drawn;
        drawn.width = drawn.height = side;
        for (bool dark : cells) drawn.pixels.push_back(dark ? kBlack : kWhite);
        EXPECT_TRUE(drawn == ExpectedImage(*encoder, 1));

        std::string decoded;
        ASSERT_TRUE(DecodeQr(Enlarge(drawn, 3), &decoded));
        EXPECT_EQ(decoded, c.data);
    }
}

}  // namespace
}  // namespace qr::test

#endif

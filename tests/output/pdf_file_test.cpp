// The PDF writer's content read back: the rectangles of its one path cover exactly the dark cells,
// each once, whatever the cells, the symbol's shape and the quiet zone. Built where the suites
// that read images back are (drawn_image.h reads PNG through libpng): not in the Windows build.
#if defined(TESSERA_HAVE_ZXING)

#include "output/pdf_file.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "output/inflate.h"
#include "tests/output/drawn_image.h"

namespace qr::test {
namespace {

// The content stream of `pdf`, inflated; "" when there is none.
std::string ContentOf(const std::string& pdf) {
    const std::size_t begin = pdf.find("stream\n");
    const std::size_t end = pdf.find("\nendstream");
    if (begin == std::string::npos || end == std::string::npos) return "";
    std::vector<unsigned char> content;
    const auto* data = reinterpret_cast<const unsigned char*>(pdf.data()) + begin + 7;
    if (!InflateZlib(data, end - begin - 7, 1 << 20, &content)) return "";
    return std::string(content.begin(), content.end());
}

TEST(PdfFile, RectanglesCoverEachDarkCellOnce) {
    const unsigned seed = 0x9DF;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int width = 1 + round % 23;
        const int height = 1 + round * 7 % 17;
        const auto cells = RandomCells(random, 23, 10 + round % 9 * 10, round == 3);
        cells->modules[width - 1][0] = 0x80;  // dark too
        RenderOptions options;
        options.margin = round % 3;
        std::string pdf;
        ASSERT_TRUE(ComposePdf(width, height, cells->modules, options, &pdf));
        const std::string content = ContentOf(pdf);
        const std::string origin = "1 0 0 1 " + std::to_string(options.margin) + " " +
                                   std::to_string(options.margin) + " cm\n";
        const std::size_t path = content.find(origin);
        ASSERT_NE(path, std::string::npos) << content;
        std::istringstream words(content.substr(path + origin.size()));
        std::vector<int> covered(static_cast<std::size_t>(width) * height, 0);
        std::string word, last;
        std::vector<int> numbers;
        while (words >> word) {
            last = word;
            if (word != "re") {
                if (word != "f") numbers.push_back(std::stoi(word));
                continue;
            }
            ASSERT_EQ(numbers.size(), 4u);
            const int x = numbers[0], y = numbers[1], w = numbers[2];
            ASSERT_TRUE(x >= 0 && y >= 0 && w > 0 && x + w <= width && y < height &&
                        numbers[3] == 1)
                << x << " " << y << " " << w << " " << numbers[3];
            for (int u = x; u < x + w; ++u) ++covered[static_cast<std::size_t>(y) * width + u];
            numbers.clear();
        }
        EXPECT_EQ(last, "f");
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                EXPECT_EQ(covered[static_cast<std::size_t>(y) * width + x],
                          cells->modules[x][y] != 0 ? 1 : 0)
                    << "cell " << x << "," << y;
            }
        }
    }
}

// Runs that end on and cross the 64-cell words of a row, in symbols narrower and wider than a word;
// cells outside the symbol dark, dark cells of any non-zero value.
TEST(PdfFile, ContentInflatesToThePlainRuleAtEverySize) {
    const unsigned seed = 0xC0DE;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    struct Case {
        int width;
        int height;
        int percent;  // chance of a dark cell
    };
    for (const Case& c : std::vector<Case>{{1, 1, 100},
                                           {177, 177, 50},
                                           {177, 177, 100},
                                           {176, 175, 97},
                                           {64, 9, 90},
                                           {65, 63, 99},
                                           {63, 64, 80},
                                           {127, 8, 99},
                                           {128, 129, 99},
                                           {129, 17, 60},
                                           {43, 7, 50},
                                           {139, 17, 30},
                                           {2, 177, 70},
                                           {5, 3, 0}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + ", " +
                     std::to_string(c.percent) + "% dark");
        auto cells = std::make_unique<Cells>();
        for (auto& column : cells->modules) {
            for (unsigned char& cell : column) {
                const bool dark = static_cast<int>(random() % 100) < c.percent;
                cell = dark ? static_cast<unsigned char>(1 + random() % 255) : 0;
            }
        }
        RenderOptions options;
        options.margin = c.width % 5;
        options.dark = static_cast<Rgba>(random()) | 0xFF;  // opaque
        std::string pdf;
        ASSERT_TRUE(ComposePdf(c.width, c.height, cells->modules, options, &pdf));
        EXPECT_EQ(ContentOf(pdf), PlainPdfContent(c.width, c.height, cells->modules, options));
    }
}

}  // namespace
}  // namespace qr::test

#endif

// The text writers: each style read back into pixels, compared with the symbol, and decoded by
// zxing-cpp.
#if defined(TESSERA_HAVE_ZXING)

#include "output/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/qr_reader.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

const std::string kFull = "\xe2\x96\x88";
const std::string kUpper = "\xe2\x96\x80";
const std::string kLower = "\xe2\x96\x84";

std::vector<std::string> Lines(const std::string& text, std::string* error) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start != text.size()) *error = "the last line has no line feed";
    return lines;
}

bool StartsWith(const std::string& s, std::size_t at, const std::string& prefix) {
    return s.compare(at, prefix.size(), prefix) == 0;
}

// Reads text of `style` back into pixels; false, with `error`, when it is not of that form.
bool ReadText(const std::string& text, TextStyle style, GrayImage* image, std::string* error) {
    const std::vector<std::string> lines = Lines(text, error);
    if (!error->empty()) return false;
    image->pixels.clear();
    image->height = 0;
    image->width = -1;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        std::vector<unsigned char> upper, lower;
        std::size_t at = 0;
        std::size_t end = line.size();
        if (style != TextStyle::kAscii) {
            if (line.size() < std::string(ANSI_RESET).size() ||
                line.compare(line.size() - 4, 4, ANSI_RESET) != 0) {
                *error = "line " + std::to_string(n) + " does not end with the reset";
                return false;
            }
            end -= std::string(ANSI_RESET).size();
        }
        if (style == TextStyle::kHalfBlocks) {
            if (!StartsWith(line, 0, ANSI_DARK_ON_LIGHT)) {
                *error = "line " + std::to_string(n) + " does not set black on white";
                return false;
            }
            at = std::string(ANSI_DARK_ON_LIGHT).size();
        }
        int background = -1;  // ANSI: unknown at the start of a line
        while (at < end) {
            if (style == TextStyle::kAscii) {
                if (!StartsWith(line, at, "##") && !StartsWith(line, at, "  ")) break;
                upper.push_back(line[at] == '#' ? kBlack : kWhite);
                at += 2;
            } else if (style == TextStyle::kHalfBlocks) {
                if (line[at] == ' ') {
                    upper.push_back(kWhite), lower.push_back(kWhite), at += 1;
                } else if (StartsWith(line, at, kFull)) {
                    upper.push_back(kBlack), lower.push_back(kBlack), at += 3;
                } else if (StartsWith(line, at, kUpper)) {
                    upper.push_back(kBlack), lower.push_back(kWhite), at += 3;
                } else if (StartsWith(line, at, kLower)) {
                    upper.push_back(kWhite), lower.push_back(kBlack), at += 3;
                } else {
                    break;
                }
            } else {
                const int colour = StartsWith(line, at, ANSI_DARK_BACKGROUND)    ? kBlack
                                   : StartsWith(line, at, ANSI_LIGHT_BACKGROUND) ? kWhite
                                                                                 : -1;
                if (colour != -1) {
                    if (colour == background) break;  // a colour sent where none changes
                    background = colour;
                    at += std::string(ANSI_DARK_BACKGROUND).size();
                } else if (background != -1 && StartsWith(line, at, "  ")) {
                    upper.push_back(static_cast<unsigned char>(background));
                    at += 2;
                } else {
                    break;
                }
            }
        }
        if (at != end) {
            *error =
                "line " + std::to_string(n) + ": unexpected text at byte " + std::to_string(at);
            return false;
        }
        if (image->width == -1) image->width = static_cast<int>(upper.size());
        if (image->width != static_cast<int>(upper.size())) {
            *error = "line " + std::to_string(n) + " has another width";
            return false;
        }
        image->pixels.insert(image->pixels.end(), upper.begin(), upper.end());
        image->pixels.insert(image->pixels.end(), lower.begin(), lower.end());
        image->height += style == TextStyle::kHalfBlocks ? 2 : 1;
    }
    return true;
}

TEST(TextFile, EachStyleReadsBackAsTheSymbolAndDecodes) {
    struct Case {
        TextStyle style;
        const char* data;
        int level;
        int scale;
        int lines;  // expected line count
    };
    for (const Case& c : std::vector<Case>{
             {TextStyle::kAscii, "HELLO WORLD", LEVEL_Q, 1, 29},
             {TextStyle::kAscii, "ascii at scale 2", LEVEL_M, 2, 2 * 33},
             {TextStyle::kHalfBlocks, "odd: 29 rows", LEVEL_L, 1, 15},
             {TextStyle::kHalfBlocks, "even: 2 x 29 rows", LEVEL_L, 2, 29},
             {TextStyle::kHalfBlocks, "https://example.org/tessera", LEVEL_H, 1, 21},
             {TextStyle::kAnsi, "HELLO WORLD", LEVEL_Q, 1, 29},
             {TextStyle::kAnsi, "ansi at scale 3", LEVEL_H, 3, 3 * 37},
         }) {
        SCOPED_TRACE(std::string(c.data) + " style " + std::to_string(static_cast<int>(c.style)));
        const auto encoder = EncodeBytes(ToBytes(c.data), c.level);
        RenderOptions options;
        options.scale = c.scale;
        std::string text;
        ASSERT_TRUE(ComposeText(encoder->symbolSize, encoder->symbolSize, encoder->modules, options,
                                c.style, &text));
        GrayImage image;
        std::string error;
        ASSERT_TRUE(ReadText(text, c.style, &image, &error)) << error;

        GrayImage expected = ExpectedImage(*encoder, c.scale);
        EXPECT_EQ(image.height / (c.style == TextStyle::kHalfBlocks ? 2 : 1), c.lines);
        if (image.height == expected.height + 1) {
            // Half blocks of an odd row count: the row below the image is light.
            expected.pixels.insert(expected.pixels.end(), expected.width, kWhite);
            ++expected.height;
        }
        EXPECT_TRUE(image == expected);

        std::string decoded;
        ASSERT_TRUE(DecodeQr(Enlarge(image, 4 / c.scale + 1), &decoded));
        EXPECT_EQ(decoded, c.data);
    }
}

}  // namespace
}  // namespace qr::test

#endif

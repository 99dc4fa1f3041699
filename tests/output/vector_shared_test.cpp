// The vector writers (SVG, EPS, PDF) through the outline walk they share: each document drawn by an
// independent program is the symbol in its colours and quiet zone, one module `scale` points, and
// decodes; the one-pass walk gives the outlines of the plain trace.
#if defined(TESSERA_HAVE_ZXING)

#include "output/vector_shared.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "output/writers.h"
#include "tests/output/drawn_image.h"

namespace qr::test {
namespace {

TEST(VectorShared, FractionsOf255ReadBackRoundedOrTruncated) {
    for (unsigned component = 0; component <= 255; ++component) {
        const double drawn = std::stod(FractionOf255(component)) * 255;
        EXPECT_TRUE(drawn >= component - 1e-9 && drawn < component + 0.5) << component;
    }
}

// Whether `drawn` shows `wanted`: exactly, or for a translucent colour, which rsvg-convert keeps
// premultiplied in 8 bits, with the same alpha and each component within 255 / alpha.
bool SameColour(Rgba drawn, Rgba wanted) {
    if (drawn == wanted) return true;
    if (Opaque(wanted) || AlphaOf(drawn) != AlphaOf(wanted)) return false;
    for (const int shift : {24, 16, 8}) {
        const int error = static_cast<int>((drawn >> shift) & 0xFF) - ((wanted >> shift) & 0xFF);
        if (std::abs(error) > static_cast<int>(255 / AlphaOf(wanted))) return false;
    }
    return true;
}

TEST(VectorShared, EachDocumentDrawsTheSymbolInItsColoursAndDecodes) {
    struct Case {
        ImageFormat format;
        const char* data;
        int version;
        RenderOptions options;  // scale, margin, dark, light
        const char* box;        // the page or bounding box, as the document states it
    };
    for (const Case& c : std::vector<Case>{
             {ImageFormat::kSvg,
              "svg in colour",
              0,
              {3, 0, 0x1A2B3CFF, 0xF0E0D0FF},
              "width=\"63\" height=\"63\""},
             {ImageFormat::kSvg,
              "translucent",
              0,
              {2, 2, 0x1A0033C0, 0xFFEE8840},
              "width=\"50\" height=\"50\""},
             {ImageFormat::kEps, "HELLO WORLD", 0, {1, 4}, "%%BoundingBox: 0 0 29 29\n"},
             {ImageFormat::kEps,
              "eps, version 10",
              10,
              {2, 10, 0x003366FF, 0xFFFFCCFF},
              "%%BoundingBox: 0 0 154 154\n"},
             {ImageFormat::kEps,
              "no quiet zone",
              0,
              {4, 0, 0x000000FF, 0xFEFEFEFF},
              "%%BoundingBox: 0 0 84 84\n"},
             {ImageFormat::kPdf, "HELLO WORLD", 0, {2, 4}, "/MediaBox [0 0 58 58]"},
             {ImageFormat::kPdf,
              "pdf, version 10",
              10,
              {3, 1, 0x550000FF, 0xCCEEFFFF},
              "/MediaBox [0 0 177 177]"},
         }) {
        SCOPED_TRACE(std::string(FormatInfo(c.format).name) + " " + c.data);
        const auto encoder = EncodeBytes(ToBytes(c.data), LEVEL_M, c.version);
        std::string document;
        ASSERT_TRUE(WriterFor(c.format)(encoder->symbolSize, encoder->symbolSize, encoder->modules,
                                        c.options, &document));
        EXPECT_NE(document.find(c.box), std::string::npos);

        int width = 0;
        RgbaPixels drawn;
        ASSERT_TRUE(DrawDocument(c.format, document, &width, &drawn));
        const RgbaPixels expected = ExpectedColours(*encoder, c.options);
        ASSERT_EQ(drawn.size(), expected.size());
        // Every pixel; for PDF the middle one of each module, since pdftoppm also covers pixels
        // that an edge only touches.
        const int step = c.format == ImageFormat::kPdf ? c.options.scale : 1;
        for (int y = step / 2; y < width; y += step) {
            for (int x = step / 2; x < width; x += step) {
                const std::size_t i = static_cast<std::size_t>(y) * width + x;
                ASSERT_TRUE(SameColour(drawn[i], expected[i]))
                    << x << "," << y << ": " << std::hex << drawn[i] << " for " << expected[i];
            }
        }
        std::string decoded;
        ASSERT_TRUE(DecodeQr(OnWhite(drawn, width, 4 * c.options.scale), &decoded));
        EXPECT_EQ(decoded, c.data);
    }
}

// The EPS path of small pictures, between "newpath" and "fill": a move to the first outline,
// moves between outlines, lines from the coordinate that changes and closes.
TEST(VectorShared, EpsPathsOfPictures) {
    struct Case {
        std::vector<const char*> rows;
        const char* path;
    };
    for (const Case& c : std::vector<Case>{
             {{"#"}, "4 4 moveto 1 h 1 v -1 h z"},
             {{".#", "#."}, "5 4 moveto 1 h 1 v -1 h z -1 1 m 1 h 1 v -1 h z"},
             {{"#####", "#.#.#", "#...#", "#####", "....."},
              "4 4 moveto 5 h 4 v -5 h z 1 1 m 2 v 3 h -2 v -1 h 1 v -1 h -1 v z"},
         }) {
        SCOPED_TRACE(c.path);
        const int size = static_cast<int>(c.rows.size());
        const auto cells = PictureCells(c.rows);
        std::string eps;
        ASSERT_TRUE(
            WriterFor(ImageFormat::kEps)(size, size, cells->modules, RenderOptions(), &eps));
        const std::size_t begin = eps.find("newpath\n") + 8;
        EXPECT_EQ(eps.substr(begin, eps.find("\nfill\n") - begin), c.path);
    }
}

// Every fourth round's dark cells are bytes other than 1 (0x80 and up among them), which are dark
// all the same.
TEST(VectorShared, WalkedOutlinesAreTheTracedOnes) {
    const unsigned seed = 0x0071E;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    // Then sizes whose rows of cells or of corners end at a 64-bit word or just past one.
    constexpr int kWordEdges[] = {62, 63, 64, 65, 126, 127, 128, 129};
    for (int round = 0; round < 96; ++round) {
        const int size = round < 40   ? 1 + round
                         : round < 80 ? kMaxSymbolSize - round % 7
                                      : kWordEdges[round % 8];
        const int percent = round % 11 * 10;  // 0% to 100% dark
        const auto cells = RandomCells(random, size, percent, round % 13 == 5);
        SCOPED_TRACE("round " + std::to_string(round));
        if (round % 4 == 1) {
            for (auto& column : cells->modules) {
                for (unsigned char& cell : column)
                    cell = static_cast<unsigned char>(cell * (round + 0x80));
            }
        }
        // Every third symbol square, the others as wide as the square and fewer rows high.
        const int height = round % 3 == 0 ? size : 1 + round * 5 % size;
        const Outlines walked = WalkOutlines(size, height, cells->modules);
        const Outlines traced = TraceOutlines(size, height, cells->modules);
        EXPECT_TRUE(walked.corners == traced.corners);
        EXPECT_EQ(walked.ends, traced.ends);
    }
}

// Enough words to fill WordLines' buffer several times, and one longer than it, continuing a text
// whose last line is "xy": each line as long as it may be, none longer unless one word is.
TEST(VectorShared, WordLinesFillEachLineAcrossTheBuffer) {
    std::vector<std::string> words;
    for (int i = 0; i < 900; ++i) words.emplace_back(1 + i % 9, static_cast<char>('a' + i % 26));
    words.insert(words.begin() + 450, std::string(3000, 'L'));
    std::string text = "head\nxy";
    WordLines lines(&text, 10);
    for (const std::string& word : words) lines.Append(word.data(), word.size());
    lines.Finish();
    std::size_t start = text.find('\n') + 1;
    std::size_t next = 0;  // the word that the line at `start` begins with
    for (std::size_t end = text.find('\n', start);; end = text.find('\n', start)) {
        const std::string line = text.substr(start, end == std::string::npos ? end : end - start);
        SCOPED_TRACE(line.substr(0, 20));
        std::string joined = next == 0 ? "xy" : words[next++];
        while (next < words.size() && joined.size() + 1 + words[next].size() <= kMaxLineLength)
            joined += " " + words[next++];
        EXPECT_EQ(line, joined);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    EXPECT_EQ(next, words.size());
    // The short words (all but the long one) appended whole give the same text.
    std::string shortText = "head\nxy";
    WordLines shortLines(&shortText, 10);
    for (const std::string& word : words) {
        char room[WordLines::kShortWord] = {};
        if (word.size() > sizeof room) {
            shortLines.Append(word.data(), word.size());
            continue;
        }
        word.copy(room, word.size());
        shortLines.AppendShort(room, word.size());
    }
    shortLines.Finish();
    EXPECT_EQ(shortText, text);
    // And packed, those of up to seven characters.
    std::string packedText = "head\nxy";
    WordLines packedLines(&packedText, 10);
    for (const std::string& word : words) {
        if (word.size() > 7) {
            packedLines.Append(word.data(), word.size());
            continue;
        }
        std::uint64_t packed = std::uint64_t{word.size()} << 56;
        for (std::size_t k = 0; k < word.size(); ++k)
            packed |= std::uint64_t{static_cast<unsigned char>(word[k])} << (8 * k);
        packedLines.AppendPacked(packed);
    }
    packedLines.Finish();
    EXPECT_EQ(packedText, text);
}

// Also as words of a step with letters before or after the number.
TEST(VectorShared, ShortNumbersAreWrittenAsPutNumberWritesThem) {
    static constexpr StepWords kSvgDown = MakeStepWords("v", "");
    static constexpr StepWords kEpsAcross = MakeStepWords("", " h");
    for (int value = -kMaxSymbolSize; value <= kMaxSymbolSize; ++value) {
        char plain[12] = {};
        char tabled[12] = {};
        const std::string expected(plain, PutNumber(plain, value));
        EXPECT_EQ(std::string(tabled, PutShortNumber(tabled, value)), expected) << value;
        EXPECT_EQ(std::string(tabled, PutStepWord(tabled, kSvgDown, value)), "v" + expected);
        EXPECT_EQ(std::string(tabled, PutStepWord(tabled, kEpsAcross, value)), expected + " h");
    }
}

TEST(VectorShared, SampleDocumentsArePinned) {
    const auto encoder = EncodeBytes(ToBytes("tessera: a version 10 sample"), LEVEL_M, 10);
    // EPS as it was before its outlines were walked in one pass; PDF since its dark modules are
    // a rectangle for each run in a row, compressed in the fixed codes.
    EXPECT_EQ(Sha256Hex(Rendered(*encoder, ImageFormat::kEps, 3)),
              "ef47150dbe09a95e3244d1d09aee374860755577ca8410ba18b2cd88239b1aa6");
    EXPECT_EQ(Sha256Hex(Rendered(*encoder, ImageFormat::kPdf, 3)),
              "832945e07c96c3f077a7fe7e03b5a38a321d6367d922e8474e64a459e22ed246");
}

}  // namespace
}  // namespace qr::test

#endif

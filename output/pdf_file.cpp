// PDF: four objects (catalogue, page tree, page, content stream compressed by DeflateFast),
// assembled with their header, cross-reference table and trailer by AssemblePdf. The dark modules
// are one path of a rectangle for each run of them in a row: half the characters of their
// outlines, and regular enough to compress to less than half as many bytes.
#include "output/pdf_file.h"

#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "output/deflate_fast.h"
#include "output/vector_shared.h"

namespace qr {

namespace {

// The page's content into `content`, replacing what it held.
void Content(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
             std::string& content) {
    const int across = width + 2 * options.margin;
    const int down = height + 2 * options.margin;
    const std::string scale = std::to_string(options.scale);
    const std::string margin = std::to_string(options.margin);
    content.clear();
    content += scale + " 0 0 -" + scale + " 0 " + std::to_string(down * options.scale) + " cm\n";
    content += RgbFractions(options.light) + " rg\n";
    content += "0 0 " + std::to_string(across) + " " + std::to_string(down) + " re f\n";
    content += RgbFractions(options.dark) + " rg\n";
    content += "1 0 0 1 " + margin + " " + margin + " cm\n";
    // A row has at most (width + 1) / 2 runs; a word takes at most 3 * 4 + 5 characters and its
    // separator ("176 176 176 1 re").
    WordLines lines(&content, 18 * static_cast<std::size_t>(height) * (width + 1) / 2 + 2);
    char word[WordLines::kShortWord];
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width;) {
            if (modules[x][y] == 0) {
                ++x;
                continue;
            }
            const int first = x;
            while (x < width && modules[x][y] != 0) ++x;
            char* at = PutShortNumber(word, first);
            *at++ = ' ';
            at = PutShortNumber(at, y);
            *at++ = ' ';
            at = PutShortNumber(at, x - first);
            std::memcpy(at, " 1 re", 5);
            lines.AppendShort(word, static_cast<std::size_t>(at + 5 - word));
        }
    }
    lines.Append("f", 1);
    lines.Finish();
}

}  // namespace

bool ComposePdf(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* out) try {
    const std::string points = std::to_string((width + 2 * options.margin) * options.scale) + " " +
                               std::to_string((height + 2 * options.margin) * options.scale);
    static thread_local std::string plain;  // room kept for the next page
    Content(width, height, modules, options, plain);
    std::string compressed;
    DeflateFast(reinterpret_cast<const unsigned char*>(plain.data()), plain.size(), &compressed);
    // Each piece appended in turn, so that the long stream is copied once here.
    std::string stream =
        "<< /Length " + std::to_string(compressed.size()) + " /Filter /FlateDecode >>\nstream\n";
    stream.reserve(stream.size() + compressed.size() + 16);
    stream += compressed;
    stream += "\nendstream";
    std::vector<std::string> objects;
    objects.reserve(4);
    objects.emplace_back("<< /Type /Catalog /Pages 2 0 R >>");
    objects.emplace_back("<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    objects.emplace_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + points +
                         "] /Resources << >> /Contents 4 0 R >>");
    objects.push_back(std::move(stream));
    std::string pdf = AssemblePdf(objects);
    out->swap(pdf);
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace qr

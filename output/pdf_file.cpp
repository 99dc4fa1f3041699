// PDF: four objects (catalogue, page tree, page, content stream compressed by DeflateData),
// assembled with their header, cross-reference table and trailer by AssemblePdf.
#include "output/pdf_file.h"

#include <new>
#include <string>
#include <vector>

#include "output/deflate_data.h"
#include "output/vector_shared.h"

namespace qr {

namespace {

// The page's content into `content`, replacing what it held.
void Content(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
             std::string& content) {
    const int across = width + 2 * options.margin;
    const int down = height + 2 * options.margin;
    const std::string scale = std::to_string(options.scale);
    content.clear();
    content += scale + " 0 0 -" + scale + " 0 " + std::to_string(down * options.scale) + " cm\n";
    content += RgbFractions(options.light) + " rg\n";
    content += "0 0 " + std::to_string(across) + " " + std::to_string(down) + " re f\n";
    content += RgbFractions(options.dark) + " rg\n";
    static thread_local Outlines outlines;  // room kept for the next page
    WalkOutlines(width, height, modules, &outlines);
    // A word takes at most 2 * 3 + 4 characters and its separator ("177 177 l").
    WordLines lines(&content, 11 * (outlines.corners.size() + outlines.ends.size() + 1));
    char word[2 * 11 + 3];
    // "x y m" at an outline's first corner, "x y l" at each other, then "h".
    auto point = [&](Corner corner, char op) {
        char* at = PutNumber(word, corner.x + options.margin);
        *at++ = ' ';
        at = PutNumber(at, corner.y + options.margin);
        *at++ = ' ';
        *at++ = op;
        lines.Append(word, static_cast<std::size_t>(at - word));
    };
    std::size_t begin = 0;
    for (const std::size_t end : outlines.ends) {
        point(outlines.corners[begin], 'm');
        for (std::size_t i = begin + 1; i < end; ++i) point(outlines.corners[i], 'l');
        lines.Append("h", 1);
        begin = end;
    }
    lines.Append("f", 1);
    lines.Finish();
}

}  // namespace

bool ComposePdf(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* out) try {
    const std::string points = std::to_string((width + 2 * options.margin) * options.scale) + " " +
                               std::to_string((height + 2 * options.margin) * options.scale);
    std::string content;
    static thread_local std::string plain;  // room kept for the next page
    Content(width, height, modules, options, plain);
    DeflateData(reinterpret_cast<const unsigned char*>(plain.data()), plain.size(), &content);
    const std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + points +
            "] /Resources << >> /Contents 4 0 R >>",
        "<< /Length " + std::to_string(content.size()) + " /Filter /FlateDecode >>\nstream\n" +
            content + "\nendstream",
    };
    std::string pdf = AssemblePdf(objects);
    out->swap(pdf);
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace qr

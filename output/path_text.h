// What the styled vector writers (SVG, EPS, PDF) share: numbers as short decimals, paths in each
// format's words, and base64 for embedded images.
#pragma once

#include <string>
#include <vector>

#include "output/drawing.h"

namespace qr {

// `value` rounded to four decimal places, as the shortest decimal: "3", "0.5523", "-1.25". Made
// without the C library's locale, so that a comma never stands for the point.
std::string Decimal(double value);

// How a format spells a path: its operators, and whether they come before their numbers (SVG,
// with no space after them) or after them (PostScript and PDF).
struct PathSyntax {
    bool prefix;
    const char* move;
    const char* line;
    const char* cubic;
    const char* close;
};
constexpr PathSyntax SVG_PATH = {true, "M", "L", "C", "Z"};
constexpr PathSyntax EPS_PATH = {false, "m", "l", "c", "z"};  // operators the EPS prolog defines
constexpr PathSyntax PDF_PATH = {false, "m", "l", "c", "h"};

// Appends `words` to `text` through WordLines, so that its lines stay short (EPS and PDF). Throws
// std::bad_alloc when no memory can be had.
void AppendWords(const std::vector<std::string>& words, std::string* text);

// Appends the outlines of `path` to `text` in `syntax`: SVG on one line, the others a word at a
// time with AppendWords.
void AppendPath(const Path& path, const PathSyntax& syntax, std::string* text);

// `size` bytes at `bytes` in base64, without line breaks.
std::string Base64(const unsigned char* bytes, std::size_t size);

}  // namespace qr

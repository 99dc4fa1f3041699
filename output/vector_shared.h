// What the vector writers (SVG, EPS, PDF) share: the outlines of the dark modules, and colour
// components written as decimal fractions.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

// A corner of the module grid: x counts module edges from the symbol's left side, y from its top
// (the quiet zone is not included).
struct Corner {
    int x;
    int y;
    bool operator==(const Corner& other) const { return x == other.x && y == other.y; }
};

// The outlines of the dark modules. Each 4-connected region of dark modules is bounded by one
// outline running clockwise on screen (y down), and each light hole in it by one running
// anticlockwise, so that the nonzero fill rule fills exactly the dark modules. `corners` holds the
// corners at which the outlines turn, one outline after the other, each beginning at its top-left
// corner; outline i ends before corners[ends[i]]. Consecutive corners of an outline, and its last
// and first, are joined by a horizontal or vertical line. Outlines come in the row order of their
// first corners, and two outlines that touch at a corner never cross there.
struct Outlines {
    std::vector<Corner> corners;
    std::vector<std::size_t> ends;
};

// The outlines of `width` x `height` cells of `modules` (non-zero is dark), the plain
// way: edges from each module and its four neighbours, walked one by one. Throws std::bad_alloc
// when no memory can be had.
Outlines TraceOutlines(int width, int height, const ModuleMatrix& modules);

// The same outlines, from the edges of whole rows of a bordered copy of the cells, walked in one
// pass: the writers use these. Contract: WalkOutlines(w, h, m) == TraceOutlines(w, h, m). Throws
// std::bad_alloc when no memory can be had; the writers catch it.
Outlines WalkOutlines(int width, int height, const ModuleMatrix& modules);

// The red, green and blue of `colour` as three fractions of FractionOf255(), "0.2 0.4 0.6".
std::string RgbFractions(Rgba colour);

// `component` (0..255) divided by 255, as the shortest decimal of at most three places that is
// not smaller: "0", "1", "0.2", "0.502". Multiplied by 255 it lies in [component, component +
// 0.255), so a reader that rounds and one that truncates both get `component` back.
std::string FractionOf255(unsigned component);

// Appends words to a text: each directly when the text is empty or ends a line, else after a space,
// or after a line feed when the line would grow beyond kMaxLineLength characters, so that EPS and
// PDF lines stay short. Where the last line begins is remembered, and room made at once.
constexpr std::size_t kMaxLineLength = 79;
class WordLines {
public:
    // Continues `text`, with room for `room` more characters (the words and a separator before
    // each). Throws std::bad_alloc when no memory can be had.
    WordLines(std::string* text, std::size_t room);
    // Appends `word`; its separator and it must fit the room left.
    void Append(const char* word, std::size_t size);
    // Cuts `text` to what was written.
    void Finish();

private:
    std::string* text_;
    std::size_t used_;
    std::size_t lineStart_;
};

// Writes the decimal digits of `value` (a '-' first when it is negative) at `at`, and returns the
// place after them. Room for 11 characters is needed.
inline char* PutNumber(char* at, int value) {
    unsigned magnitude = static_cast<unsigned>(value);
    if (value < 0) {
        *at++ = '-';
        magnitude = 0u - magnitude;
    }
    if (magnitude < 10) {  // most numbers of an outline
        *at++ = static_cast<char>('0' + magnitude);
        return at;
    }
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (count > 0) *at++ = digits[--count];
    return at;
}

// The whole PDF file of `objects` (their dictionaries and streams, object i + 1 at index i, the
// catalogue first): the header, each object, the cross-reference table of their offsets and the
// trailer. Throws std::bad_alloc when no memory can be had.
std::string AssemblePdf(const std::vector<std::string>& objects);

}  // namespace qr

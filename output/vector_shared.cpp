// Outlines from edges: every dark module contributes the sides it shares with light modules (or
// the quiet zone) as directed edges, clockwise around the module on screen; edges between two dark
// modules cancel and are never made. The edges are then walked into closed outlines, and the
// corners where a walk turns are kept.
#include "output/vector_shared.h"

#include <cstdint>
#include <cstring>

namespace qr {

namespace {

// Directions of an edge leaving a grid corner; the corner's byte holds one bit for each.
enum Direction : unsigned char { RIGHT = 1, DOWN = 2, LEFT = 4, UP = 8 };

constexpr unsigned kFractionPlaces = 1000;  // three decimal places
constexpr unsigned kFullComponent = 255;
// The header of a PDF file; the comment of bytes above 127 tells programs that move files that
// this one is binary.
constexpr const char* PDF_FILE_HEADER = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
constexpr int kPdfOffsetDigits = 10;       // a cross-reference entry's byte offset
constexpr int kPdfFreeGeneration = 65535;  // of the head of the free list, object 0

class EdgeGrid {
public:
    EdgeGrid(int width, int height, const ModuleMatrix& modules)
        : corners_(width + 1),
          rows_(height + 1),
          out_(static_cast<std::size_t>(corners_) * rows_, 0) {
        auto dark = [&](int u, int v) {
            return u >= 0 && v >= 0 && u < width && v < height && modules[u][v] != 0;
        };
        for (int v = 0; v < height; ++v) {
            for (int u = 0; u < width; ++u) {
                if (!dark(u, v)) continue;
                if (!dark(u, v - 1)) Add(u, v, RIGHT);
                if (!dark(u + 1, v)) Add(u + 1, v, DOWN);
                if (!dark(u, v + 1)) Add(u + 1, v + 1, LEFT);
                if (!dark(u - 1, v)) Add(u, v + 1, UP);
            }
        }
    }

    // The first corner in row order from `from` on that has an edge left, as x + y * corners; -1
    // when none.
    int NextStart(int from) const {
        for (int at = from; at < corners_ * rows_; ++at) {
            if (out_[at] != 0) return at;
        }
        return -1;
    }

    // Takes an edge leaving corner `at`, arrived at going `heading`: straight on when there is
    // one, else the turn to the right (so that outlines touching at a corner stay apart), else
    // any. Returns its direction.
    Direction Take(int at, Direction heading) {
        const unsigned char here = out_[at];
        Direction next;
        if (here & heading) {
            next = heading;
        } else if (here & TurnRight(heading)) {
            next = TurnRight(heading);
        } else {
            next = (here & RIGHT) ? RIGHT : (here & DOWN) ? DOWN : (here & LEFT) ? LEFT : UP;
        }
        out_[at] = static_cast<unsigned char>(here & ~next);
        return next;
    }

    int Corners() const { return corners_; }

private:
    static Direction TurnRight(Direction d) {
        return d == RIGHT ? DOWN : d == DOWN ? LEFT : d == LEFT ? UP : RIGHT;
    }

    void Add(int x, int y, Direction d) {
        out_[x + y * corners_] = static_cast<unsigned char>(out_[x + y * corners_] | d);
    }

    int corners_;  // corners per row
    int rows_;     // rows of corners
    std::vector<unsigned char> out_;
};

}  // namespace

Outlines TraceOutlines(int width, int height, const ModuleMatrix& modules) {
    EdgeGrid grid(width, height, modules);
    const int corners = grid.Corners();
    Outlines outlines;
    for (int start = grid.NextStart(0); start != -1; start = grid.NextStart(start)) {
        const Corner first = {start % corners, start / corners};
        outlines.corners.push_back(first);
        // The start is the outline's top-left corner, so its first line is to the right (an
        // outer edge) or down (a hole), and its last line arrives from another direction.
        Corner at = first;
        Direction heading = RIGHT;
        bool moved = false;
        do {
            const Direction next = grid.Take(at.x + at.y * corners, heading);
            if (moved && next != heading) outlines.corners.push_back(at);
            heading = next;
            moved = true;
            at.x += heading == RIGHT ? 1 : heading == LEFT ? -1 : 0;
            at.y += heading == DOWN ? 1 : heading == UP ? -1 : 0;
        } while (!(at == first));
        outlines.ends.push_back(outlines.corners.size());
    }
    return outlines;
}

namespace {

// The direction to the right of each direction, the first of each set of directions in the order
// right, down, left, up, and the steps along a row and a column of corners.
constexpr unsigned char RIGHT_OF[UP + 1] = {0, DOWN, LEFT, 0, UP, 0, 0, 0, RIGHT};
constexpr unsigned char FIRST_OF[16] = {0,  RIGHT, DOWN, RIGHT, LEFT, RIGHT, DOWN, RIGHT,
                                        UP, RIGHT, DOWN, RIGHT, LEFT, RIGHT, DOWN, RIGHT};
constexpr int STEP_X[UP + 1] = {0, 1, 0, 0, -1, 0, 0, 0, 0};
constexpr int STEP_Y[UP + 1] = {0, 0, 1, 0, 0, 0, 0, 0, -1};

std::uint64_t Load8(const unsigned char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// ORs `bits` into the eight bytes at `at`.
void Or8(unsigned char* at, std::uint64_t bits) {
    const std::uint64_t word = Load8(at) | bits;
    std::memcpy(at, &word, sizeof word);
}

}  // namespace

Outlines WalkOutlines(int width, int height, const ModuleMatrix& modules) {
    // The cells row by row, 1 dark, with a light border on every side and eight light bytes after
    // each row, so that eight cells and their neighbours are read at once.
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    const int stride = width + 9;
    std::vector<unsigned char> dark(static_cast<std::size_t>(height + 2) * stride + 8, 0);
    for (int u = 0; u < width; ++u) {
        unsigned char* column = &dark[static_cast<std::size_t>(stride) + 1 + u];
        for (int v = 0; v < height; ++v)
            column[static_cast<std::size_t>(v) * stride] = modules[u][v] != 0;
    }
    // Each corner's edges leaving it, as the plain grid has them, eight modules at a time: a
    // module's edge is there where its neighbour on that side is light. The bytes written past a
    // row's last corner are zero, since they come from light cells.
    const int corners = width + 1;
    std::vector<unsigned char> out(static_cast<std::size_t>(corners) * (height + 1) + 16, 0);
    for (int v = 0; v < height; ++v) {
        const unsigned char* cell = &dark[static_cast<std::size_t>(v + 1) * stride + 1];
        unsigned char* top = &out[static_cast<std::size_t>(v) * corners];
        unsigned char* bottom = top + corners;
        for (int u = 0; u < width; u += 8) {
            const std::uint64_t d = Load8(cell + u);
            if (d == 0) continue;
            Or8(top + u, (d & ~Load8(cell + u - stride) & kOnes) * RIGHT);
            Or8(top + u + 1, (d & ~Load8(cell + u + 1) & kOnes) * DOWN);
            Or8(bottom + u + 1, (d & ~Load8(cell + u + stride) & kOnes) * LEFT);
            Or8(bottom + u, (d & ~Load8(cell + u - 1) & kOnes) * UP);
        }
    }
    // The walk of TraceOutlines: straight on as long as there is an edge, then right, else the
    // first edge in the order right, down, left, up.
    Outlines outlines;
    std::size_t turning = 0;  // corners with edges: each is an outline's corner at most twice
    for (const unsigned char edges : out) turning += edges != 0;
    outlines.corners.reserve(2 * turning);
    const std::size_t total = static_cast<std::size_t>(corners) * (height + 1);
    const std::ptrdiff_t step[UP + 1] = {0, 1, corners, 0, -1, 0, 0, 0, -corners};
    for (std::size_t start = 0; start < total;) {
        if (out[start] == 0) {
            ++start;
            continue;
        }
        Corner at = {static_cast<int>(start % corners), static_cast<int>(start / corners)};
        outlines.corners.push_back(at);
        unsigned char* here = &out[start];
        const unsigned char* first = here;
        unsigned heading = (*here & RIGHT)  ? unsigned{RIGHT}
                           : (*here & DOWN) ? unsigned{DOWN}
                                            : unsigned{FIRST_OF[*here]};
        for (;;) {
            int steps = 0;
            do {
                *here = static_cast<unsigned char>(*here & ~heading);
                here += step[heading];
                ++steps;
            } while (here != first && (*here & heading));
            at.x += steps * STEP_X[heading];
            at.y += steps * STEP_Y[heading];
            if (here == first) break;
            outlines.corners.push_back(at);
            heading = (*here & RIGHT_OF[heading]) ? RIGHT_OF[heading] : FIRST_OF[*here];
        }
        outlines.ends.push_back(outlines.corners.size());
    }
    return outlines;
}

std::string FractionOf255(unsigned component) {
    const unsigned thousandths =
        (component * kFractionPlaces + kFullComponent - 1) / kFullComponent;  // rounded up
    if (thousandths % kFractionPlaces == 0) return std::to_string(thousandths / kFractionPlaces);
    std::string text = "0.";
    unsigned digits = thousandths;
    for (unsigned place = kFractionPlaces / 10; place > 0 && digits != 0; place /= 10) {
        text += static_cast<char>('0' + digits / place);
        digits %= place;
    }
    return text;
}

std::string RgbFractions(Rgba colour) {
    return FractionOf255(RedOf(colour)) + " " + FractionOf255(GreenOf(colour)) + " " +
           FractionOf255(BlueOf(colour));
}

WordLines::WordLines(std::string* text, std::size_t room) : text_(text), used_(text->size()) {
    const std::size_t lineFeed = text->rfind('\n');
    lineStart_ = lineFeed == std::string::npos ? 0 : lineFeed + 1;
    text->resize(used_ + room);
}

void WordLines::Append(const char* word, std::size_t size) {
    char* text = &(*text_)[0];
    if (used_ > lineStart_) {
        const bool fits = used_ - lineStart_ + 1 + size <= kMaxLineLength;
        text[used_++] = fits ? ' ' : '\n';
        if (!fits) lineStart_ = used_;
    }
    std::memcpy(text + used_, word, size);
    used_ += size;
}

void WordLines::Finish() {
    text_->resize(used_);
}

std::string AssemblePdf(const std::vector<std::string>& objects) {
    auto padded = [](std::size_t value) {
        const std::string text = std::to_string(value);
        return std::string(static_cast<std::size_t>(kPdfOffsetDigits) - text.size(), '0') + text;
    };
    std::string pdf = PDF_FILE_HEADER;
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    // Every cross-reference entry is 20 bytes: offset, generation, kind and a two-byte end of line.
    const std::size_t table = pdf.size();
    const std::string count = std::to_string(objects.size() + 1);
    pdf +=
        "xref\n0 " + count + "\n" + padded(0) + " " + std::to_string(kPdfFreeGeneration) + " f \n";
    for (const std::size_t offset : offsets) pdf += padded(offset) + " 00000 n \n";
    pdf += "trailer\n<< /Size " + count + " /Root 1 0 R >>\nstartxref\n" + std::to_string(table) +
           "\n%%EOF\n";
    return pdf;
}

}  // namespace qr

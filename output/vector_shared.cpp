// Outlines from edges: every dark module contributes the sides it shares with light modules (or
// the quiet zone) as directed edges, clockwise around the module on screen; edges between two dark
// modules cancel and are never made. The edges are then walked into closed outlines, and the
// corners where a walk turns are kept.
#include "output/vector_shared.h"

namespace qr {

namespace {

// Directions of an edge leaving a grid corner; the corner's byte holds one bit for each.
enum Direction : unsigned char { RIGHT = 1, DOWN = 2, LEFT = 4, UP = 8 };

constexpr unsigned kFractionPlaces = 1000;  // three decimal places
constexpr unsigned kFullComponent = 255;

class EdgeGrid {
public:
    EdgeGrid(int symbolSize, const ModuleMatrix& modules)
        : corners_(symbolSize + 1), out_(static_cast<std::size_t>(corners_) * corners_, 0) {
        auto dark = [&](int u, int v) {
            return u >= 0 && v >= 0 && u < symbolSize && v < symbolSize && modules[u][v] != 0;
        };
        for (int v = 0; v < symbolSize; ++v) {
            for (int u = 0; u < symbolSize; ++u) {
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
        for (int at = from; at < corners_ * corners_; ++at) {
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

    int corners_;
    std::vector<unsigned char> out_;
};

}  // namespace

Outlines TraceOutlines(int symbolSize, const ModuleMatrix& modules) {
    EdgeGrid grid(symbolSize, modules);
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

Outlines WalkOutlines(int symbolSize, const ModuleMatrix& modules) {
    // The cells row by row with a light border, so that every module has four neighbours.
    const int stride = symbolSize + 2;
    std::vector<unsigned char> dark(static_cast<std::size_t>(stride) * stride, 0);
    for (int u = 0; u < symbolSize; ++u) {
        for (int v = 0; v < symbolSize; ++v) {
            dark[static_cast<std::size_t>(v + 1) * stride + u + 1] = modules[u][v] != 0;
        }
    }
    // Each corner's edges leaving it, as the plain grid has them.
    const int corners = symbolSize + 1;
    std::vector<unsigned char> out(static_cast<std::size_t>(corners) * corners, 0);
    for (int v = 0; v < symbolSize; ++v) {
        const unsigned char* cell = &dark[static_cast<std::size_t>(v + 1) * stride + 1];
        const unsigned char* above = cell - stride;
        const unsigned char* below = cell + stride;
        unsigned char* top = &out[static_cast<std::size_t>(v) * corners];
        unsigned char* bottom = top + corners;
        for (int u = 0; u < symbolSize; ++u) {
            const unsigned d = cell[u];
            top[u] |= static_cast<unsigned char>((d & ~above[u] & 1) * RIGHT);
            top[u + 1] |= static_cast<unsigned char>((d & ~cell[u + 1] & 1) * DOWN);
            bottom[u + 1] |= static_cast<unsigned char>((d & ~below[u] & 1) * LEFT);
            bottom[u] |= static_cast<unsigned char>((d & ~cell[u - 1] & 1) * UP);
        }
    }
    // The walk of TraceOutlines: straight on, else right, else the first edge in the order
    // right, down, left, up.
    static constexpr signed char kStepX[UP + 1] = {0, 1, 0, 0, -1, 0, 0, 0, 0};
    static constexpr signed char kStepY[UP + 1] = {0, 0, 1, 0, 0, 0, 0, 0, -1};
    static constexpr unsigned char kRightOf[UP + 1] = {0, DOWN, LEFT, 0, UP, 0, 0, 0, RIGHT};
    static constexpr unsigned char kFirst[16] = {0,  RIGHT, DOWN, RIGHT, LEFT, RIGHT, DOWN, RIGHT,
                                                 UP, RIGHT, DOWN, RIGHT, LEFT, RIGHT, DOWN, RIGHT};
    Outlines outlines;
    outlines.corners.reserve(out.size() / 2);
    const std::size_t total = out.size();
    for (std::size_t start = 0; start < total;) {
        if (out[start] == 0) {
            ++start;
            continue;
        }
        const Corner first = {static_cast<int>(start % corners), static_cast<int>(start / corners)};
        outlines.corners.push_back(first);
        std::size_t at = start;
        unsigned heading = RIGHT;
        bool moved = false;
        do {
            const unsigned here = out[at];
            const unsigned next = (here & heading)             ? heading
                                  : (here & kRightOf[heading]) ? kRightOf[heading]
                                                               : kFirst[here];
            out[at] = static_cast<unsigned char>(here & ~next);
            if (moved && next != heading) {
                outlines.corners.push_back(
                    {static_cast<int>(at % corners), static_cast<int>(at / corners)});
            }
            heading = next;
            moved = true;
            at += static_cast<std::size_t>(kStepX[heading] + kStepY[heading] * corners);
        } while (at != start);
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

void AppendWord(std::string* text, const std::string& word) {
    WordLines(text).Append(word.data(), word.size());
}

WordLines::WordLines(std::string* text) : text_(text) {
    const std::size_t lineFeed = text->rfind('\n');
    lineStart_ = lineFeed == std::string::npos ? 0 : lineFeed + 1;
}

void WordLines::Append(const char* word, std::size_t size) {
    if (text_->size() > lineStart_) {
        const bool fits = text_->size() - lineStart_ + 1 + size <= kMaxLineLength;
        *text_ += fits ? ' ' : '\n';
        if (!fits) lineStart_ = text_->size();
    }
    text_->append(word, size);
}

char* PutNumber(char* at, int value) {
    unsigned magnitude = static_cast<unsigned>(value);
    if (value < 0) {
        *at++ = '-';
        magnitude = 0u - magnitude;
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

}  // namespace qr

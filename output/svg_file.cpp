// SVG text. Every dark module contributes the sides it shares with light modules (or the quiet
// zone) as directed edges, clockwise around the module on screen; edges between two dark modules
// cancel and are never made. The edges are then walked into closed outlines, and runs of edges in
// one direction become one "h" or "v". Outlines of a few dozen commands replace hundreds of
// one-module rectangles.
#include "output/svg_file.h"

#include <new>
#include <string>
#include <vector>

namespace qr {

namespace {

// Directions of an edge leaving a grid corner; the corner's byte holds one bit for each.
enum Direction : unsigned char { RIGHT = 1, DOWN = 2, LEFT = 4, UP = 8 };

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

    // The first corner in row order that has an edge left, as x + y * corners; -1 when none.
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

void AppendLine(std::string* d, Direction direction, int length) {
    const bool horizontal = direction == RIGHT || direction == LEFT;
    const bool negative = direction == LEFT || direction == UP;
    *d += horizontal ? 'h' : 'v';
    if (negative) *d += '-';
    *d += std::to_string(length);
}

// The path data of all outlines, in module coordinates with a quiet zone of `margin` modules.
std::string OutlinePath(int symbolSize, const ModuleMatrix& modules, int margin) {
    EdgeGrid grid(symbolSize, modules);
    const int corners = grid.Corners();
    std::string d;
    int previousX = 0;
    int previousY = 0;
    for (int start = grid.NextStart(0); start != -1; start = grid.NextStart(start)) {
        const int startX = start % corners;
        const int startY = start / corners;
        if (d.empty()) {
            d += "M" + std::to_string(startX + margin) + " " + std::to_string(startY + margin);
        } else {
            d +=
                "m" + std::to_string(startX - previousX) + " " + std::to_string(startY - previousY);
        }
        previousX = startX;
        previousY = startY;

        // The start is the outline's top-left corner, so its first line is to the right (an
        // outer edge) or down (a hole), and its last line, which "z" draws, is another direction.
        int x = startX;
        int y = startY;
        Direction heading = RIGHT;
        Direction runDirection = RIGHT;
        int runLength = 0;
        do {
            heading = grid.Take(x + y * corners, heading);
            if (runLength > 0 && heading != runDirection) {
                AppendLine(&d, runDirection, runLength);
                runLength = 0;
            }
            runDirection = heading;
            ++runLength;
            x += heading == RIGHT ? 1 : heading == LEFT ? -1 : 0;
            y += heading == DOWN ? 1 : heading == UP ? -1 : 0;
        } while (x != startX || y != startY);
        d += 'z';
    }
    return d;
}

}  // namespace

bool ComposeSvg(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* out) try {
    const int side = symbolSize + 2 * options.margin;
    const std::string modulesText = std::to_string(side);
    const std::string pixelsText = std::to_string(side * options.scale);
    std::string svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + pixelsText + "\" height=\"" +
           pixelsText + "\" viewBox=\"0 0 " + modulesText + " " + modulesText +
           "\" shape-rendering=\"crispEdges\">\n";
    svg += "<rect width=\"" + modulesText + "\" height=\"" + modulesText + "\" fill=\"#fff\"/>\n";
    svg += "<path fill=\"#000\" d=\"" + OutlinePath(symbolSize, modules, options.margin) +
           "\"/>\n</svg>\n";
    out->swap(svg);
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace qr

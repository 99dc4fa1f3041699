// SVG text: the outlines of the dark modules as one path, runs of edges in one direction written
// as one "h" or "v". Outlines of a few dozen commands replace hundreds of one-module rectangles.
// Each command is written in place, without a string of its own.
#include "output/svg_file.h"

#include <new>
#include <string>

#include "output/vector_shared.h"

namespace qr {

namespace {

// The path data of all outlines, in module coordinates with a quiet zone of `margin` modules.
std::string OutlinePath(int width, int height, const ModuleMatrix& modules, int margin) {
    const Outlines outlines = WalkOutlines(width, height, modules);
    // A move takes at most 1 + 2 * 4 + 1 characters, a line 1 + 4 (no number of an outline is
    // longer than "-177"), a close 1.
    std::string d(outlines.corners.size() * 5 + outlines.ends.size() * 11, '\0');
    char* at = &d[0];
    Corner previous = {0, 0};
    std::size_t begin = 0;
    for (const std::size_t end : outlines.ends) {
        const Corner start = outlines.corners[begin];
        if (begin == 0) {
            *at++ = 'M';
            at = PutNumber(at, start.x + margin);
            *at++ = ' ';
            at = PutNumber(at, start.y + margin);
        } else {
            *at++ = 'm';
            at = PutNumber(at, start.x - previous.x);
            *at++ = ' ';
            at = PutNumber(at, start.y - previous.y);
        }
        previous = start;
        for (std::size_t i = begin + 1; i < end; ++i) {
            const Corner from = outlines.corners[i - 1];
            const Corner to = outlines.corners[i];
            *at++ = from.y == to.y ? 'h' : 'v';
            at = PutNumber(at, from.y == to.y ? to.x - from.x : to.y - from.y);
        }
        *at++ = 'z';
        begin = end;
    }
    d.resize(static_cast<std::size_t>(at - d.data()));
    return d;
}

// `colour` as "#rgb" when each component's two hex digits are equal (black "#000"), else
// "#rrggbb", lower case.
std::string HexColour(Rgba colour) {
    static const char kHex[] = "0123456789abcdef";
    const unsigned components[] = {RedOf(colour), GreenOf(colour), BlueOf(colour)};
    bool doubled = true;
    for (const unsigned c : components) doubled = doubled && (c >> 4) == (c & 15);
    std::string text = "#";
    for (const unsigned c : components) {
        if (!doubled) text += kHex[c >> 4];
        text += kHex[c & 15];
    }
    return text;
}

// The fill attributes of `colour`: its hex colour, and its opacity when alpha is below FF.
std::string Fill(Rgba colour) {
    std::string fill = "fill=\"" + HexColour(colour) + "\"";
    if (!Opaque(colour)) fill += " fill-opacity=\"" + FractionOf255(AlphaOf(colour)) + "\"";
    return fill;
}

}  // namespace

bool ComposeSvg(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* out) try {
    const int across = width + 2 * options.margin;
    const int down = height + 2 * options.margin;
    const std::string acrossText = std::to_string(across);
    const std::string downText = std::to_string(down);
    std::string svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           std::to_string(across * options.scale) + "\" height=\"" +
           std::to_string(down * options.scale) + "\" viewBox=\"0 0 " + acrossText + " " +
           downText + "\" shape-rendering=\"crispEdges\">\n";
    const std::string outlines = OutlinePath(width, height, modules, options.margin);
    svg.reserve(svg.size() + 2 * outlines.size() + 200);
    if (Opaque(options.dark)) {
        svg += "<rect width=\"" + acrossText + "\" height=\"" + downText + "\" " +
               Fill(options.light) + "/>\n";
    } else {
        // The light colour would show through the dark one: the square gets the outlines as holes.
        svg += "<path " + Fill(options.light) + " fill-rule=\"evenodd\" d=\"M0 0h" + acrossText +
               "v" + downText + "h-" + acrossText + "z";
        svg += outlines;
        svg += "\"/>\n";
    }
    svg += "<path " + Fill(options.dark) + " d=\"";
    svg += outlines;
    svg += "\"/>\n</svg>\n";
    out->swap(svg);
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace qr

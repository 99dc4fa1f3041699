// SVG text: the outlines of the dark modules as one path, runs of edges in one direction written
// as one "h" or "v". Outlines of a few dozen commands replace hundreds of one-module rectangles.
// Each command is written in place, without a string of its own.
#include "output/svg_file.h"

#include <new>
#include <string>

#include "output/vector_shared.h"

namespace qr {

namespace {

// Appends the path data of `outlines` to `svg`, in module coordinates with a quiet zone of
// `margin` modules. The commands are written in a buffer on the stack and appended a buffer at a
// time.
void AppendOutlinePath(const Outlines& outlines, int margin, std::string* svg) {
    // A move takes at most 1 + 2 * 4 + 1 characters, a line 1 + 4 (no number of an outline is
    // longer than "-177"), a close 1; a short number writes four bytes.
    constexpr std::size_t kMostPerCommand = 11;
    char buffer[2048];
    char* const full = buffer + sizeof buffer - kMostPerCommand;
    char* at = buffer;
    auto flush = [&] {
        svg->append(buffer, static_cast<std::size_t>(at - buffer));
        at = buffer;
    };
    // Plain pointers, which the characters written cannot be taken to change.
    const Corner* const corners = outlines.corners.data();
    const std::size_t* const ends = outlines.ends.data();
    const std::size_t outlineCount = outlines.ends.size();
    Corner previous = {0, 0};
    std::size_t begin = 0;
    for (std::size_t k = 0; k < outlineCount; ++k) {
        const std::size_t end = ends[k];
        const Corner start = corners[begin];
        if (at > full) flush();
        if (begin == 0) {
            *at++ = 'M';
            at = PutNumber(at, start.x + margin);
            *at++ = ' ';
            at = PutNumber(at, start.y + margin);
        } else {
            *at++ = 'm';
            at = PutShortNumber(at, start.x - previous.x);
            *at++ = ' ';
            at = PutShortNumber(at, start.y - previous.y);
        }
        previous = start;
        for (std::size_t i = begin + 1; i < end; ++i) {
            if (at > full) flush();
            const Corner from = corners[i - 1];
            const Corner to = corners[i];
            *at++ = from.y == to.y ? 'h' : 'v';
            at = PutShortNumber(at, from.y == to.y ? to.x - from.x : to.y - from.y);
        }
        if (at > full) flush();
        *at++ = 'z';
        begin = end;
    }
    flush();
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

// The document is written into `out` itself, so that the room of an earlier document is used
// again, and the outlines are walked into room kept per thread.
bool ComposeSvg(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* out) try {
    static thread_local Outlines outlines;
    WalkOutlines(width, height, modules, &outlines);
    const int across = width + 2 * options.margin;
    const int down = height + 2 * options.margin;
    const std::string acrossText = std::to_string(across);
    const std::string downText = std::to_string(down);
    std::string& svg = *out;
    svg.clear();
    // The path at most once or twice (see AppendOutlinePath), and the words around it.
    const std::size_t pathRoom = 5 * outlines.corners.size() + 11 * outlines.ends.size();
    svg.reserve((Opaque(options.dark) ? 1 : 2) * pathRoom + 512);
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           std::to_string(across * options.scale) + "\" height=\"" +
           std::to_string(down * options.scale) + "\" viewBox=\"0 0 " + acrossText + " " +
           downText + "\" shape-rendering=\"crispEdges\">\n";
    if (Opaque(options.dark)) {
        svg += "<rect width=\"" + acrossText + "\" height=\"" + downText + "\" " +
               Fill(options.light) + "/>\n";
    } else {
        // The light colour would show through the dark one: the square gets the outlines as holes.
        svg += "<path " + Fill(options.light) + " fill-rule=\"evenodd\" d=\"M0 0h" + acrossText +
               "v" + downText + "h-" + acrossText + "z";
        AppendOutlinePath(outlines, options.margin, &svg);
        svg += "\"/>\n";
    }
    svg += "<path " + Fill(options.dark) + " d=\"";
    AppendOutlinePath(outlines, options.margin, &svg);
    svg += "\"/>\n</svg>\n";
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace qr

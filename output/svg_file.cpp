// SVG text: the outlines of the dark modules as one path, runs of edges in one direction written
// as one "h" or "v". Outlines of a few dozen commands replace hundreds of one-module rectangles.
// Each command is written in place, into the document itself.
#include "output/svg_file.h"

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "output/vector_shared.h"

namespace qr {

namespace {

constexpr StepWords ACROSS_COMMANDS = MakeStepWords("h", "");
constexpr StepWords DOWN_COMMANDS = MakeStepWords("v", "");

// The most characters WriteOutlinePath writes for `links`: a first move of two numbers of up to
// 11 characters, for each other outline (no more than the turns that may begin one) a move of two
// steps and a close, for each corner but the first of an outline a line, and the room a command's
// word takes beyond its characters.
std::size_t MostPathCharacters(const TurnLinks& links) {
    constexpr std::size_t kFirstMove = 1 + 11 + 1 + 11 + 1;
    constexpr std::size_t kMoveAndClose = 1 + 4 + 1 + 4 + 1;
    constexpr std::size_t kLine = 1 + 4;
    return kFirstMove + kMoveAndClose * links.startCount + kLine * links.turnCount +
           sizeof(std::uint64_t);
}

// Writes the path data of the outlines of `links` at `at`, in module coordinates with a quiet zone
// of `margin` modules, following the links as it goes; MostPathCharacters(links) characters of
// room are needed. Returns the place after the path.
char* WriteOutlinePath(const TurnLinks& links, int margin, char* at) {
    FollowPath(
        links,
        [&at, margin](Corner to, bool absolute) {
            if (absolute) {
                *at++ = 'M';
                at = PutNumber(at, to.x + margin);
                *at++ = ' ';
                at = PutNumber(at, to.y + margin);
            } else {
                *at++ = 'm';
                at = PutShortNumber(at, to.x);
                *at++ = ' ';
                at = PutShortNumber(at, to.y);
            }
        },
        [&at](int step, bool across) {
            at = PutStepWord(at, across ? ACROSS_COMMANDS : DOWN_COMMANDS, step);
        },
        [&at] { *at++ = 'z'; });
    return at;
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
// again, and the path into room kept per thread.
bool ComposeSvg(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* out) try {
    const TurnLinks links = LinkTurns(width, height, modules);
    static thread_local std::vector<char> room;
    const std::size_t most = MostPathCharacters(links);
    if (room.size() < most) room.resize(most);
    const char* const path = room.data();
    const std::size_t pathLength =
        static_cast<std::size_t>(WriteOutlinePath(links, options.margin, room.data()) - path);
    const int across = width + 2 * options.margin;
    const int down = height + 2 * options.margin;
    const std::string acrossText = std::to_string(across);
    const std::string downText = std::to_string(down);
    std::string& svg = *out;
    svg.clear();
    // The path once or twice, and the words around it.
    svg.reserve((Opaque(options.dark) ? 1 : 2) * pathLength + 512);
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
        svg.append(path, pathLength);
        svg += "\"/>\n";
    }
    svg += "<path " + Fill(options.dark) + " d=\"";
    svg.append(path, pathLength);
    svg += "\"/>\n</svg>\n";
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace qr

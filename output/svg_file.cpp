// SVG text: the outlines of the dark modules as one path, runs of edges in one direction written
// as one "h" or "v". Outlines of a few dozen commands replace hundreds of one-module rectangles.
// Each command is written in place, into the document itself.
#include "output/svg_file.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "output/vector_shared.h"

namespace qr {

namespace {

// Each step of an outline, from -kMaxSymbolSize to kMaxSymbolSize, as the command that draws it:
// its letter and the number as PutShortNumber writes it, in the bytes of a word from the lowest on,
// and the command's length in the top byte.
struct StepCommands {
    std::uint64_t of[2 * kMaxSymbolSize + 1];
};

constexpr StepCommands MakeStepCommands(char letter) {
    StepCommands t{};
    for (int i = 0; i <= 2 * kMaxSymbolSize; ++i) {
        const ShortNumbers::Text& text = SHORT_NUMBERS.of[i];
        std::uint64_t word = static_cast<unsigned char>(letter);
        for (int k = 0; k < text.length; ++k)
            word |= std::uint64_t{static_cast<unsigned char>(text.digits[k])} << (8 * (k + 1));
        t.of[i] = word | std::uint64_t{text.length + 1u} << 56;
    }
    return t;
}

constexpr StepCommands ACROSS_COMMANDS = MakeStepCommands('h');
constexpr StepCommands DOWN_COMMANDS = MakeStepCommands('v');
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "commands are copied lowest byte first");

// Writes the command of `step` from `commands` at `at` (eight bytes: room for them is needed) and
// returns the place after its characters.
char* PutCommand(char* at, const StepCommands& commands, int step) {
    const std::uint64_t word = commands.of[step + kMaxSymbolSize];
    std::memcpy(at, &word, sizeof word);
    return at + (word >> 56);
}

// The most characters AppendOutlinePath writes for `outlines`: a first move of two numbers of up
// to 11 characters, for each other outline a move of two steps and a close, for each corner but
// the first of an outline a line, and the room a command's word takes beyond its characters.
std::size_t MostPathCharacters(const Outlines& outlines) {
    constexpr std::size_t kFirstMove = 1 + 11 + 1 + 11 + 1;
    constexpr std::size_t kMoveAndClose = 1 + 4 + 1 + 4 + 1;
    constexpr std::size_t kLine = 1 + 4;
    return kFirstMove + kMoveAndClose * outlines.ends.size() + kLine * outlines.corners.size() +
           sizeof(std::uint64_t);
}

// Appends the path data of `outlines` to `svg`, in module coordinates with a quiet zone of
// `margin` modules, written into room kept for the most it can take and appended at once. An
// outline's lines alternate between across and down (each corner turns), so they are written a pair
// at a time, each from the one coordinate that changes.
void AppendOutlinePath(const Outlines& outlines, int margin, std::string* svg) {
    static thread_local std::vector<char> room;  // kept for the next document
    const std::size_t most = MostPathCharacters(outlines);
    if (room.size() < most) room.resize(most);
    char* const begin = room.data();
    char* at = begin;
    // Plain pointers, which the characters written cannot be taken to change.
    const Corner* const corners = outlines.corners.data();
    const std::size_t* const ends = outlines.ends.data();
    const std::size_t outlineCount = outlines.ends.size();
    Corner previous = {0, 0};
    std::size_t first = 0;
    for (std::size_t k = 0; k < outlineCount; ++k) {
        const std::size_t end = ends[k];
        const Corner start = corners[first];
        if (first == 0) {
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
        auto across = [&at, corners](std::size_t i) {
            at = PutCommand(at, ACROSS_COMMANDS, corners[i].x - corners[i - 1].x);
        };
        auto down = [&at, corners](std::size_t i) {
            at = PutCommand(at, DOWN_COMMANDS, corners[i].y - corners[i - 1].y);
        };
        std::size_t i = first + 1;
        if (i < end && corners[i].y != start.y) down(i++);
        for (; i + 1 < end; i += 2) {
            across(i);
            down(i + 1);
        }
        if (i < end) across(i);
        *at++ = 'z';
        first = end;
    }
    svg->append(begin, static_cast<std::size_t>(at - begin));
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
    // The path at most once or twice, and the words around it.
    svg.reserve((Opaque(options.dark) ? 1 : 2) * MostPathCharacters(outlines) + 512);
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

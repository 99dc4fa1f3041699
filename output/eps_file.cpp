// EPS text: DSC comments, a local dictionary of four short path operators, a transform to module
// coordinates with y down, the light square and the dark path.
#include "output/eps_file.h"

#include <new>
#include <string>

#include "output/vector_shared.h"

namespace qr {

namespace {

constexpr char kClose[WordLines::kShortWord] = "z";

void AppendPath(std::string* eps, int width, int height, const ModuleMatrix& modules, int margin) {
    static thread_local Outlines outlines;  // room kept for the next document
    WalkOutlines(width, height, modules, &outlines);
    // A word takes at most 2 * 4 + 7 characters and its separator ("-177 -177 moveto").
    WordLines lines(eps, 16 * (outlines.corners.size() + outlines.ends.size()));
    char word[2 * 11 + 8];
    const Corner* const corners = outlines.corners.data();
    Corner previous = {0, 0};
    std::size_t begin = 0;
    for (const std::size_t end : outlines.ends) {
        const Corner start = corners[begin];
        const bool firstOutline = begin == 0;
        char* at = PutNumber(word, firstOutline ? start.x + margin : start.x - previous.x);
        *at++ = ' ';
        at = PutNumber(at, firstOutline ? start.y + margin : start.y - previous.y);
        for (const char* c = firstOutline ? " moveto" : " m"; *c != '\0'; ++c) *at++ = *c;
        if (firstOutline) {
            lines.Append(word, static_cast<std::size_t>(at - word));
        } else {
            lines.AppendShort(word, static_cast<std::size_t>(at - word));  // two short numbers
        }
        previous = start;
        // The lines alternate between across and down (each corner turns): a pair at a time,
        // each from the one coordinate that changes, copied whole as a short word.
        auto line = [&lines, &word, corners](std::size_t i, bool across) {
            char* end = PutShortNumber(
                word, across ? corners[i].x - corners[i - 1].x : corners[i].y - corners[i - 1].y);
            *end++ = ' ';
            *end++ = across ? 'h' : 'v';
            lines.AppendShort(word, static_cast<std::size_t>(end - word));
        };
        std::size_t i = begin + 1;
        if (i < end && corners[i].y != start.y) line(i++, false);
        for (; i + 1 < end; i += 2) {
            line(i, true);
            line(i + 1, false);
        }
        if (i < end) line(i, true);
        lines.AppendShort(kClose, 1);
        begin = end;
    }
    lines.Finish();
    if (!outlines.ends.empty()) *eps += '\n';
}

}  // namespace

bool ComposeEps(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* out) try {
    const int across = width + 2 * options.margin;
    const int down = height + 2 * options.margin;
    // Written into `out` itself, so that the room of an earlier document is used again.
    std::string& eps = *out;
    eps.clear();
    const std::string pointsDown = std::to_string(down * options.scale);
    AppendEpsPrologue(
        "%%BoundingBox: 0 0 " + std::to_string(across * options.scale) + " " + pointsDown + "\n", 4,
        {{"m", "rmoveto"}, {"h", "0 rlineto"}, {"v", "0 exch rlineto"}, {"z", "closepath"}},
        pointsDown, std::to_string(options.scale), &eps);
    eps += RgbFractions(options.light) + " setrgbcolor\n";
    eps += "0 0 " + std::to_string(across) + " " + std::to_string(down) + " rectfill\n";
    eps += RgbFractions(options.dark) + " setrgbcolor\n";
    eps += "newpath\n";
    AppendPath(&eps, width, height, modules, options.margin);
    eps += "fill\n";
    eps += "end\n";
    eps += "showpage\n";
    eps += "%%EOF\n";
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace qr

// EPS text: DSC comments, a local dictionary of four short path operators, a transform to module
// coordinates with y down, the light square and the dark path.
#include "output/eps_file.h"

#include <new>
#include <string>

#include "output/vector_shared.h"

namespace qr {

namespace {

constexpr char kClose[WordLines::kShortWord] = "z";

constexpr StepWords ACROSS_WORDS = MakeStepWords("", " h");
constexpr StepWords DOWN_WORDS = MakeStepWords("", " v");

// Appends the path of the outlines, following their links as it goes.
void AppendPath(std::string* eps, int width, int height, const ModuleMatrix& modules, int margin) {
    const TurnLinks links = LinkTurns(width, height, modules);
    // A word takes at most 2 * 4 + 7 characters and its separator ("-177 -177 moveto").
    WordLines lines(eps, 16 * (links.turnCount + links.startCount));
    bool drawn = false;
    FollowPath(
        links,
        [&lines, &drawn, margin](Corner to, bool absolute) {
            char word[2 * 11 + 8];
            char* at = PutNumber(word, absolute ? to.x + margin : to.x);
            *at++ = ' ';
            at = PutNumber(at, absolute ? to.y + margin : to.y);
            for (const char* c = absolute ? " moveto" : " m"; *c != '\0'; ++c) *at++ = *c;
            if (absolute) {
                lines.Append(word, static_cast<std::size_t>(at - word));
            } else {
                lines.AppendShort(word, static_cast<std::size_t>(at - word));  // two short numbers
            }
            drawn = true;
        },
        [&lines](int step, bool across) {
            lines.AppendPacked((across ? ACROSS_WORDS : DOWN_WORDS).of[step + kMaxSymbolSize]);
        },
        [&lines] { lines.AppendShort(kClose, 1); });
    lines.Finish();
    if (drawn) *eps += '\n';
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

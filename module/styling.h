// Styled symbols on the road of every caller: a finished symbol, its output settings and a style
// (output/style_options.h) checked together, rendered, and the rendering verified. The command,
// the API and the bindings go through these, so the refusals and the verdicts have one home. A
// plain style (StyleOptions::Plain) takes the plain road: the same bytes as Render().
#pragma once

#include <string>

#include "module/deliver.h"
#include "module/settings.h"
#include "module/symbol.h"
#include "output/style_options.h"
#include "output/verify.h"

namespace qr {

// The writer's options for `symbol` drawn with `settings`: the defaults of the table filled in, as
// Render() (module/deliver.h) draws it.
RenderOptions ResolveRenderOptions(const Symbol& symbol, const OutputSettings& settings);

// The parts of a style that text gives by name, as the command's flags (--NAME VALUE), the API's
// tessera_style_set() and the bindings take them: "shape", "finder", each region of REGION_NAMES
// ("finder-dark", ...), "gradient", "logo-size", "cmyk" and "size". The logo, the title and the
// description are not text of this kind: their callers hand them over as they are.
enum class StyleSetting { kShape, kFinder, kRegion, kGradient, kLogoSize, kCmyk, kSize };
struct StyleSettingInfo {
    const char* name;   // as text takes it; a region's is its REGION_NAMES entry
    const char* value;  // the value's form, for help: "NAME", "COLOUR", "PCT", ...
    StyleSetting setting;
};
// Every setting, regions included, in the order help lists them; `count` rows.
struct StyleSettingTable {
    const StyleSettingInfo* rows;
    int count;
};
StyleSettingTable StyleSettings();

// What the value of `info` takes, in words for help and messages: "dot, rounded, ... or vbars",
// "RRGGBB or RRGGBBAA in hex (default: the dark colour)", ...
std::string StyleSettingHelp(const StyleSettingInfo& info);

// Sets the part of `style` named `name` from `value`, as text gives it. Returns an empty string,
// or one line that names the part and what it takes ("shape takes square, dot, ... , not
// 'star'") leaving `style` as it was; an unknown name is refused too.
std::string SetStyleSetting(const std::string& name, const std::string& value, StyleOptions* style);

// The whole modules that a printed `length` ("40mm", "1.5in", "72pt", as --size takes it) holds
// when each module is `scale` pixels at `dpi` pixels per inch. -1 when `length` is not a length
// or `dpi` or `scale` is not positive.
int ModulesAcross(const std::string& length, int dpi, int scale);

// An empty string when `symbol` can be drawn with `settings` and `style`, else one line that
// names the first setting or part of the style that is refused: CheckOutputSettings(), then
// CheckStyled() (output/styled.h), which also caps a logo's size by the symbol's error
// correction. A style on an rMQR symbol is refused: its map is not made.
std::string CheckRendering(const Symbol& symbol, const OutputSettings& settings,
                           const StyleOptions& style);

// Renders `symbol` with `settings` and `style` into `bytes`. Returns TESSERA_OK;
// TESSERA_ERROR_BAD_ARGUMENT when CheckRendering() refuses them;
// TESSERA_ERROR_FORMAT_NOT_AVAILABLE; TESSERA_ERROR_NO_MEMORY. Never throws.
Status RenderStyled(const Symbol& symbol, const OutputSettings& settings, const StyleOptions& style,
                    std::string* bytes);

// Verifies what RenderStyled() draws (VerifyRendering, output/verify.h) into `result`. Returns
// TESSERA_OK with the verdict in `result`; TESSERA_ERROR_BAD_ARGUMENT when CheckRendering()
// refuses the settings or the symbol is rMQR (which the verifier cannot map), with the one line
// that says so in `*why` when it is not null; TESSERA_ERROR_NO_MEMORY. Never throws.
Status VerifyStyled(const Symbol& symbol, const OutputSettings& settings, const StyleOptions& style,
                    VerifyResult* result, std::string* why = nullptr);

// RenderStyled() with the one line that says why it failed in `message`: what CheckRendering()
// refuses, a format not in this build, or no memory.
Status RenderStyledExplained(const Symbol& symbol, const OutputSettings& settings,
                             const StyleOptions& style, std::string* bytes, std::string* message);

// RenderWrite() (module/deliver.h) with a style: renders `symbol` and writes it to
// `destination`, then, with `verify`, verifies the rendering into `result`. Returns the status of
// the step that failed with one line in `message`, as RenderWrite() says it, or TESSERA_OK.
Status RenderStyledWrite(const Symbol& symbol, const OutputSettings& output,
                         const StyleOptions& style, const Destination& destination, bool verify,
                         VerifyResult* result, std::string* message);

}  // namespace qr

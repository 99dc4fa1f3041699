// The symbol as an SVG document: a square of the light colour with a quiet zone of `margin`
// modules on every side and one path of the dark modules in the dark colour, in integer module
// coordinates (`viewBox`), drawn with crisp edges at `scale` pixels per module (`width` and
// `height`). A colour is written "#rgb" where that says it exactly (black "#000", white "#fff":
// the default document is the same as it always was), else "#rrggbb"; an alpha below FF adds
// `fill-opacity`, alpha / 255 rounded up to three decimal places.
#pragma once

#include <string>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

// The whole SVG document of `width` x `height` cells of `modules` (non-zero is dark) into
// `svg`, replacing its content; false when no memory can be had. The path is the outlines of
// TraceOutlines(): under the default nonzero fill rule exactly the dark modules are filled. Each
// outline is "M x y" (the first) or "m dx dy" (from the start of the previous outline) to its
// top-left corner, then "h" and "v" lines of whole modules, closed by "z".
bool ComposeSvg(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* svg);

}  // namespace qr

// The symbol as an SVG document: a white square with a light quiet zone of `margin` modules on
// every side and one black path of the dark modules, in integer module coordinates (`viewBox`),
// drawn with crisp edges at `scale` pixels per module (`width` and `height`).
#pragma once

#include <string>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

// The whole SVG document of `symbolSize` x `symbolSize` cells of `modules` (non-zero is dark) into
// `svg`, replacing its content; false when no memory can be had. The path outlines each 4-connected
// region of dark modules, clockwise on screen around the dark and so anticlockwise around light
// holes: under the default nonzero fill rule exactly the dark modules are black. Each outline is "M
// x y" (the first) or "m dx dy" (from the start of the previous outline) to its top-left corner,
// then "h" and "v" lines of whole modules, closed by "z".
bool ComposeSvg(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* svg);

}  // namespace qr

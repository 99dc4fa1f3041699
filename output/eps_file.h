// The symbol as Encapsulated PostScript: a square of the light colour, a quiet zone of `margin`
// modules on every side, and one filled path of the dark modules in the dark colour, one module
// `scale` points wide. The bounding box is exactly the square, from the origin. The bytes depend on
// nothing but the symbol and the options (no date, no name).
#pragma once

#include <string>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

// The whole EPS document of `width` x `height` cells of `modules` (non-zero is dark) into
// `eps`, replacing its content; false when no memory can be had. The colours' alpha is not stored
// (the caller refuses alpha for EPS). The path is the outlines of TraceOutlines() in module
// coordinates, y down from the top-left corner of the quiet zone: "x y moveto" to the first
// outline's top-left corner, "dx dy m" from one outline's start to the next, then "n h" and "n v"
// lines of whole modules, closed by "z", filled by the nonzero rule.
bool ComposeEps(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* eps);

}  // namespace qr

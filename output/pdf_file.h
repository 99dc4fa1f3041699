// The symbol as a one-page PDF: the page is exactly the symbol and its quiet zone of `margin`
// modules on every side, one module `scale` points wide; a square of the light colour fills it and
// one path of the dark modules is filled in the dark colour. The content stream is compressed
// (FlateDecode), and the bytes depend on nothing but the symbol and the options (no date, no
// name, no ID).
#pragma once

#include <string>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

// The whole PDF file of `width` x `height` cells of `modules` (non-zero is dark) into
// `pdf`, replacing its content; false when no memory can be had. The colours' alpha is not stored
// (the caller refuses alpha for PDF). The content stream maps module coordinates, y down from the
// top-left corner of the quiet zone, onto the page and draws the outlines of TraceOutlines(): "x y
// m" to each outline's first corner, "x y l" to each next one, "h" to close it, and one "f" (the
// nonzero rule) for all.
bool ComposePdf(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* pdf);

}  // namespace qr

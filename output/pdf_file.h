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
// top-left corner of the quiet zone, onto the page, fills the page in the light colour, moves the
// origin to the symbol's top-left corner and draws "x y w 1 re" for each run of w dark modules
// from column x in row y, row after row and left to right, and one "f" for all.
bool ComposePdf(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* pdf);

// The content stream of ComposePdf's page before it is compressed, its runs found cell by cell:
// the plain rule that ComposePdf follows with rows of bits. Throws std::bad_alloc when no memory
// can be had.
std::string PlainPdfContent(int width, int height, const ModuleMatrix& modules,
                            const RenderOptions& options);

}  // namespace qr

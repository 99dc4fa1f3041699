// The symbol as a netpbm bitmap (PBM), black and white only: a light quiet zone of `margin` modules
// on every side, each module a square of `scale` pixels, 1 a black pixel and 0 a white one. The
// header is the magic number, a newline, the width and the height, and a newline.
#pragma once

#include <string>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

// The raw bitmap (P4) into `pbm`, replacing its content: the rows from the top, eight pixels a
// byte, the leftmost in the most significant bit, each row padded with 0 bits to a whole byte.
// The colours are not stored (the caller refuses others than black on white). Returns false, with
// `pbm` empty, when no memory can be had.
bool ComposePbm(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* pbm);

// The plain bitmap (P1), text, into `pbm` as ComposePbm() does: a digit per pixel, each pixel row
// on lines of at most 70 digits.
bool ComposePlainPbm(int width, int height, const ModuleMatrix& modules,
                     const RenderOptions& options, std::string* pbm);

}  // namespace qr

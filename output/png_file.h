// The symbol as a PNG file: 1-bit grayscale (0 black, 1 white), a light quiet zone of `margin`
// modules on every side, each module a square of `scale` pixels. Compressed by libpng.
#pragma once

#include <string>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

// Composes the whole PNG file of `symbolSize` x `symbolSize` cells of `modules` (non-zero is dark)
// into `png`, replacing its content. Returns false, with `png` empty, when libpng fails or no
// memory can be had.
bool ComposePng(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* png);

}  // namespace qr

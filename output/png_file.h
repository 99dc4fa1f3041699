// The symbol as a PNG file: 1-bit grayscale (0 black, 1 white), a light quiet zone of 4 modules on
// every side, each module a square of `scale` pixels. Compressed by libpng.
#pragma once

#include <vector>

#include "encoder/module_matrix.h"

namespace qr {

// Composes the whole PNG file of `symbolSize` x `symbolSize` cells of `modules` (non-zero is dark)
// at `scale` (1..20) pixels per module into `png`, replacing its content. Returns false, with
// `png` empty, when libpng fails or no memory can be had.
bool ComposePng(int symbolSize, const ModuleMatrix& modules, int scale,
                std::vector<unsigned char>* png);

}  // namespace qr

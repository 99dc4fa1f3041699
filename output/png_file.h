// The symbol as a PNG file, a light quiet zone of `margin` modules on every side and each module a
// square of `scale` pixels, one bit per pixel: 1-bit grayscale (0 black, 1 white) with the default
// colours; with other colours a two-entry palette (0 dark, 1 light) and a tRNS chunk when a
// colour's alpha is below FF. A resolution gives a pHYs chunk in pixels per metre. Written and
// compressed here, or by the Windows Imaging Component in the Windows build, which writes what it
// can of the same (docs/windows.md).
#pragma once

#include <string>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

// Composes the whole PNG file of `width` x `height` cells of `modules` (non-zero is dark)
// into `png`, replacing its content. Returns false, with `png` empty, when the image library fails
// or no memory can be had.
bool ComposePng(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* png);

// The image data that ComposePng compresses, made the plain way: every pixel row by ComposeBand,
// each after its filter byte 0. Throws std::bad_alloc when no memory can be had.
std::string PlainScanlines(int width, int height, const ModuleMatrix& modules,
                           const RenderOptions& options);

}  // namespace qr

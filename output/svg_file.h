// The symbol as an SVG document: a white square with a light quiet zone of 4 modules on every side
// and one black path of the dark modules, in integer module coordinates (`viewBox`), drawn with
// crisp edges at `scale` pixels per module (`width` and `height`).
#pragma once

#include <string>

#include "encoder/qr_encoder.h"

namespace qr {

// The whole SVG document of `symbolSize` x `symbolSize` cells of `modules` (non-zero is dark) at
// `scale` pixels per module. Each horizontal run of dark modules is one closed rectangle of the
// path: "m" to its top-left corner relative to the start of the previous rectangle ("M" for the
// first), then "h<run>v1h-<run>z".
std::string ComposeSvg(int symbolSize, const ModuleMatrix& modules, int scale);

}  // namespace qr

// The symbol as an XPM3 image, C source text that X programs and image editors read: a light quiet
// zone of `margin` modules on every side, each module a square of `scale` pixels, one character a
// pixel, ' ' the light colour and '#' the dark one, each pixel row a string of its own line.
#pragma once

#include <string>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

// The whole image into `xpm`, replacing its content: "/* XPM */", the array `qr_code`, its values
// line (width, height, 2 colours, 1 character a pixel), the light and the dark colour as
// "#RRGGBB", then the rows from the top. The colours' alpha is not stored (the caller refuses
// alpha for XPM). Returns false, with `xpm` empty, when no memory can be had.
bool ComposeXpm(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* xpm);

}  // namespace qr

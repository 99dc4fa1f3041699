// The table of every format: one row each, in the order of their numbers. The numbers are the API's
// format numbers, so a new format is a new row at the end. A new format is its writer
// (output/<name>_file.cpp, which the build takes up by its name) and its row here: the API, the
// command's -t and --help, the messages and the bindings list the table.
#pragma once

#include <array>

#include "output/bmp_file.h"
#include "output/eps_file.h"
#include "output/image_format.h"
#include "output/pbm_file.h"
#include "output/pdf_file.h"
#include "output/png_file.h"
#include "output/svg_file.h"
#include "output/text_file.h"
#include "output/xpm_file.h"

namespace qr {

// The rows, with `png` this build's PNG writer (null where it has none).
constexpr auto FormatRows(ImageWriter png) {
    return std::array{
        // name, extension, binary, default scale, colours, alpha, dpi, columns per pixel, writer
        kBmpFormat,
        ImageFormatInfo{"png", "png", true, kDefaultImageScale, true, true, true, 0, png},
        ImageFormatInfo{"svg", "svg", false, kDefaultImageScale, true, true, false, 0, ComposeSvg},
        ImageFormatInfo{"txt", "txt", false, kDefaultTextScale, false, false, false, 2,
                        ComposeTextIn<TextStyle::kAscii>},
        ImageFormatInfo{"utf8", nullptr, false, kDefaultTextScale, false, false, false, 1,
                        ComposeTextIn<TextStyle::kHalfBlocks>},
        ImageFormatInfo{"ansi", nullptr, false, kDefaultTextScale, false, false, false, 2,
                        ComposeTextIn<TextStyle::kAnsi>},
        ImageFormatInfo{"eps", "eps", false, kDefaultImageScale, true, false, false, 0, ComposeEps},
        ImageFormatInfo{"pdf", "pdf", true, kDefaultImageScale, true, false, false, 0, ComposePdf},
        ImageFormatInfo{"xpm", "xpm", false, kDefaultImageScale, true, false, false, 0, ComposeXpm},
        ImageFormatInfo{"pbm", "pbm", true, kDefaultImageScale, false, false, false, 0, ComposePbm},
        ImageFormatInfo{"pbm-plain", "pbm", false, kDefaultImageScale, false, false, false, 0,
                        ComposePlainPbm},
    };
}

// The writer of `format` (IsFormat()) in the library that links this; null where this build
// cannot make the format.
inline ImageWriter WriterFor(ImageFormat format) {
    return FormatInfo(format).writer;
}

}  // namespace qr

// The symbol as an uncompressed 1-bit BMP file: a light quiet zone of `margin` modules on every
// side, each module a square of `scale` pixels, rows bottom-up and padded to 32 bits, colour 0 the
// dark colour and colour 1 the light one. With the default options these are the library's bytes:
// 4 modules of quiet zone, black and white, 3780 pixels per metre.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "encoder/module_matrix.h"
#include "output/image_format.h"
#include "output/render_options.h"

namespace qr {

constexpr int kBmpHeadersSize = 62;  // file header, information header, two-colour table

// Sizes of the file of a symbol of `width` x `height` modules at `scale` pixels per module with a
// quiet zone of `margin` modules.
struct BmpGeometry {
    int imageWidth;   // pixels across, quiet zone included
    int imageHeight;  // pixels down, quiet zone included
    int rowSize;      // bytes per row, padded to a multiple of 4
    int imageSize;    // bytes of all rows
    int fileSize;     // imageSize + 62

    static BmpGeometry Of(int width, int height, int scale, int margin = kQuietZoneModules);
};

// Composes the whole file of `width` x `height` cells of `modules` (non-zero is dark) into `file`,
// replacing its content. The colours' alpha is not stored; `dpi` 0 keeps 3780 pixels per metre.
// Returns false, with `file` empty, when no memory can be had.
bool ComposeBmp(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* file);

// Composes the file of an image of `width` x `height` pixels given pixel by pixel: `dark` holds
// width x height bytes, row by row from the top, non-zero for the dark colour. Headers and colours
// as ComposeBmp writes them. Returns false, with `file` empty, when no memory can be had.
bool ComposeBmpPixels(int width, int height, const unsigned char* dark,
                      const RenderOptions& options, std::string* file);

// BMP's row of the table of formats (output/writers.h). It stands here, beside its writer, because
// the one-export library links a table of this row alone.
constexpr ImageFormatInfo kBmpFormat = {
    // name, extension, binary, default scale, colours, alpha, dpi, columns per pixel, writer
    "bmp", "bmp", true, kDefaultImageScale, true, false, true, 0, ComposeBmp};

}  // namespace qr

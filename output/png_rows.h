// The pixel rows that both PNG writers (libpng and the Windows Imaging Component) compress: one bit
// per pixel, the leftmost pixel in the most significant bit, 1 light and 0 dark.
#pragma once

#include <cstring>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

// Bytes per pixel row of an image `side` pixels wide.
inline int PngRowBytes(int side) {
    return (side + 7) / 8;
}

// Writes into `row` (PngRowBytes() bytes) the pixels of band `band` of the image: band 0 is the
// top module row of the quiet zone, band `margin` the first row of the symbol's `symbolSize` x
// `symbolSize` cells of `modules` (non-zero is dark). Padding bits after the last pixel are 0.
inline void ComposeBand(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options,
                        int band, unsigned char* row) {
    const int scale = options.scale;
    const int margin = options.margin;
    const int side = scale * (symbolSize + 2 * margin);
    const int v = band - margin;
    std::memset(row, 0, static_cast<std::size_t>(PngRowBytes(side)));
    for (int x = 0; x < side; ++x) {
        const int u = x / scale - margin;
        const bool dark =
            v >= 0 && v < symbolSize && u >= 0 && u < symbolSize && modules[u][v] != 0;
        if (!dark) row[x >> 3] = static_cast<unsigned char>(row[x >> 3] | (0x80u >> (x & 7)));
    }
}

}  // namespace qr

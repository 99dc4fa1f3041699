// The pixel rows of the bitmap writers (PNG through libpng or the Windows Imaging Component, PBM,
// XPM): one bit per pixel, the leftmost pixel in the most significant bit, 1 light and 0 dark.
#pragma once

#include <cstring>
#include <vector>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

// Pixels per side of the image of a symbol of `symbolSize` modules: the quiet zone on both sides,
// `scale` pixels a module.
inline int ImageSide(int symbolSize, const RenderOptions& options) {
    return options.scale * (symbolSize + 2 * options.margin);
}

// Bytes per pixel row of an image `side` pixels wide.
inline int PixelRowBytes(int side) {
    return (side + 7) / 8;
}

// Writes into `row` (PixelRowBytes() bytes) the pixels of band `band` of the image: band 0 is the
// top module row of the quiet zone, band `margin` the first row of the symbol's `symbolSize` x
// `symbolSize` cells of `modules` (non-zero is dark). Padding bits after the last pixel are 0.
inline void ComposeBand(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options,
                        int band, unsigned char* row) {
    const int scale = options.scale;
    const int margin = options.margin;
    const int side = ImageSide(symbolSize, options);
    const int v = band - margin;
    std::memset(row, 0, static_cast<std::size_t>(PixelRowBytes(side)));
    for (int x = 0; x < side; ++x) {
        const int u = x / scale - margin;
        const bool dark =
            v >= 0 && v < symbolSize && u >= 0 && u < symbolSize && modules[u][v] != 0;
        if (!dark) row[x >> 3] = static_cast<unsigned char>(row[x >> 3] | (0x80u >> (x & 7)));
    }
}

// Whether pixel `x` of a row that ComposeBand() wrote is light.
inline bool LightPixel(const unsigned char* row, int x) {
    return (row[x >> 3] & (0x80u >> (x & 7))) != 0;
}

// Calls `use` with each band of the image from the top, as ComposeBand() writes it (each band is
// the first of `scale` equal pixel rows). Throws std::bad_alloc when no memory can be had.
template <typename Use>
void ForEachBand(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options,
                 Use use) {
    std::vector<unsigned char> row(
        static_cast<std::size_t>(PixelRowBytes(ImageSide(symbolSize, options))));
    for (int band = 0; band < symbolSize + 2 * options.margin; ++band) {
        ComposeBand(symbolSize, modules, options, band, row.data());
        use(row.data());
    }
}

}  // namespace qr

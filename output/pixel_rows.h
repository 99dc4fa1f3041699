// The one-bit pixel rows that the bitmap writers (BMP, PNG, PBM, XPM) store: the leftmost pixel in
// the most significant bit, 1 light and 0 dark, a light quiet zone of `margin` modules on every
// side, each module `scale` pixels wide. A band is the `scale` identical pixel rows of one module
// row; band 0 is the top module row of the quiet zone, band `margin` the symbol's first row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

// Pixels along a side of the image that `modules` modules of the symbol span, quiet zone
// included: its width for the symbol's width, its height for its height.
inline int ImageSide(int modules, const RenderOptions& options) {
    return options.scale * (modules + 2 * options.margin);
}

// Bytes that hold one pixel row of an image `side` pixels wide.
inline int PixelRowBytes(int side) {
    return (side + 7) / 8;
}

// Writes the pixel row of band `band` into `row` (PixelRowBytes() bytes), pixel by pixel; padding
// bits after the last pixel are 0. The plain rule that BandPixels follows.
void ComposeBand(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                 int band, unsigned char* row);

// The same rows as ComposeBand, a group of modules at a time: the pixels of every group of module
// colours (eight modules, fewer at scales above 4, so that they fit 32 bits) come from a table made
// once per scale and are shifted into a register, which is written 32 pixels at a time.
class BandPixels {
public:
    BandPixels(int width, int height, const ModuleMatrix& modules, const RenderOptions& options);

    // Writes the pixel row of band `band` into `row`, then zero bytes up to `rowBytes`
    // (PixelRowBytes(side) or more).
    void Compose(int band, unsigned char* row, int rowBytes) const;

private:
    int width_;
    int height_;
    const ModuleMatrix& modules_;
    int scale_;
    int margin_;
    int group_;                    // modules per group
    const std::uint32_t* pixels_;  // of each group's colours, the first module in the top bit
};

// Whether pixel `x` of a row that ComposeBand() or BandPixels wrote is light.
inline bool LightPixel(const unsigned char* row, int x) {
    return (row[x >> 3] & (0x80u >> (x & 7))) != 0;
}

// Calls `use` with each band of the image from the top, as BandPixels writes it (each band is the
// first of `scale` equal pixel rows). Throws std::bad_alloc when no memory can be had.
template <typename Use>
void ForEachBand(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                 Use use) {
    const int rowBytes = PixelRowBytes(ImageSide(width, options));
    std::vector<unsigned char> row(static_cast<std::size_t>(rowBytes));
    const BandPixels pixels(width, height, modules, options);
    for (int band = 0; band < height + 2 * options.margin; ++band) {
        pixels.Compose(band, row.data(), rowBytes);
        use(row.data());
    }
}

}  // namespace qr

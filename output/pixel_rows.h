// The one-bit pixel rows that the BMP and PNG writers store: the leftmost pixel in the most
// significant bit, 1 light and 0 dark, a light quiet zone of `margin` modules on every side, each
// module `scale` pixels wide. A band is the `scale` identical pixel rows of one module row; band 0
// is the top module row of the quiet zone, band `margin` the symbol's first row.
#pragma once

#include <cstddef>
#include <cstdint>

#include "encoder/module_matrix.h"
#include "output/render_options.h"

namespace qr {

// Pixels per side of the image, quiet zone included.
inline int ImageSide(int symbolSize, const RenderOptions& options) {
    return options.scale * (symbolSize + 2 * options.margin);
}

// Bytes that hold one pixel row of an image `side` pixels wide.
inline int PixelRowBytes(int side) {
    return (side + 7) / 8;
}

// Writes the pixel row of band `band` into `row` (PixelRowBytes() bytes), pixel by pixel; padding
// bits after the last pixel are 0. The plain rule that BandPixels follows.
void ComposeBand(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options,
                 int band, unsigned char* row);

// The same rows as ComposeBand, eight modules at a time: the pixels of each group of eight module
// colours are made once per image and copied.
class BandPixels {
public:
    BandPixels(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options);

    // Writes the pixel row of band `band` into `row`, then zero bytes up to `rowBytes`
    // (PixelRowBytes(side) or more).
    void Compose(int band, unsigned char* row, int rowBytes);

    // Bytes per table entry: the largest scale, rounded up so that a copy of a whole entry may run
    // past the `scale` bytes of a group into the next one.
    static constexpr int kEntryBytes = 24;

private:
    // The `scale` bytes of the eight modules whose colours are the bits of `light`, the first
    // module in bit 7 (1 light).
    const unsigned char* Group(unsigned light);

    int symbolSize_;
    const ModuleMatrix& modules_;
    int scale_;
    int margin_;
    int width_;   // modules per row, quiet zone included
    int groups_;  // groups of eight modules per row, the last one padded with dark modules
    std::uint64_t made_[256 / 64] = {};
    unsigned char bytes_[256][kEntryBytes];
    // One row of module colours, 1 light: the quiet zones, the modules, then 0 (dark) to a whole
    // number of groups of eight, whose pixels fall into the padding.
    unsigned char light_[kMaxSymbolSize + 2 * kMaxMargin + 8];
};

}  // namespace qr

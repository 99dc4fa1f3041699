// Drawings as pixels: each layer painted by the exact area its path covers in each pixel (curves
// cut into lines no further than 1/64 pixel from them), or, for images of two colours, wholly in
// the pixels whose centres it covers. The same pixels serve the PNG and BMP writers and the
// verification of what they wrote.
#pragma once

#include <vector>

#include "output/drawing.h"
#include "output/render_options.h"

namespace qr {

// Pixels as 0xRRGGBBAA with straight alpha, row by row from the top.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;

    Rgba At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

enum class EdgeRule {
    kCoverage,     // a pixel takes a layer's paint in the share of its area that the path covers
    kPixelCentre,  // a pixel takes a layer's paint wholly when its centre lies inside the path
};

// `drawing` at `scale` pixels per module, over transparent pixels: every layer in order, then the
// logo resampled into its box (each pixel whose centre lies in the box takes the average of the
// logo's pixels under it). A gradient's colour is taken at each pixel's centre. Throws
// std::bad_alloc when no memory can be had.
RgbaImage Rasterise(const Drawing& drawing, int scale, EdgeRule rule);

// `top` laid over `bottom` (straight alpha), each component rounded.
Rgba Over(Rgba top, Rgba bottom);

}  // namespace qr

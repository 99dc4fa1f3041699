// PNG images read back into pixels, for logos: every colour type and bit depth the format has,
// palettes and tRNS transparency, interlaced or not. Chunks are checked by their CRC; ancillary
// chunks other than tRNS are skipped (colour spaces and gamma included: pixels are taken as they
// are stored).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "output/render_options.h"

namespace qr {

struct PngPixels {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;  // row by row from the top, 0xRRGGBBAA with straight alpha
};

// Decodes the PNG file of `size` bytes at `bytes` into `image`. Returns false with one line in
// `why` when it is no PNG file, is malformed or cut short, a chunk's CRC is wrong, or either side
// is longer than `maxSide` pixels (checked before any pixel is inflated). Throws std::bad_alloc
// when no memory can be had.
bool ReadPng(const unsigned char* bytes, std::size_t size, int maxSide, PngPixels* image,
             std::string* why);

}  // namespace qr

// Pixel rows of module rows, by the pixel and by the module.
#include "output/pixel_rows.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace qr {

void ComposeBand(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                 int band, unsigned char* row) {
    const int scale = options.scale;
    const int margin = options.margin;
    const int side = ImageSide(width, options);
    const int v = band - margin;
    std::memset(row, 0, static_cast<std::size_t>(PixelRowBytes(side)));
    for (int x = 0; x < side; ++x) {
        const int u = x / scale - margin;
        const bool dark = v >= 0 && v < height && u >= 0 && u < width && modules[u][v] != 0;
        if (!dark) row[x >> 3] = static_cast<unsigned char>(row[x >> 3] | (0x80u >> (x & 7)));
    }
}

BandPixels::BandPixels(int width, int height, const ModuleMatrix& modules,
                       const RenderOptions& options)
    : width_(width),
      height_(height),
      modules_(modules),
      scale_(options.scale),
      margin_(options.margin),
      group_(std::min(8, 32 / options.scale)) {
    const std::uint32_t lightModule = (std::uint32_t{1} << scale_) - 1;
    for (unsigned light = 0; light < (1u << group_); ++light) {
        pixels_[light] = (pixels_[light >> 1] << scale_) | (light & 1 ? lightModule : 0);
    }
}

void BandPixels::Compose(int band, unsigned char* row, int rowBytes) const {
    // The row's module colours, 1 light: quiet zone, modules, quiet zone, then dark to a whole
    // number of groups.
    const int v = band - margin_;
    const int width = width_ + 2 * margin_;
    unsigned char light[kMaxSymbolSize + 2 * kMaxMargin + 8];
    std::memset(light, 1, static_cast<std::size_t>(width));
    std::memset(light + width, 0, 8);
    if (v >= 0 && v < height_) {
        for (int u = 0; u < width_; ++u) light[margin_ + u] = modules_[u][v] == 0;
    }
    // Written whole words at a time into room for the padding group, then copied.
    unsigned char pixels[(kMaxSymbolSize + 2 * kMaxMargin + 8) * kMaxScale / 8 + 8];
    unsigned char* out = pixels;
    std::uint64_t pending = 0;  // pixels not yet written, the last in the lowest bit
    int pendingBits = 0;
    const int groupBits = group_ * scale_;
    for (int m = 0; m < width; m += group_) {
        unsigned colours = 0;
        for (int j = 0; j < group_; ++j) colours = colours << 1 | light[m + j];
        pending = pending << groupBits | pixels_[colours];
        pendingBits += groupBits;
        if (pendingBits >= 32) {
            pendingBits -= 32;
            const auto word = static_cast<std::uint32_t>(pending >> pendingBits);
            out[0] = static_cast<unsigned char>(word >> 24);
            out[1] = static_cast<unsigned char>(word >> 16);
            out[2] = static_cast<unsigned char>(word >> 8);
            out[3] = static_cast<unsigned char>(word);
            out += 4;
        }
    }
    // The last group's padding modules are dark: zero bits, cut at the row's end.
    while (pendingBits > 0) {
        *out++ = static_cast<unsigned char>(pendingBits >= 8 ? pending >> (pendingBits - 8)
                                                             : pending << (8 - pendingBits));
        pendingBits -= 8;
    }
    const int side = scale_ * width;
    const int bytes = (side + 7) / 8;
    std::memcpy(row, pixels, static_cast<std::size_t>(bytes));
    if (side % 8 != 0) row[bytes - 1] &= static_cast<unsigned char>(0xFF00u >> (side % 8));
    std::memset(row + bytes, 0, static_cast<std::size_t>(rowBytes - bytes));
}

}  // namespace qr

// Pixel rows of module rows, by the pixel and by the module.
#include "output/pixel_rows.h"

#include <cstdint>
#include <cstring>

namespace qr {

void ComposeBand(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options,
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

BandPixels::BandPixels(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options)
    : symbolSize_(symbolSize), modules_(modules), scale_(options.scale), margin_(options.margin) {}

void BandPixels::Compose(int band, unsigned char* row, int rowBytes) const {
    const int v = band - margin_;
    const bool symbolRow = v >= 0 && v < symbolSize_;
    const std::uint64_t lightModule = (std::uint64_t{1} << scale_) - 1;
    unsigned char* out = row;
    std::uint64_t pending = 0;  // pixels not yet written, the last in the lowest bit
    int pendingBits = 0;
    auto put = [&](std::uint64_t pixels) {
        pending = pending << scale_ | pixels;
        pendingBits += scale_;
        if (pendingBits >= 32) {
            pendingBits -= 32;
            const auto word = static_cast<std::uint32_t>(pending >> pendingBits);
            out[0] = static_cast<unsigned char>(word >> 24);
            out[1] = static_cast<unsigned char>(word >> 16);
            out[2] = static_cast<unsigned char>(word >> 8);
            out[3] = static_cast<unsigned char>(word);
            out += 4;
        }
    };
    for (int m = 0; m < margin_; ++m) put(lightModule);
    if (symbolRow) {
        for (int u = 0; u < symbolSize_; ++u) put(modules_[u][v] != 0 ? 0 : lightModule);
    } else {
        for (int u = 0; u < symbolSize_; ++u) put(lightModule);
    }
    for (int m = 0; m < margin_; ++m) put(lightModule);
    while (pendingBits >= 8) {
        pendingBits -= 8;
        *out++ = static_cast<unsigned char>(pending >> pendingBits);
    }
    if (pendingBits > 0) *out++ = static_cast<unsigned char>(pending << (8 - pendingBits));
    std::memset(out, 0, static_cast<std::size_t>(row + rowBytes - out));
}

}  // namespace qr

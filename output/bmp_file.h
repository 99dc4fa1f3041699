// The symbol as an uncompressed 1-bit BMP file: a light quiet zone of 4 modules on every side,
// each module a square of `scale` pixels, rows bottom-up and padded to 32 bits, colour 0 black and
// colour 1 white.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "encoder/module_matrix.h"

namespace qr {

constexpr int kQuietZoneModules = 4;
constexpr int kBmpHeadersSize = 62;  // file header, information header, two-colour table

// Sizes of the file of a symbol of `symbolSize` modules at `scale` pixels per module.
struct BmpGeometry {
    int imageSide;  // pixels per side, quiet zone included
    int rowSize;    // bytes per row, padded to a multiple of 4
    int imageSize;  // bytes of all rows
    int fileSize;   // imageSize + 62

    static BmpGeometry Of(int symbolSize, int scale);
};

class BmpImage {
public:
    // Composes the whole file of `symbolSize` x `symbolSize` cells of `modules` (non-zero is
    // dark). Returns false when no memory can be had for it.
    bool Compose(int symbolSize, const ModuleMatrix& modules, int scale);

    // Creates or replaces the file at `path` with the composed bytes, never leaving a partial
    // file. Returns false when the file cannot be written.
    bool WriteTo(const char* path) const;

    const unsigned char* Bytes() const { return bytes_.get(); }
    std::size_t Size() const { return size_; }

private:
    std::unique_ptr<unsigned char[]> bytes_;
    std::size_t size_ = 0;
};

}  // namespace qr

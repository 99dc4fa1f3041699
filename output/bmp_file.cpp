// Composes the BMP bytes directly: each module row becomes one pixel row, which is then copied
// to the other `scale` - 1 rows of its band.
#include "output/bmp_file.h"

#include <cstring>
#include <new>

#include "platform/file_io.h"

namespace qr {

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kPixelsPerMetre = 3780;  // 96 dots per inch
constexpr unsigned char COLOUR_TABLE[8] = {0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00};

void Put16(unsigned char* at, unsigned value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void Put32(unsigned char* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

void WriteHeaders(unsigned char* file, const BmpGeometry& g) {
    file[0] = 'B';
    file[1] = 'M';
    Put32(file + 2, g.fileSize);
    Put32(file + 10, kBmpHeadersSize);
    unsigned char* info = file + kFileHeaderSize;
    Put32(info + 0, kInfoHeaderSize);
    Put32(info + 4, g.imageSide);
    Put32(info + 8, g.imageSide);  // positive: rows bottom-up
    Put16(info + 12, 1);           // planes
    Put16(info + 14, 1);           // bits per pixel
    Put32(info + 20, g.imageSize);
    Put32(info + 24, kPixelsPerMetre);
    Put32(info + 28, kPixelsPerMetre);
    std::memcpy(file + kFileHeaderSize + kInfoHeaderSize, COLOUR_TABLE, sizeof COLOUR_TABLE);
}

// Sets the bits of pixels [from, to) of a zeroed row: 1 is white.
void SetWhite(unsigned char* row, int from, int to) {
    for (int x = from; x < to; ++x) row[x >> 3] |= static_cast<unsigned char>(0x80u >> (x & 7));
}

}  // namespace

BmpGeometry BmpGeometry::Of(int symbolSize, int scale) {
    BmpGeometry g;
    g.imageSide = scale * (symbolSize + 2 * kQuietZoneModules);
    g.rowSize = (g.imageSide + 31) / 32 * 4;
    g.imageSize = g.rowSize * g.imageSide;
    g.fileSize = g.imageSize + kBmpHeadersSize;
    return g;
}

bool BmpImage::Compose(int symbolSize, const ModuleMatrix& modules, int scale) {
    const BmpGeometry g = BmpGeometry::Of(symbolSize, scale);
    bytes_.reset(new (std::nothrow) unsigned char[g.fileSize]());
    if (!bytes_) return false;
    size_ = static_cast<std::size_t>(g.fileSize);
    unsigned char* file = bytes_.get();
    WriteHeaders(file, g);

    const int width = symbolSize + 2 * kQuietZoneModules;
    unsigned char* rows = file + kBmpHeadersSize;
    for (int r = 0; r < width; ++r) {
        // Band r of the image (top first) holds file rows counted from the bottom.
        unsigned char* first = rows + static_cast<std::size_t>(g.imageSide - 1 - r * scale) * g.rowSize;
        const int v = r - kQuietZoneModules;
        if (v < 0 || v >= symbolSize) {
            SetWhite(first, 0, g.imageSide);
        } else {
            SetWhite(first, 0, kQuietZoneModules * scale);
            for (int u = 0; u < symbolSize; ++u) {
                if (modules[u][v] == 0) {
                    const int x = (u + kQuietZoneModules) * scale;
                    SetWhite(first, x, x + scale);
                }
            }
            SetWhite(first, (symbolSize + kQuietZoneModules) * scale, g.imageSide);
        }
        for (int t = 1; t < scale; ++t) std::memcpy(first - static_cast<std::size_t>(t) * g.rowSize, first, g.rowSize);
    }
    return true;
}

bool BmpImage::WriteTo(const char* path) const {
    return bytes_ && platform::ReplaceFile(path, bytes_.get(), size_);
}

}  // namespace qr

// Composes the BMP bytes directly: each module row becomes one pixel row (BandPixels), which is
// then copied to the other `scale` - 1 rows of its band.
#include "output/bmp_file.h"

#include <cstring>
#include <new>

#include "output/pixel_rows.h"

namespace qr {

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr std::uint32_t kDefaultPixelsPerMetre = 3780;  // 96 dots per inch

void Put16(unsigned char* at, unsigned value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void Put32(unsigned char* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

// A colour table entry: blue, green, red, and a reserved 0.
void PutColour(unsigned char* at, Rgba colour) {
    at[0] = static_cast<unsigned char>(BlueOf(colour));
    at[1] = static_cast<unsigned char>(GreenOf(colour));
    at[2] = static_cast<unsigned char>(RedOf(colour));
    at[3] = 0;
}

void WriteHeaders(unsigned char* file, const BmpGeometry& g, const RenderOptions& options) {
    file[0] = 'B';
    file[1] = 'M';
    Put32(file + 2, g.fileSize);
    Put32(file + 10, kBmpHeadersSize);
    unsigned char* info = file + kFileHeaderSize;
    Put32(info + 0, kInfoHeaderSize);
    Put32(info + 4, g.imageWidth);
    Put32(info + 8, g.imageHeight);  // positive: rows bottom-up
    Put16(info + 12, 1);             // planes
    Put16(info + 14, 1);             // bits per pixel
    Put32(info + 20, g.imageSize);
    const std::uint32_t pixelsPerMetre =
        options.dpi == 0 ? kDefaultPixelsPerMetre : PixelsPerMetre(options.dpi);
    Put32(info + 24, pixelsPerMetre);
    Put32(info + 28, pixelsPerMetre);
    PutColour(file + kFileHeaderSize + kInfoHeaderSize, options.dark);
    PutColour(file + kFileHeaderSize + kInfoHeaderSize + 4, options.light);
}

}  // namespace

BmpGeometry BmpGeometry::Of(int width, int height, int scale, int margin) {
    BmpGeometry g;
    g.imageWidth = scale * (width + 2 * margin);
    g.imageHeight = scale * (height + 2 * margin);
    g.rowSize = (g.imageWidth + 31) / 32 * 4;
    g.imageSize = g.rowSize * g.imageHeight;
    g.fileSize = g.imageSize + kBmpHeadersSize;
    return g;
}

// Each module row is composed once, as the first file row of its band of `scale` rows, and copied
// to the others; the quiet rows are one composed row copied.
bool ComposeBmp(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* bytes) {
    const int scale = options.scale;
    const int margin = options.margin;
    const BmpGeometry g = BmpGeometry::Of(width, height, scale, margin);
    try {
        bytes->resize(static_cast<std::size_t>(g.fileSize));
    } catch (const std::bad_alloc&) {
        bytes->clear();
        return false;
    }
    unsigned char* file = reinterpret_cast<unsigned char*>(&(*bytes)[0]);
    std::memset(file, 0, kBmpHeadersSize);
    WriteHeaders(file, g, options);

    const int bands = height + 2 * margin;
    unsigned char* rows = file + kBmpHeadersSize;
    // Band r of the image (top first) holds file rows counted from the bottom.
    auto bandFirst = [&](int r) {
        return rows + static_cast<std::size_t>(g.imageHeight - 1 - r * scale) * g.rowSize;
    };
    BandPixels pixels(width, height, modules, options);
    for (int r = 0; r < bands; ++r) {
        unsigned char* first = bandFirst(r);
        const int v = r - margin;
        if (r > 0 && (v < 0 || v >= height)) {
            std::memcpy(first, bandFirst(0), g.rowSize);  // a quiet row, as composed in band 0
        } else {
            pixels.Compose(r, first, g.rowSize);
        }
        for (int t = 1; t < scale; ++t) {
            std::memcpy(first - static_cast<std::size_t>(t) * g.rowSize, first, g.rowSize);
        }
    }
    return true;
}

bool ComposeBmpPixels(int width, int height, const unsigned char* dark,
                      const RenderOptions& options, std::string* bytes) {
    const BmpGeometry g = BmpGeometry::Of(width, height, 1, 0);
    try {
        bytes->assign(static_cast<std::size_t>(g.fileSize), '\0');
    } catch (const std::bad_alloc&) {
        bytes->clear();
        return false;
    }
    unsigned char* file = reinterpret_cast<unsigned char*>(&(*bytes)[0]);
    WriteHeaders(file, g, options);
    for (int y = 0; y < height; ++y) {
        unsigned char* row =
            file + kBmpHeadersSize + static_cast<std::size_t>(height - 1 - y) * g.rowSize;
        const unsigned char* pixels = dark + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            if (pixels[x] == 0) row[x >> 3] |= static_cast<unsigned char>(0x80u >> (x & 7));
        }
    }
    return true;
}

}  // namespace qr

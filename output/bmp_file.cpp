// Composes the BMP bytes directly: each module row becomes one pixel row, written 32 pixels at a
// time, which is then copied to the other `scale` - 1 rows of its band.
#include "output/bmp_file.h"

#include <cstring>
#include <new>

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
    Put32(info + 4, g.imageSide);
    Put32(info + 8, g.imageSide);  // positive: rows bottom-up
    Put16(info + 12, 1);           // planes
    Put16(info + 14, 1);           // bits per pixel
    Put32(info + 20, g.imageSize);
    const std::uint32_t pixelsPerMetre =
        options.dpi == 0 ? kDefaultPixelsPerMetre : PixelsPerMetre(options.dpi);
    Put32(info + 24, pixelsPerMetre);
    Put32(info + 28, pixelsPerMetre);
    PutColour(file + kFileHeaderSize + kInfoHeaderSize, options.dark);
    PutColour(file + kFileHeaderSize + kInfoHeaderSize + 4, options.light);
}

// Writes one pixel row left to right, most significant bit first, 32 pixels at a time through a
// 64-bit register; 1 is white.
class PixelRow {
public:
    explicit PixelRow(unsigned char* row) : out_(row) {}

    // `count` pixels of one colour.
    void Put(int count, bool white) {
        while (count > 0) {
            const int n = count < kFlushBits ? count : kFlushBits;
            pending_ = (pending_ << n) | (white ? (std::uint64_t{1} << n) - 1 : 0);
            pendingBits_ += n;
            count -= n;
            if (pendingBits_ >= kFlushBits) {
                pendingBits_ -= kFlushBits;
                const auto word = static_cast<std::uint32_t>(pending_ >> pendingBits_);
                for (int i = 0; i < 4; ++i)
                    *out_++ = static_cast<unsigned char>(word >> (24 - 8 * i));
            }
        }
    }

    // Writes the pixels still held and zero bits up to the end of `row` + `rowSize`.
    void Finish(const unsigned char* row, int rowSize) {
        while (pendingBits_ >= 8) {
            pendingBits_ -= 8;
            *out_++ = static_cast<unsigned char>(pending_ >> pendingBits_);
        }
        if (pendingBits_ > 0) *out_++ = static_cast<unsigned char>(pending_ << (8 - pendingBits_));
        std::memset(out_, 0, static_cast<std::size_t>(row + rowSize - out_));
    }

private:
    static constexpr int kFlushBits = 32;

    unsigned char* out_;
    std::uint64_t pending_ = 0;
    int pendingBits_ = 0;
};

}  // namespace

BmpGeometry BmpGeometry::Of(int symbolSize, int scale, int margin) {
    BmpGeometry g;
    g.imageSide = scale * (symbolSize + 2 * margin);
    g.rowSize = (g.imageSide + 31) / 32 * 4;
    g.imageSize = g.rowSize * g.imageSide;
    g.fileSize = g.imageSize + kBmpHeadersSize;
    return g;
}

// The pixels of eight modules in a row at `scale` pixels each: exactly `scale` bytes. Entries are
// made the first time their eight modules occur.
class EightModulePixels {
public:
    explicit EightModulePixels(int scale) : scale_(scale) {}

    // The `scale` bytes of the eight modules whose colours are the bits of `white`, the first
    // module in bit 7 (1 white).
    const unsigned char* Of(unsigned white) {
        unsigned char* entry = bytes_[white];
        if (!((made_[white / 64] >> (white % 64)) & 1)) {
            PixelRow row(entry);
            for (int i = 7; i >= 0; --i) row.Put(scale_, (white >> i) & 1);
            row.Finish(entry, scale_);
            made_[white / 64] |= std::uint64_t{1} << (white % 64);
        }
        return entry;
    }

    // Bytes per entry: the largest scale, rounded up so that a copy of a whole entry may run past
    // the `scale` bytes of a group into the next one.
    static constexpr int kEntryBytes = 24;

private:
    int scale_;
    std::uint64_t made_[256 / 64] = {};
    unsigned char bytes_[256][kEntryBytes];
};

// Each module row is composed once, as the first file row of its band of `scale` rows, eight
// modules (quiet zone included) at a time, and copied to the others; the quiet rows are one
// composed row copied.
bool ComposeBmp(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* bytes) {
    const int scale = options.scale;
    const int margin = options.margin;
    const BmpGeometry g = BmpGeometry::Of(symbolSize, scale, margin);
    try {
        bytes->resize(static_cast<std::size_t>(g.fileSize));
    } catch (const std::bad_alloc&) {
        bytes->clear();
        return false;
    }
    unsigned char* file = reinterpret_cast<unsigned char*>(&(*bytes)[0]);
    std::memset(file, 0, kBmpHeadersSize);
    WriteHeaders(file, g, options);

    const int width = symbolSize + 2 * margin;
    unsigned char* rows = file + kBmpHeadersSize;
    // Band r of the image (top first) holds file rows counted from the bottom.
    auto bandFirst = [&](int r) {
        return rows + static_cast<std::size_t>(g.imageSide - 1 - r * scale) * g.rowSize;
    };
    EightModulePixels pixels(scale);
    // One row of module colours, 1 light: the quiet zones, the modules, then 0 (dark) to a whole
    // number of groups of eight, whose pixels are the zero padding.
    const int groups = (width + 7) / 8;
    unsigned char light[kMaxSymbolSize + 2 * kMaxMargin + 8];
    std::memset(light, 1, static_cast<std::size_t>(width));
    std::memset(light + width, 0, static_cast<std::size_t>(groups * 8 - width));
    for (int r = 0; r < width; ++r) {
        unsigned char* first = bandFirst(r);
        const int v = r - margin;
        if (r > 0 && (v < 0 || v >= symbolSize)) {
            std::memcpy(first, bandFirst(0), g.rowSize);  // a quiet row, as composed in band 0
        } else {
            if (v >= 0) {
                for (int u = 0; u < symbolSize; ++u) {
                    light[margin + u] = modules[u][v] == 0 ? 1 : 0;
                }
            }
            // Every group but the last is copied whole; the next group overwrites what runs over.
            int at = 0;
            for (int m = 0; m < groups; ++m) {
                unsigned white = 0;
                for (int i = 0; i < 8; ++i) white = white << 1 | light[8 * m + i];
                const unsigned char* group = pixels.Of(white);
                const int room = g.rowSize - at;
                if (m + 1 < groups && room >= EightModulePixels::kEntryBytes) {
                    std::memcpy(first + at, group, EightModulePixels::kEntryBytes);
                    at += scale;
                } else {
                    const int n = room < scale ? room : scale;
                    std::memcpy(first + at, group, n);
                    at += n;
                }
            }
            std::memset(first + at, 0, g.rowSize - at);
        }
        for (int t = 1; t < scale; ++t) {
            std::memcpy(first - static_cast<std::size_t>(t) * g.rowSize, first, g.rowSize);
        }
    }
    return true;
}

bool ComposeBmpPixels(int side, const unsigned char* dark, const RenderOptions& options,
                      std::string* bytes) {
    const BmpGeometry g = BmpGeometry::Of(side, 1, 0);
    try {
        bytes->assign(static_cast<std::size_t>(g.fileSize), '\0');
    } catch (const std::bad_alloc&) {
        bytes->clear();
        return false;
    }
    unsigned char* file = reinterpret_cast<unsigned char*>(&(*bytes)[0]);
    WriteHeaders(file, g, options);
    for (int y = 0; y < side; ++y) {
        unsigned char* row =
            file + kBmpHeadersSize + static_cast<std::size_t>(side - 1 - y) * g.rowSize;
        const unsigned char* pixels = dark + static_cast<std::size_t>(y) * side;
        PixelRow put(row);
        for (int x = 0; x < side; ++x) put.Put(1, pixels[x] == 0);
        put.Finish(row, g.rowSize);
    }
    return true;
}

}  // namespace qr

// Pixel rows of module rows, by the pixel and eight modules at a time.
#include "output/pixel_rows.h"

#include <cstring>

namespace qr {

namespace {

// Writes one pixel row left to right, most significant bit first, 32 pixels at a time through a
// 64-bit register; 1 is light.
class PixelRow {
public:
    explicit PixelRow(unsigned char* row) : out_(row) {}

    // `count` pixels of one colour.
    void Put(int count, bool light) {
        while (count > 0) {
            const int n = count < kFlushBits ? count : kFlushBits;
            pending_ = (pending_ << n) | (light ? (std::uint64_t{1} << n) - 1 : 0);
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
    : symbolSize_(symbolSize),
      modules_(modules),
      scale_(options.scale),
      margin_(options.margin),
      width_(symbolSize + 2 * options.margin),
      groups_((width_ + 7) / 8) {
    std::memset(light_, 1, static_cast<std::size_t>(width_));
    std::memset(light_ + width_, 0, static_cast<std::size_t>(groups_ * 8 - width_));
}

const unsigned char* BandPixels::Group(unsigned light) {
    unsigned char* entry = bytes_[light];
    if (!((made_[light / 64] >> (light % 64)) & 1)) {
        PixelRow row(entry);
        for (int i = 7; i >= 0; --i) row.Put(scale_, (light >> i) & 1);
        row.Finish(entry, scale_);
        made_[light / 64] |= std::uint64_t{1} << (light % 64);
    }
    return entry;
}

void BandPixels::Compose(int band, unsigned char* row, int rowBytes) {
    const int v = band - margin_;
    const bool symbolRow = v >= 0 && v < symbolSize_;
    for (int u = 0; u < symbolSize_; ++u) {
        light_[margin_ + u] = symbolRow && modules_[u][v] != 0 ? 0 : 1;
    }
    // Every group but the last is copied whole; the next group overwrites what runs over.
    int at = 0;
    for (int m = 0; m < groups_; ++m) {
        unsigned light = 0;
        for (int i = 0; i < 8; ++i) light = light << 1 | light_[8 * m + i];
        const unsigned char* group = Group(light);
        const int room = rowBytes - at;
        if (m + 1 < groups_ && room >= kEntryBytes) {
            std::memcpy(row + at, group, kEntryBytes);
            at += scale_;
        } else {
            const int n = room < scale_ ? room : scale_;
            std::memcpy(row + at, group, static_cast<std::size_t>(n));
            at += n;
        }
    }
    std::memset(row + at, 0, static_cast<std::size_t>(rowBytes - at));
}

}  // namespace qr

// Pixel rows of module rows, by the pixel and by the module.
#include "output/pixel_rows.h"

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

namespace {

// Modules per group at `scale`: eight, or as many as fit 32 pixels.
constexpr int GroupOf(int scale) {
    return 32 / scale < 8 ? 32 / scale : 8;
}

constexpr int GroupTableEntries() {
    int entries = 0;
    for (int scale = kMinScale; scale <= kMaxScale; ++scale) entries += 1 << GroupOf(scale);
    return entries;
}

// The pixels of every group of module colours (1 light, the first module in the top bit) at each
// scale, one table after the other; offset[scale] is where that scale's table begins.
struct GroupTables {
    int offset[kMaxScale + 1];
    std::uint32_t pixels[GroupTableEntries()];
};

constexpr GroupTables MakeGroupTables() {
    GroupTables t{};
    int at = 0;
    for (int scale = kMinScale; scale <= kMaxScale; ++scale) {
        t.offset[scale] = at;
        const std::uint32_t lightModule = (std::uint32_t{1} << scale) - 1;
        for (unsigned light = 0; light < (1u << GroupOf(scale)); ++light) {
            t.pixels[at + static_cast<int>(light)] =
                (light > 1 ? t.pixels[at + static_cast<int>(light >> 1)] << scale : 0) |
                (light & 1 ? lightModule : 0);
        }
        at += 1 << GroupOf(scale);
    }
    return t;
}
constexpr GroupTables GROUP_TABLES = MakeGroupTables();

}  // namespace

BandPixels::BandPixels(int width, int height, const ModuleMatrix& modules,
                       const RenderOptions& options)
    : width_(width),
      height_(height),
      modules_(modules),
      scale_(options.scale),
      margin_(options.margin),
      group_(GroupOf(options.scale)),
      pixels_(&GROUP_TABLES.pixels[GROUP_TABLES.offset[options.scale]]) {}

void BandPixels::Compose(int band, unsigned char* row, int rowBytes) const {
    const int v = band - margin_;
    const int width = width_ + 2 * margin_;
    const int side = scale_ * width;
    const int bytes = (side + 7) / 8;
    const unsigned char lastMask = static_cast<unsigned char>(0xFF00u >> (side % 8));
    std::memset(row + bytes, 0, static_cast<std::size_t>(rowBytes - bytes));
    if (v < 0 || v >= height_) {  // a row of the quiet zone: every pixel light
        std::memset(row, 0xFF, static_cast<std::size_t>(bytes));
        if (side % 8 != 0) row[bytes - 1] = lastMask;
        return;
    }
    // The row's module colours, 1 light: quiet zone, modules, quiet zone, then dark to a whole
    // number of groups.
    unsigned char light[kMaxSymbolSize + 2 * kMaxMargin + 8];
    std::memset(light, 1, static_cast<std::size_t>(margin_));
    for (int u = 0; u < width_; ++u) light[margin_ + u] = modules_[u][v] == 0;
    std::memset(light + margin_ + width_, 1, static_cast<std::size_t>(margin_));
    std::memset(light + width, 0, 8);
    // Each group's colours gathered by one multiplication of its eight bytes (byte i of eight
    // 0/1 bytes lands in bit 7 - i of the top byte), its pixels shifted into a register that is
    // written whole words at a time into room for the padding group, then copied.
    constexpr std::uint64_t kGather = 0x8040201008040201u;
    unsigned char pixels[(kMaxSymbolSize + 2 * kMaxMargin + 8) * kMaxScale / 8 + 8];
    unsigned char* out = pixels;
    std::uint64_t pending = 0;  // pixels not yet written, the last in the lowest bit
    int pendingBits = 0;
    const int groupBits = group_ * scale_;
    const int unused = 8 - group_;  // of the eight bits gathered
    for (int m = 0; m < width; m += group_) {
        std::uint64_t eight;  // light[m] in the lowest byte
        std::memcpy(&eight, light + m, sizeof eight);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        eight = __builtin_bswap64(eight);
#endif
        const auto colours = static_cast<unsigned>((eight * kGather) >> 56) >> unused;
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
    std::memcpy(row, pixels, static_cast<std::size_t>(bytes));
    if (side % 8 != 0) row[bytes - 1] &= lastMask;
}

}  // namespace qr

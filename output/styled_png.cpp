// Styled PNG: the drawing's pixels with their edges anti-aliased, 8 bits per component, RGB when
// every pixel is opaque, else RGBA. Every row after the first is stored as its difference from
// the row above (filter type 2), so the rows that repeat inside a module become zeros, and the
// whole is compressed by DeflateData.
#include <new>
#include <vector>

#include "output/deflate_data.h"
#include "output/png_chunks.h"
#include "output/raster.h"
#include "output/styled.h"

namespace qr {

namespace {

constexpr int kBitDepth = 8;
constexpr int kColourRgb = 2;
constexpr int kColourRgba = 6;
constexpr unsigned char kFilterNone = 0;
constexpr unsigned char kFilterUp = 2;

}  // namespace

bool WriteStyledPng(const Drawing& drawing, int unit, const RenderOptions& options,
                    std::string* out) {
    out->clear();
    const RgbaImage image = Rasterise(drawing, unit, EdgeRule::kCoverage);
    bool opaque = true;
    for (const Rgba pixel : image.pixels) opaque = opaque && Opaque(pixel);
    const std::size_t channels = opaque ? 3 : 4;
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * channels;
    std::vector<unsigned char> rows(static_cast<std::size_t>(image.height) * (1 + rowBytes));
    for (int y = 0; y < image.height; ++y) {
        unsigned char* row = &rows[static_cast<std::size_t>(y) * (1 + rowBytes)];
        row[0] = y == 0 ? kFilterNone : kFilterUp;
        for (int x = 0; x < image.width; ++x) {
            const Rgba pixel = image.pixels[static_cast<std::size_t>(y) * image.width + x];
            unsigned char* p = row + 1 + static_cast<std::size_t>(x) * channels;
            p[0] = static_cast<unsigned char>(RedOf(pixel));
            p[1] = static_cast<unsigned char>(GreenOf(pixel));
            p[2] = static_cast<unsigned char>(BlueOf(pixel));
            if (channels == 4) p[3] = static_cast<unsigned char>(AlphaOf(pixel));
        }
    }
    // Differences from the row above, from the bottom up so that each row still has its own
    // pixels above it when it is changed.
    for (int y = image.height - 1; y > 0; --y) {
        unsigned char* row = &rows[static_cast<std::size_t>(y) * (1 + rowBytes)] + 1;
        const unsigned char* above = row - (1 + rowBytes);
        for (std::size_t i = 0; i < rowBytes; ++i) {
            row[i] = static_cast<unsigned char>(row[i] - above[i]);
        }
    }
    std::string header;
    PutBig32(&header, static_cast<std::uint32_t>(image.width));
    PutBig32(&header, static_cast<std::uint32_t>(image.height));
    header += static_cast<char>(kBitDepth);
    header += static_cast<char>(opaque ? kColourRgb : kColourRgba);
    header += std::string(3, '\0');  // deflate, filters of type 0-4, no interlace
    std::string data;
    DeflateData(rows.data(), rows.size(), &data);

    out->assign(reinterpret_cast<const char*>(kPngSignature), sizeof kPngSignature);
    AppendPngChunk(out, "IHDR", header);
    if (options.dpi != 0) AppendPngChunk(out, "pHYs", PngResolution(options.dpi));
    AppendPngChunk(out, "IDAT", data);
    AppendPngChunk(out, "IEND", "");
    return true;
}

}  // namespace qr

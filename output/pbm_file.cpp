// PBM files from the pixel rows the bitmap writers share; PBM's 1 is black, their 1 light.
#include "output/pbm_file.h"

#include <new>

#include "output/pixel_rows.h"

namespace qr {

namespace {

// Netpbm asks plain files to keep lines to 70 characters.
constexpr int kPlainLineDigits = 70;

std::string Header(const char* magic, int side) {
    return std::string(magic) + "\n" + std::to_string(side) + " " + std::to_string(side) + "\n";
}

}  // namespace

bool ComposePbm(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* out) try {
    const int side = ImageSide(symbolSize, options);
    const int rowBytes = PixelRowBytes(side);
    // The bits of the last byte that are pixels; the padding after them stays 0.
    const auto lastByteMask =
        static_cast<unsigned char>(side % 8 == 0 ? 0xFF : 0xFF << (8 - side % 8));
    std::string pbm = Header("P4", side);
    pbm.reserve(pbm.size() + static_cast<std::size_t>(rowBytes) * side);
    std::string line(static_cast<std::size_t>(rowBytes), '\0');
    ForEachBand(symbolSize, modules, options, [&](const unsigned char* row) {
        for (int i = 0; i < rowBytes; ++i) line[i] = static_cast<char>(~row[i]);
        line.back() = static_cast<char>(line.back() & lastByteMask);
        for (int t = 0; t < options.scale; ++t) pbm += line;
    });
    out->swap(pbm);
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

bool ComposePlainPbm(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options,
                     std::string* out) try {
    const int side = ImageSide(symbolSize, options);
    std::string pbm = Header("P1", side);
    std::string line;
    ForEachBand(symbolSize, modules, options, [&](const unsigned char* row) {
        line.clear();
        for (int x = 0; x < side; ++x) {
            line += LightPixel(row, x) ? '0' : '1';
            if ((x + 1) % kPlainLineDigits == 0 || x + 1 == side) line += '\n';
        }
        for (int t = 0; t < options.scale; ++t) pbm += line;
    });
    out->swap(pbm);
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace qr

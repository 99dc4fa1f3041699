// PBM files from the pixel rows the bitmap writers share; PBM's 1 is black, their 1 light.
#include "output/pbm_file.h"

#include <new>

#include "output/pixel_rows.h"

namespace qr {

namespace {

// Netpbm asks plain files to keep lines to 70 characters.
constexpr int kPlainLineDigits = 70;

// The PBM file with `magic` into `out`, each band's pixel row made by `makeRow(row, &bytes)` from
// the row as ComposeBand() writes it and repeated `scale` times. Returns false, with `out` empty,
// when no memory can be had.
template <typename MakeRow>
bool ComposeFile(const char* magic, int width, int height, const ModuleMatrix& modules,
                 const RenderOptions& options, std::string* out, MakeRow makeRow) try {
    std::string pbm = std::string(magic) + "\n" + std::to_string(ImageSide(width, options)) + " " +
                      std::to_string(ImageSide(height, options)) + "\n";
    std::string bytes;
    ForEachBand(width, height, modules, options, [&](const unsigned char* row) {
        makeRow(row, &bytes);
        for (int t = 0; t < options.scale; ++t) pbm += bytes;
    });
    out->swap(pbm);
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace

bool ComposePbm(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* pbm) {
    const int side = ImageSide(width, options);
    const int rowBytes = PixelRowBytes(side);
    // The bits of the last byte that are pixels; the padding after them stays 0.
    const auto lastByteMask =
        static_cast<unsigned char>(side % 8 == 0 ? 0xFF : 0xFF << (8 - side % 8));
    return ComposeFile("P4", width, height, modules, options, pbm,
                       [&](const unsigned char* row, std::string* bytes) {
                           bytes->resize(static_cast<std::size_t>(rowBytes));
                           for (int i = 0; i < rowBytes; ++i)
                               (*bytes)[i] = static_cast<char>(row[i] ^ 0xFF);
                           bytes->back() = static_cast<char>(bytes->back() & lastByteMask);
                       });
}

bool ComposePlainPbm(int width, int height, const ModuleMatrix& modules,
                     const RenderOptions& options, std::string* pbm) {
    const int side = ImageSide(width, options);
    return ComposeFile("P1", width, height, modules, options, pbm,
                       [&](const unsigned char* row, std::string* digits) {
                           digits->clear();
                           for (int x = 0; x < side; ++x) {
                               *digits += LightPixel(row, x) ? '0' : '1';
                               if ((x + 1) % kPlainLineDigits == 0 || x + 1 == side)
                                   *digits += '\n';
                           }
                       });
}

}  // namespace qr

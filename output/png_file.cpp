// PNG through libpng's write API into memory. Each module row is packed once and written `scale`
// times; the rows need no filter.
#include "output/png_file.h"

#include <png.h>

#include <memory>
#include <new>

namespace qr {

namespace {

constexpr int kBitDepth = 1;
// zlib's default: level 9 makes these small images no smaller (a version 10 sample: 820 bytes
// at level 6, 821 at level 9) and takes a quarter longer.
constexpr int kCompressionLevel = 6;

// libpng reports errors by jumping back to the setjmp in WriteRows; warnings are not wanted.
[[noreturn]] void OnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void OnWarning(png_structp, png_const_charp) {}

void Append(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    bool appended = true;
    try {
        out->append(reinterpret_cast<const char*>(data), length);
    } catch (const std::bad_alloc&) {
        appended = false;
    }
    if (!appended) png_error(png, "out of memory");
}

void Flush(png_structp) {}

// Sets the bits of pixels [from, to) of a zeroed row: 1 is white.
void SetWhite(unsigned char* row, int from, int to) {
    for (int x = from; x < to; ++x) row[x >> 3] |= static_cast<unsigned char>(0x80u >> (x & 7));
}

// Writes the header, the rows and the end of the file. Holds no object with a destructor, since
// libpng's errors leave it by longjmp. Returns false when libpng reported an error.
bool WriteRows(png_structp png, png_infop info, int symbolSize, const ModuleMatrix& modules,
               const RenderOptions& options, unsigned char* row, int rowBytes) {
    if (setjmp(png_jmpbuf(png))) return false;
    const int scale = options.scale;
    const int margin = options.margin;
    const int side = scale * (symbolSize + 2 * margin);
    png_set_IHDR(png, info, side, side, kBitDepth, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, kCompressionLevel);
    png_write_info(png, info);
    for (int r = 0; r < symbolSize + 2 * margin; ++r) {
        for (int i = 0; i < rowBytes; ++i) row[i] = 0;
        const int v = r - margin;
        if (v < 0 || v >= symbolSize) {
            SetWhite(row, 0, side);
        } else {
            SetWhite(row, 0, margin * scale);
            for (int u = 0; u < symbolSize; ++u) {
                if (modules[u][v] == 0) {
                    const int x = (u + margin) * scale;
                    SetWhite(row, x, x + scale);
                }
            }
            SetWhite(row, (symbolSize + margin) * scale, side);
        }
        for (int t = 0; t < scale; ++t) png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool ComposePng(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* png) {
    png->clear();
    const int side = options.scale * (symbolSize + 2 * options.margin);
    const int rowBytes = (side + 7) / 8;
    std::unique_ptr<unsigned char[]> row(new (std::nothrow) unsigned char[rowBytes]);
    if (!row) return false;

    png_structp writer =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (writer == nullptr) return false;
    png_infop info = png_create_info_struct(writer);
    bool written = false;
    if (info != nullptr) {
        png_set_write_fn(writer, png, Append, Flush);
        written = WriteRows(writer, info, symbolSize, modules, options, row.get(), rowBytes);
    }
    png_destroy_write_struct(&writer, info != nullptr ? &info : nullptr);
    if (!written) png->clear();
    return written;
}

}  // namespace qr

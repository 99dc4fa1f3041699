// PNG through libpng's write API into memory. Each module row is packed once and written `scale`
// times; the rows need no filter.
#include "output/png_file.h"

#include <png.h>

#include <memory>
#include <new>

#include "output/pixel_rows.h"

namespace qr {

namespace {

constexpr int kBitDepth = 1;
constexpr int kPaletteSize = 2;  // the dark colour, then the light one
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

// The colour type and the chunks that say how pixels look: 1-bit gray (0 black, 1 white) for the
// default colours, else a palette of the dark (0) and the light (1) colour, with tRNS up to the
// last colour whose alpha is below FF; pHYs when a resolution is given.
void DescribeColours(png_structp png, png_infop info, int side, const RenderOptions& options) {
    if (options.DefaultColours()) {
        png_set_IHDR(png, info, side, side, kBitDepth, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    } else {
        png_set_IHDR(png, info, side, side, kBitDepth, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        const Rgba colours[kPaletteSize] = {options.dark, options.light};
        png_color palette[kPaletteSize];
        png_byte alpha[kPaletteSize];
        int transparent = 0;  // entries up to the last one below FF
        for (int i = 0; i < kPaletteSize; ++i) {
            palette[i].red = static_cast<png_byte>(RedOf(colours[i]));
            palette[i].green = static_cast<png_byte>(GreenOf(colours[i]));
            palette[i].blue = static_cast<png_byte>(BlueOf(colours[i]));
            alpha[i] = static_cast<png_byte>(AlphaOf(colours[i]));
            if (!Opaque(colours[i])) transparent = i + 1;
        }
        png_set_PLTE(png, info, palette, kPaletteSize);
        if (transparent > 0) png_set_tRNS(png, info, alpha, transparent, nullptr);
    }
    if (options.dpi != 0) {
        const png_uint_32 pixelsPerMetre = PixelsPerMetre(options.dpi);
        png_set_pHYs(png, info, pixelsPerMetre, pixelsPerMetre, PNG_RESOLUTION_METER);
    }
}

// Writes the header, the rows and the end of the file. Holds no object with a destructor, since
// libpng's errors leave it by longjmp. Returns false when libpng reported an error.
bool WriteRows(png_structp png, png_infop info, int symbolSize, const ModuleMatrix& modules,
               const RenderOptions& options, unsigned char* row) {
    if (setjmp(png_jmpbuf(png))) return false;
    const int side = options.scale * (symbolSize + 2 * options.margin);
    DescribeColours(png, info, side, options);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, kCompressionLevel);
    png_write_info(png, info);
    for (int band = 0; band < symbolSize + 2 * options.margin; ++band) {
        ComposeBand(symbolSize, modules, options, band, row);
        for (int t = 0; t < options.scale; ++t) png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool ComposePng(int symbolSize, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* png) {
    png->clear();
    const int side = options.scale * (symbolSize + 2 * options.margin);
    std::unique_ptr<unsigned char[]> row(new (std::nothrow) unsigned char[PixelRowBytes(side)]);
    if (!row) return false;

    png_structp writer =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (writer == nullptr) return false;
    png_infop info = png_create_info_struct(writer);
    bool written = false;
    if (info != nullptr) {
        png_set_write_fn(writer, png, Append, Flush);
        written = WriteRows(writer, info, symbolSize, modules, options, row.get());
    }
    png_destroy_write_struct(&writer, info != nullptr ? &info : nullptr);
    if (!written) png->clear();
    return written;
}

}  // namespace qr

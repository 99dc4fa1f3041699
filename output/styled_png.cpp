// Styled PNG: the drawing's pixels with their edges anti-aliased, 8 bits per component, RGB when
// every pixel is opaque, else RGBA; compressed by libpng. Builds without libpng draw no styled PNG
// (CheckStyle refuses it).
#include "output/styled.h"

#if defined(TESSERA_HAVE_PNG)
#include <png.h>

#include <new>
#include <vector>

#include "output/raster.h"
#endif

namespace qr {

#if defined(TESSERA_HAVE_PNG)

namespace {

constexpr int kBitDepth = 8;
constexpr int kCompressionLevel = 6;  // as the plain PNG writer

[[noreturn]] void Fail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void IgnoreWarning(png_structp, png_const_charp) {}
void NoFlush(png_structp) {}

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    bool appended = true;
    try {
        static_cast<std::string*>(png_get_io_ptr(png))
            ->append(reinterpret_cast<const char*>(data), length);
    } catch (const std::bad_alloc&) {
        appended = false;
    }
    if (!appended) png_error(png, "out of memory");
}

// Writes the file from `rows` (each `channels` bytes a pixel). Holds no object with a destructor:
// libpng's errors leave it by longjmp. Returns false when libpng reported an error.
bool WriteImage(png_structp png, png_infop info, int side, int channels, int dpi,
                std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, side, side, kBitDepth,
                 channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (dpi != 0) {
        png_set_pHYs(png, info, PixelsPerMetre(dpi), PixelsPerMetre(dpi), PNG_RESOLUTION_METER);
    }
    png_set_compression_level(png, kCompressionLevel);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    return true;
}

}  // namespace

bool WriteStyledPng(const Drawing& drawing, int unit, const RenderOptions& options,
                    std::string* out) {
    out->clear();
    const RgbaImage image = Rasterise(drawing, unit, EdgeRule::kCoverage);
    bool opaque = true;
    for (const Rgba pixel : image.pixels) opaque = opaque && Opaque(pixel);
    const int channels = opaque ? 3 : 4;
    std::vector<unsigned char> bytes(image.pixels.size() * channels);
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        unsigned char* p = &bytes[i * channels];
        const Rgba pixel = image.pixels[i];
        p[0] = static_cast<unsigned char>(RedOf(pixel));
        p[1] = static_cast<unsigned char>(GreenOf(pixel));
        p[2] = static_cast<unsigned char>(BlueOf(pixel));
        if (channels == 4) p[3] = static_cast<unsigned char>(AlphaOf(pixel));
    }
    for (int y = 0; y < image.height; ++y) {
        rows[y] = &bytes[static_cast<std::size_t>(y) * image.width * channels];
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, IgnoreWarning);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    bool written = false;
    if (info != nullptr) {
        png_set_write_fn(png, out, AppendBytes, NoFlush);
        written = WriteImage(png, info, image.width, channels, options.dpi, rows);
    }
    png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    if (!written) out->clear();
    return written;
}

#else

bool WriteStyledPng(const Drawing&, int, const RenderOptions&, std::string* out) {
    out->clear();
    return false;
}

#endif

}  // namespace qr

// Styled output read back as pixels: PNG files through libpng, and SVG, EPS and PDF documents drawn
// by programs independent of this library (rsvg-convert, Ghostscript, pdftoppm) at one pixel per
// point; beside them the picture every styled writer should draw.
#pragma once

#include <png.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "output/image_format.h"
#include "output/render_options.h"
#include "tests/cli/qr_reader.h"
#include "tests/support/test_support.h"

namespace qr::test {

// Pixels as 0xRRGGBBAA, row by row from the top.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;

    Rgba At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Options with every drawing setting given.
inline RenderOptions OptionsOf(int scale, int margin, Rgba dark, Rgba light, int dpi = 0) {
    RenderOptions options;
    options.scale = scale;
    options.margin = margin;
    options.dark = dark;
    options.light = light;
    options.dpi = dpi;
    return options;
}

// The symbol of `encoder` drawn with `options`: each module scale x scale pixels of the dark or
// the light colour, in a quiet zone of `options.margin` modules.
inline RgbaImage ExpectedColours(const CQrEncoder& encoder, const RenderOptions& options) {
    RgbaImage image;
    image.width = image.height = options.scale * (encoder.symbolSize + 2 * options.margin);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const int u = x / options.scale - options.margin;
            const int v = y / options.scale - options.margin;
            const bool dark = u >= 0 && v >= 0 && u < encoder.symbolSize &&
                              v < encoder.symbolSize && encoder.modules[u][v] != 0;
            image.pixels.push_back(dark ? options.dark : options.light);
        }
    }
    return image;
}

// The PNG file `png` as pixels, through libpng's simplified reader; false when libpng refuses it.
inline bool ReadPngPixels(const std::string& png, RgbaImage* image) {
    png_image reader{};
    reader.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&reader, png.data(), png.size())) return false;
    reader.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> bytes(PNG_IMAGE_SIZE(reader));
    const bool read = png_image_finish_read(&reader, nullptr, bytes.data(), 0, nullptr) != 0;
    png_image_free(&reader);
    image->width = static_cast<int>(reader.width);
    image->height = static_cast<int>(reader.height);
    image->pixels.clear();
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
        image->pixels.push_back(Rgba{bytes[i]} << 24 | Rgba{bytes[i + 1]} << 16 |
                                Rgba{bytes[i + 2]} << 8 | bytes[i + 3]);
    }
    return read;
}

// `document` drawn by the program for its format (SVG, EPS or PDF) into `image`, one pixel per
// point (SVG: per pixel of its width); false, with `error`, when the program fails.
inline bool DrawDocument(ImageFormat format, const std::string& document, RgbaImage* image,
                         std::string* error) {
    TempDir dir;
    const std::string in = dir.File("in");
    const std::string out = dir.File("out.png");
    const std::string command =
        format == ImageFormat::kSvg
            ? std::string(TESSERA_RSVG_CONVERT) + " -o '" + out + "' '" + in + "'"
        : format == ImageFormat::kEps
            ? std::string(TESSERA_GHOSTSCRIPT) +
                  " -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -r72 -sDEVICE=png16m -sOutputFile='" +
                  out + "' '" + in + "'"
            : std::string(TESSERA_PDFTOPPM) + " -r 72 -png -singlefile '" + in + "' '" +
                  dir.File("out") + "'";
    Bytes png;
    if (!WriteFile(in, ToBytes(document)) || std::system((command + " 2>&1").c_str()) != 0 ||
        !ReadFile(out, &png)) {
        *error = "failed: " + command;
        return false;
    }
    return ReadPngPixels(std::string(png.begin(), png.end()), image);
}

// `image` laid over white with a white border of `border` pixels, as gray for the reader.
inline GrayImage OnWhite(const RgbaImage& image, int border) {
    GrayImage gray;
    gray.width = image.width + 2 * border;
    gray.height = image.height + 2 * border;
    gray.pixels.assign(static_cast<std::size_t>(gray.width) * gray.height, kWhite);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const Rgba c = image.At(x, y);
            const unsigned luma = (299 * RedOf(c) + 587 * GreenOf(c) + 114 * BlueOf(c)) / 1000;
            const unsigned a = AlphaOf(c);
            gray.pixels[static_cast<std::size_t>(y + border) * gray.width + x + border] =
                static_cast<unsigned char>((luma * a + kWhite * (255 - a)) / 255);
        }
    }
    return gray;
}

// Whether pixel `drawn` shows `wanted`: alpha exactly, and each colour exactly when opaque, else
// within what storing it premultiplied in 8 bits can change.
inline bool SameColour(Rgba drawn, Rgba wanted) {
    const unsigned alpha = AlphaOf(wanted);
    if (AlphaOf(drawn) != alpha) return false;
    if (alpha == 0xFF) return drawn == wanted;
    if (alpha == 0) return true;
    const int tolerance = static_cast<int>(255 / alpha);
    for (const int shift : {24, 16, 8}) {
        const int d = static_cast<int>((drawn >> shift) & 0xFF);
        const int w = static_cast<int>((wanted >> shift) & 0xFF);
        if (d - w > tolerance || w - d > tolerance) return false;
    }
    return true;
}

}  // namespace qr::test

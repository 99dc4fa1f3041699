// Styled output read back as pixels: PNG files through libpng, SVG, EPS and PDF documents drawn
// by programs independent of this library (rsvg-convert, Ghostscript, pdftoppm) at one pixel per
// point, XPM and PBM images read by netpbm; beside them the picture every styled writer should
// draw, and random cells to draw.
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "encoder/symbol_map.h"
#include "output/image_format.h"
#include "output/render_options.h"
#include "tests/cli/qr_reader.h"
#include "tests/support/test_support.h"

namespace qr::test {

// A symbol with its map, as the styled writers take it.
struct MappedSymbol {
    std::unique_ptr<CQrEncoder> encoder;
    std::unique_ptr<SymbolMap> map;
};

// The symbol that EncodeBytes makes of `data` (which must fit), with its map.
inline MappedSymbol MapEncoded(const Bytes& data, int level, int version = 0, int mask = -1) {
    MappedSymbol s{EncodeBytes(data, level, version, 1, mask), std::make_unique<SymbolMap>()};
    EXPECT_TRUE(MapSymbol(SymbolKind::kQrCode, s.encoder->version, level, s.map.get()));
    return s;
}

// Pixels as 0xRRGGBBAA, row by row from the top.
using RgbaPixels = std::vector<Rgba>;

// The symbol of `encoder` drawn with `options`, each pixel the dark or the light colour.
inline RgbaPixels ExpectedColours(const CQrEncoder& encoder, const RenderOptions& options) {
    RgbaPixels pixels;
    for (unsigned char gray : ExpectedImage(encoder, options.scale, options.margin).pixels) {
        pixels.push_back(gray == kBlack ? options.dark : options.light);
    }
    return pixels;
}

// The PNG file `png` as pixels, through libpng's simplified reader; false when libpng refuses it.
inline bool ReadPngPixels(const std::string& png, int* width, RgbaPixels* pixels) {
    png_image reader{};
    reader.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&reader, png.data(), png.size())) return false;
    reader.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> bytes(PNG_IMAGE_SIZE(reader));
    const bool read = png_image_finish_read(&reader, nullptr, bytes.data(), 0, nullptr) != 0;
    *width = static_cast<int>(reader.width);
    pixels->clear();
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
        pixels->push_back(Rgba{bytes[i]} << 24 | Rgba{bytes[i + 1]} << 16 |
                          Rgba{bytes[i + 2]} << 8 | bytes[i + 3]);
    }
    return read;
}

// `document` drawn by the program for its format (SVG, EPS or PDF), one pixel per point (SVG: per
// pixel of its width); false when the program fails.
inline bool DrawDocument(ImageFormat format, const std::string& document, int* width,
                         RgbaPixels* pixels) {
    TempDir dir;
    const std::string in = "'" + dir.File("in") + "'";
    const std::string out = "'" + dir.File("out.png") + "'";
    const std::string command =
        format == ImageFormat::kSvg ? std::string(TESSERA_RSVG_CONVERT) + " -o " + out + " " + in
        : format == ImageFormat::kEps
            ? std::string(TESSERA_GHOSTSCRIPT) +
                  " -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -r72 -sDEVICE=png16m -sOutputFile=" +
                  out + " " + in
            : std::string(TESSERA_PDFTOPPM) + " -r 72 -png -singlefile " + in + " '" +
                  dir.File("out") + "'";
    Bytes png;
    return WriteFile(dir.File("in"), ToBytes(document)) && std::system(command.c_str()) == 0 &&
           ReadFile(dir.File("out.png"), &png) &&
           ReadPngPixels(std::string(png.begin(), png.end()), width, pixels);
}

// The XPM or PBM image `image` (format `name`) read by netpbm and made 8-bit RGB by its ppmtoppm,
// as opaque pixels; false when netpbm fails.
inline bool ReadWithNetpbm(const std::string& name, const std::string& image, int* width,
                           RgbaPixels* pixels) {
    TempDir dir;
    // ppmtoppm reads PBM itself.
    const std::string reader = name == "xpm" ? TESSERA_NETPBM "/xpmtoppm | " : "";
    const std::string command = "< '" + dir.File("in") + "' " + reader +
                                TESSERA_NETPBM "/ppmtoppm > '" + dir.File("out") + "'";
    Bytes ppm;
    if (!WriteFile(dir.File("in"), ToBytes(image)) || std::system(command.c_str()) != 0 ||
        !ReadFile(dir.File("out"), &ppm)) {
        return false;
    }
    // "P6", the width, the height and the largest value 255, each after white space, one white
    // space character, then three bytes a pixel.
    std::istringstream header(std::string(ppm.begin(), ppm.end()));
    std::string magic;
    int height = 0, largest = 0;
    header >> magic >> *width >> height >> largest;
    header.get();
    const std::size_t at = static_cast<std::size_t>(header.tellg());
    const std::size_t count = static_cast<std::size_t>(*width) * height;
    if (magic != "P6" || largest != 255 || ppm.size() != at + 3 * count) return false;
    pixels->clear();
    for (std::size_t i = at; i < ppm.size(); i += 3) {
        pixels->push_back(Rgba{ppm[i]} << 24 | Rgba{ppm[i + 1]} << 16 | Rgba{ppm[i + 2]} << 8 |
                          kOpaqueAlpha);
    }
    return true;
}

// A matrix of cells on the heap (it is large).
struct Cells {
    ModuleMatrix modules;
};

// The cells of a square picture, a string for each row, '#' dark.
inline std::unique_ptr<Cells> PictureCells(const std::vector<const char*>& rows) {
    auto cells = std::make_unique<Cells>();
    for (std::size_t y = 0; y < rows.size(); ++y) {
        for (std::size_t x = 0; x < rows.size(); ++x) cells->modules[x][y] = rows[y][x] == '#';
    }
    return cells;
}

// `size` x `size` cells, each dark with a chance of `percent` in 100 drawn from `random` (column by
// column), or a checkerboard, where every corner is touched by two dark modules.
inline std::unique_ptr<Cells> RandomCells(std::mt19937& random, int size, int percent,
                                          bool checkerboard = false) {
    auto cells = std::make_unique<Cells>();
    for (int x = 0; x < size; ++x) {
        for (int y = 0; y < size; ++y) {
            const bool dark = static_cast<int>(random() % 100) < percent;
            cells->modules[x][y] = checkerboard ? (x + y) % 2 : dark;
        }
    }
    return cells;
}

// The pixels laid over white, as gray, with a white border of `border` pixels, for the reader.
inline GrayImage OnWhite(const RgbaPixels& pixels, int width, int border) {
    GrayImage gray;
    gray.width = gray.height = width + 2 * border;
    gray.pixels.assign(static_cast<std::size_t>(gray.width) * gray.height, kWhite);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const Rgba c = pixels[i];
        const unsigned luma = (299 * RedOf(c) + 587 * GreenOf(c) + 114 * BlueOf(c)) / 1000;
        const unsigned a = AlphaOf(c);
        gray.pixels[(i / width + border) * gray.width + i % width + border] =
            static_cast<unsigned char>((luma * a + kWhite * (255 - a)) / 255);
    }
    return gray;
}

// A PNG logo of `width` x `height` pixels for the logo tests: a disc of `disc` in the middle,
// `ground` around it, and four transparent pixels a side in each corner.
inline std::string DiscLogoPng(int width, int height, Rgba disc, Rgba ground) {
    std::vector<unsigned char> rgba;
    const double radius = (width < height ? width : height) * 3 / 8.0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double dx = x + 0.5 - width / 2.0, dy = y + 0.5 - height / 2.0;
            const bool corner = (x < 4 || x >= width - 4) && (y < 4 || y >= height - 4);
            const Rgba c = corner ? 0 : dx * dx + dy * dy < radius * radius ? disc : ground;
            for (const int shift : {24, 16, 8, 0})
                rgba.push_back(static_cast<unsigned char>(c >> shift));
        }
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
    std::string png(size, '\0');
    png_image_write_to_memory(&image, &png[0], &size, 0, rgba.data(), 0, nullptr);
    png.resize(size);
    return png;
}

}  // namespace qr::test

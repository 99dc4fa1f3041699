// The styled road: check, read the logo, draw, and hand the drawing to the format's writer.
#include "output/styled.h"

#include <new>

#include "output/bmp_file.h"
#include "output/logo.h"
#include "output/raster.h"
#include "output/writers.h"

namespace qr {

namespace {

bool Raster(ImageFormat format) {
    return format == ImageFormat::kPng || format == ImageFormat::kBmp;
}

// BMP: two colours, so the dark layers alone, each pixel dark where its centre lies in one.
bool WriteStyledBmp(const Drawing& drawing, int scale, const RenderOptions& options,
                    std::string* bmp) {
    Drawing dark;
    dark.width = drawing.width;
    dark.height = drawing.height;
    dark.layers.assign(drawing.layers.begin() + static_cast<std::ptrdiff_t>(drawing.firstDarkLayer),
                       drawing.layers.end());
    for (Layer& layer : dark.layers) {
        layer.paint = Paint();
        layer.paint.colour = kDefaultDark;  // opaque: any paint is the mask
    }
    const RgbaImage image = Rasterise(dark, scale, EdgeRule::kPixelCentre);
    std::vector<unsigned char> mask(image.pixels.size());
    for (std::size_t i = 0; i < mask.size(); ++i) mask[i] = AlphaOf(image.pixels[i]) != 0 ? 1 : 0;
    return ComposeBmpPixels(image.width, image.height, mask.data(), options, bmp);
}

}  // namespace

std::string CheckStyled(ImageFormat format, const SymbolMap& map, const RenderOptions& options,
                        const StyleOptions& style) {
    const std::string why = CheckStyle(format, map.width, options, style);
    if (!why.empty()) return why;
    if (style.finder == FinderStyle::kDot &&
        (map.kind != SymbolKind::kQrCode || map.version > kMaxDotFinderVersion)) {
        return "dot finders are not read reliably in Micro QR, rMQR or above version " +
               std::to_string(kMaxDotFinderVersion) + ": take square or rounded finders";
    }
    if (style.logo == nullptr) return why;
    try {
        // Decoded where the writer will decode it, so that a broken PNG is named here.
        LogoImage logo;
        std::string unread;
        if (!ReadLogo(style, format != ImageFormat::kSvg, &logo, &unread)) return unread;
        return CheckLogo(map, style, logo);
    } catch (const std::bad_alloc&) {
        return "no memory to read the logo";
    }
}

bool ComposeStyled(ImageFormat format, const ModuleMatrix& modules, const SymbolMap& map,
                   const RenderOptions& options, const StyleOptions& style,
                   std::string* bytes) try {
    bytes->clear();
    LogoImage logo;
    if (style.logo != nullptr) {
        std::string why;
        const bool decode = format != ImageFormat::kSvg;
        if (!ReadLogo(style, decode, &logo, &why)) return false;
    }
    const Drawing drawing =
        DrawSymbol(modules, map, options, style, style.logo != nullptr ? &logo : nullptr);
    const int scale = Raster(format) ? RasterScale(map.width, options, style) : 0;
    const double points = PointsPerModule(map.width, options, style);
    bool written = false;
    switch (format) {
        case ImageFormat::kSvg:
            written = WriteStyledSvg(drawing, points, style, bytes);
            break;
        case ImageFormat::kEps:
            written = WriteStyledEps(drawing, points, options, style, bytes);
            break;
        case ImageFormat::kPdf:
            written = WriteStyledPdf(drawing, points, bytes);
            break;
        case ImageFormat::kPng:
            written = WriteStyledPng(drawing, scale, options, bytes);
            break;
        case ImageFormat::kBmp:
            written = WriteStyledBmp(drawing, scale, options, bytes);
            break;
        default:
            break;
    }
    if (!written) bytes->clear();
    return written;
} catch (const std::bad_alloc&) {
    bytes->clear();
    return false;
}

bool ComposeWithStyle(ImageFormat format, int width, int height, const ModuleMatrix& modules,
                      const SymbolMap* map, const RenderOptions& options, const StyleOptions& style,
                      std::string* bytes) {
    if (!style.Plain()) {
        return map != nullptr && ComposeStyled(format, modules, *map, options, style, bytes);
    }
    const ImageWriter writer = WriterFor(format);
    if (writer == nullptr) {
        bytes->clear();
        return false;
    }
    return writer(width, height, modules, options, bytes);
}

}  // namespace qr

// Styled EPS: the layers as filled paths in a space of modules with y down, a CMYK dark colour by
// setcmykcolor, and a PNG logo as an image of its pixels laid over the light colour.
#include <cmath>
#include <new>
#include <string>

#include "output/path_text.h"
#include "output/raster.h"
#include "output/styled.h"
#include "output/vector_shared.h"

namespace qr {

namespace {

constexpr int kHexPixelsPerLine = 12;  // 72 characters of RRGGBB

// The operator that sets a solid paint's colour.
std::string SetColour(const Paint& paint) {
    if (!paint.cmyk) return RgbFractions(paint.colour) + " setrgbcolor";
    std::string words;
    for (const int percent : paint.cmykPercent) words += Decimal(percent / 100.0) + " ";
    return words + "setcmykcolor";
}

// The logo's pixels over `under`, as rows of RRGGBB in hex.
void AppendLogoPixels(const LogoImage& logo, Rgba under, std::string* eps) {
    static const char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < logo.pixels.size(); ++i) {
        const Rgba pixel = Over(logo.pixels[i], under);
        for (const unsigned c : {RedOf(pixel), GreenOf(pixel), BlueOf(pixel)}) {
            *eps += kDigits[c >> 4];
            *eps += kDigits[c & 15];
        }
        if ((i + 1) % kHexPixelsPerLine == 0 || i + 1 == logo.pixels.size()) *eps += '\n';
    }
}

}  // namespace

bool WriteStyledEps(const Drawing& drawing, double unit, const RenderOptions& options,
                    const StyleOptions& style, std::string* out) try {
    const double module = unit;
    const double across = drawing.width * module;
    const double down = drawing.height * module;
    auto whole = [](double points) {
        return std::to_string(static_cast<long long>(std::ceil(points - 1e-9)));
    };
    std::string eps;
    AppendEpsPrologue("%%BoundingBox: 0 0 " + whole(across) + " " + whole(down) +
                          "\n%%HiResBoundingBox: 0 0 " + Decimal(across) + " " + Decimal(down) +
                          "\n",
                      5, {{"m", "moveto"}, {"l", "lineto"}, {"c", "curveto"}, {"z", "closepath"}},
                      Decimal(down), Decimal(module), &eps);
    for (const Layer& layer : drawing.layers) {
        eps += SetColour(layer.paint) + "\n";
        eps += "newpath\n";
        AppendPath(layer.path, EPS_PATH, &eps);
        eps += "\nfill\n";
    }
    if (drawing.logo != nullptr) {
        const LogoImage& logo = *drawing.logo;
        const std::string w = std::to_string(static_cast<int>(logo.width));
        const std::string h = std::to_string(static_cast<int>(logo.height));
        eps += "gsave\n";
        eps += Decimal(drawing.logoX) + " " + Decimal(drawing.logoY) + " translate " +
               Decimal(drawing.logoWidth) + " " + Decimal(drawing.logoHeight) + " scale\n";
        eps += w + " " + h + " 8 [" + w + " 0 0 " + h +
               " 0 0] currentfile /ASCIIHexDecode filter false 3 colorimage\n";
        AppendLogoPixels(logo, RegionColour(style, options, Region::kDataLight), &eps);
        eps += ">\ngrestore\n";
    }
    eps += "end\n";
    eps += "showpage\n";
    eps += "%%EOF\n";
    out->swap(eps);
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace qr

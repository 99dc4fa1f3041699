// Styled SVG: a title and description for readers of the page, the gradient in <defs>, one path per
// layer, and the logo as an embedded image (a PNG as it came, an SVG as a document of its own).
#include <new>
#include <string>

#include "output/path_text.h"
#include "output/styled.h"
#include "output/vector_shared.h"

namespace qr {

namespace {

constexpr char kGradientId[] = "dark";

// `colour` as "#rrggbb".
std::string Hex(Rgba colour) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text = "#";
    for (const unsigned c : {RedOf(colour), GreenOf(colour), BlueOf(colour)}) {
        text += kDigits[c >> 4];
        text += kDigits[c & 15];
    }
    return text;
}

// `name`="colour" and, below full alpha, `opacityName`="alpha".
std::string ColourAttributes(const char* name, const char* opacityName, Rgba colour) {
    std::string text = std::string(name) + "=\"" + Hex(colour) + "\"";
    if (!Opaque(colour)) {
        text += std::string(" ") + opacityName + "=\"" + FractionOf255(AlphaOf(colour)) + "\"";
    }
    return text;
}

// `text` with the characters that XML reserves written as references.
std::string Escaped(const char* text) {
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        switch (*p) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += *p;
        }
    }
    return out;
}

// The document's width or height of `modules` modules (of the drawing's width modules): the
// printed size in its unit, else pixels at the scale.
std::string Extent(const Drawing& drawing, double modules, double unit, const StyleOptions& style) {
    // The width as given; the height in proportion.
    const double printed =
        modules == drawing.width ? style.size : style.size * modules / drawing.width;
    switch (style.sizeUnit) {
        case LengthUnit::kMillimetre:
            return Decimal(printed) + "mm";
        case LengthUnit::kInch:
            return Decimal(printed) + "in";
        case LengthUnit::kPoint:
            return Decimal(printed) + "pt";
        case LengthUnit::kNone:
            break;
    }
    return Decimal(modules * unit);
}

std::string GradientElement(const Paint& paint) {
    std::string element;
    if (paint.kind == PaintKind::kLinear) {
        element = "<linearGradient id=\"" + std::string(kGradientId) +
                  "\" gradientUnits=\"userSpaceOnUse\" x1=\"" + Decimal(paint.start.x) +
                  "\" y1=\"" + Decimal(paint.start.y) + "\" x2=\"" + Decimal(paint.end.x) +
                  "\" y2=\"" + Decimal(paint.end.y) + "\">";
    } else {
        element = "<radialGradient id=\"" + std::string(kGradientId) +
                  "\" gradientUnits=\"userSpaceOnUse\" cx=\"" + Decimal(paint.start.x) +
                  "\" cy=\"" + Decimal(paint.start.y) + "\" r=\"" + Decimal(paint.radius) + "\">";
    }
    element += "<stop offset=\"0\" " + ColourAttributes("stop-color", "stop-opacity", paint.from) +
               "/><stop offset=\"1\" " + ColourAttributes("stop-color", "stop-opacity", paint.to) +
               "/>";
    element += paint.kind == PaintKind::kLinear ? "</linearGradient>" : "</radialGradient>";
    return element;
}

}  // namespace

bool WriteStyledSvg(const Drawing& drawing, double unit, const StyleOptions& style,
                    std::string* out) try {
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           Extent(drawing, drawing.width, unit, style) + "\" height=\"" +
           Extent(drawing, drawing.height, unit, style) + "\" viewBox=\"0 0 " +
           Decimal(drawing.width) + " " + Decimal(drawing.height) + "\"";
    if (style.title != nullptr) {
        svg += " role=\"img\" aria-label=\"" + Escaped(style.title) + "\"";
    }
    svg += ">\n";
    if (style.title != nullptr) svg += "<title>" + Escaped(style.title) + "</title>\n";
    if (style.description != nullptr) svg += "<desc>" + Escaped(style.description) + "</desc>\n";
    for (const Layer& layer : drawing.layers) {
        if (layer.paint.kind != PaintKind::kSolid) {
            svg += "<defs>" + GradientElement(layer.paint) + "</defs>\n";
            break;  // one gradient, the same for every layer that takes it
        }
    }
    for (const Layer& layer : drawing.layers) {
        svg += "<path ";
        svg += layer.paint.kind == PaintKind::kSolid
                   ? ColourAttributes("fill", "fill-opacity", layer.paint.colour)
                   : "fill=\"url(#" + std::string(kGradientId) + ")\"";
        svg += " d=\"";
        AppendPath(layer.path, SVG_PATH, &svg);
        svg += "\"/>\n";
    }
    if (drawing.logo != nullptr) {
        const LogoImage& logo = *drawing.logo;
        const char* type = logo.kind == LogoKind::kPng ? "image/png" : "image/svg+xml";
        svg += "<image x=\"" + Decimal(drawing.logoX) + "\" y=\"" + Decimal(drawing.logoY) +
               "\" width=\"" + Decimal(drawing.logoWidth) + "\" height=\"" +
               Decimal(drawing.logoHeight) + "\" href=\"data:" + type + ";base64," +
               Base64(logo.bytes, logo.size) + "\"/>\n";
    }
    svg += "</svg>\n";
    out->swap(svg);
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace qr

// Styled PDF: the layers as filled paths, a CMYK dark colour by k, a gradient as a shading painted
// through the layer's path as a clip, and a PNG logo as an image with its alpha as a soft mask.
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "output/path_text.h"
#include "output/styled.h"
#include "output/vector_shared.h"

namespace qr {

namespace {

constexpr int kFixedObjects = 4;  // 1 catalogue, 2 pages, 3 page, 4 content

std::string Colour(const Paint& paint) {
    if (!paint.cmyk) return RgbFractions(paint.colour) + " rg";
    std::string words;
    for (const int percent : paint.cmykPercent) words += Decimal(percent / 100.0) + " ";
    return words + "k";
}

std::string ShadingObject(const Paint& paint) {
    const std::string coords =
        paint.kind == PaintKind::kLinear
            ? "/ShadingType 2 /Coords [" + Decimal(paint.start.x) + " " + Decimal(paint.start.y) +
                  " " + Decimal(paint.end.x) + " " + Decimal(paint.end.y) + "]"
            : "/ShadingType 3 /Coords [" + Decimal(paint.start.x) + " " + Decimal(paint.start.y) +
                  " 0 " + Decimal(paint.start.x) + " " + Decimal(paint.start.y) + " " +
                  Decimal(paint.radius) + "]";
    return "<< " + coords +
           " /ColorSpace /DeviceRGB /Function << /FunctionType 2 /Domain [0 1] /C0 [" +
           RgbFractions(paint.from) + "] /C1 [" + RgbFractions(paint.to) +
           "] /N 1 >> /Extend [true true] >>";
}

// An image stream of `samples` (one byte per component).
std::string ImageObject(int width, int height, const char* space, const std::string& samples,
                        const std::string& extra) {
    return "<< /Type /XObject /Subtype /Image /Width " + std::to_string(width) + " /Height " +
           std::to_string(height) + " /ColorSpace " + space + " /BitsPerComponent 8" + extra +
           " /Length " + std::to_string(samples.size()) + " >>\nstream\n" + samples + "\nendstream";
}

}  // namespace

bool WriteStyledPdf(const Drawing& drawing, double unit, std::string* out) try {
    const double module = unit;
    const std::string across = Decimal(drawing.width * module);
    const std::string down = Decimal(drawing.height * module);
    std::vector<std::string> objects(kFixedObjects);
    std::string resources;
    std::string content = Decimal(module) + " 0 0 " + Decimal(-module) + " 0 " + down + " cm\n";
    for (const Layer& layer : drawing.layers) {
        if (layer.paint.kind == PaintKind::kSolid) {
            content += Colour(layer.paint) + "\n";
            AppendPath(layer.path, PDF_PATH, &content);
            AppendWords({"f"}, &content);
            content += '\n';
            continue;
        }
        if (resources.find("/Shading") == std::string::npos) {
            objects.push_back(ShadingObject(layer.paint));
            resources += "/Shading << /Sh0 " + std::to_string(objects.size()) + " 0 R >> ";
        }
        content += "q\n";
        AppendPath(layer.path, PDF_PATH, &content);
        AppendWords({"W", "n", "/Sh0", "sh", "Q"}, &content);
        content += '\n';
    }
    if (drawing.logo != nullptr) {
        const LogoImage& logo = *drawing.logo;
        std::string colours, alphas;
        for (const Rgba pixel : logo.pixels) {
            colours += static_cast<char>(RedOf(pixel));
            colours += static_cast<char>(GreenOf(pixel));
            colours += static_cast<char>(BlueOf(pixel));
            alphas += static_cast<char>(AlphaOf(pixel));
        }
        const int w = static_cast<int>(logo.width);
        const int h = static_cast<int>(logo.height);
        objects.push_back(ImageObject(w, h, "/DeviceGray", alphas, ""));
        const std::string mask = std::to_string(objects.size());
        objects.push_back(ImageObject(w, h, "/DeviceRGB", colours, " /SMask " + mask + " 0 R"));
        resources += "/XObject << /Im0 " + std::to_string(objects.size()) + " 0 R >> ";
        content += "q " + Decimal(drawing.logoWidth) + " 0 0 " + Decimal(-drawing.logoHeight) +
                   " " + Decimal(drawing.logoX) + " " +
                   Decimal(drawing.logoY + drawing.logoHeight) + " cm /Im0 Do Q\n";
    }
    objects[0] = "<< /Type /Catalog /Pages 2 0 R >>";
    objects[1] = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    objects[2] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + across + " " + down +
                 "] /Resources << " + resources + ">> /Contents 4 0 R >>";
    objects[3] =
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream";

    std::string pdf = AssemblePdf(objects);
    out->swap(pdf);
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}

}  // namespace qr

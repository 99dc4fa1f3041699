// The style record's names, readers and check, and what each format can draw of a style.
#include "output/style_options.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "output/logo.h"

namespace qr {

const char* const REGION_NAMES[kRegionCount] = {
    "finder-dark",  "finder-light", "alignment-dark", "alignment-light", "timing-dark",
    "timing-light", "format-dark",  "format-light",   "version-dark",    "version-light",
    "data-dark",    "data-light",   "separator",      "quiet-zone",
};

namespace {

constexpr int kFullTurn = 360;
constexpr double kMillimetresPerInch = 25.4;
constexpr int kHexDigitsOpaque = 6;         // RRGGBB
constexpr int kHexDigitsAlpha = 8;          // RRGGBBAA
constexpr std::size_t kMaxWholeDigits = 4;  // enough for 0100 or 0359, too few to overflow

// What a format can draw of a style. A format without a row takes none.
struct StyleSupport {
    ImageFormat format;
    bool shapes;    // module shapes and finder styles
    bool regions;   // region colours
    bool gradient;  // a gradient for the dark modules
    bool pngLogo;   // a PNG logo (decoded, but for SVG)
    bool svgLogo;   // an SVG logo (SVG output alone embeds it)
    bool text;      // a title and a description
    bool cmyk;      // a CMYK dark colour
    bool size;      // a printed size (raster formats with a resolution)
};

constexpr StyleSupport STYLE_SUPPORT[] = {
    // format, shapes, regions, gradient, PNG logo, SVG logo, title, CMYK, size
    {ImageFormat::kBmp, true, false, false, false, false, false, false, true},
    {ImageFormat::kPng, true, true, true, true, false, false, false, true},
    {ImageFormat::kSvg, true, true, true, true, true, true, false, true},
    {ImageFormat::kEps, true, true, false, true, false, false, true, true},
    {ImageFormat::kPdf, true, true, true, true, false, false, true, true},
};

StyleSupport SupportOf(ImageFormat format) {
    for (const StyleSupport& row : STYLE_SUPPORT) {
        if (row.format == format) return row;
    }
    return {format, false, false, false, false, false, false, false, false};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads the whole of `text` as a whole number from `low` to `high`.
bool ParseWhole(const std::string& text, int low, int high, int* value) {
    if (text.empty() || text.size() > kMaxWholeDigits) return false;
    int n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    if (n < low || n > high) return false;
    *value = n;
    return true;
}

// `text` cut at each comma.
std::vector<std::string> Fields(const std::string& text) {
    std::vector<std::string> fields(1);
    for (const char c : text) {
        if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

bool HasControlCharacter(const char* text) {
    for (const char* p = text; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return true;
    }
    return false;
}

bool AnyRegionColour(const StyleOptions& style) {
    for (const Rgba colour : style.regions) {
        if (colour != kInheritColour) return true;
    }
    return false;
}

}  // namespace

bool StyleOptions::Plain() const {
    return shape == ModuleShape::kSquare && finder == FinderStyle::kSquare &&
           !AnyRegionColour(*this) && gradient.kind == GradientKind::kNone && logo == nullptr &&
           title == nullptr && description == nullptr && !cmyk && sizeUnit == LengthUnit::kNone;
}

Rgba RegionColour(const StyleOptions& style, const RenderOptions& options, Region region) {
    const Rgba own = style.regions[static_cast<int>(region)];
    if (own != kInheritColour) return own;
    // The pairs before the separator come dark first.
    const bool dark = region < Region::kSeparator && static_cast<int>(region) % 2 == 0;
    return dark ? options.dark : options.light;
}

int RasterScale(int symbolSize, const RenderOptions& options, const StyleOptions& style) {
    if (style.sizeUnit == LengthUnit::kNone) return options.scale;
    const int modules = symbolSize + 2 * options.margin;
    const double pixels = LengthInPoints(style.size, style.sizeUnit) / kPointsPerInch * options.dpi;
    const double scale = pixels / modules;
    return scale >= 1 && pixels <= kMaxStyledRasterSide ? static_cast<int>(scale) : 0;
}

double PointsPerModule(int symbolSize, const RenderOptions& options, const StyleOptions& style) {
    if (style.sizeUnit == LengthUnit::kNone) return options.scale;
    return LengthInPoints(style.size, style.sizeUnit) / (symbolSize + 2 * options.margin);
}

bool ParseRgba(const std::string& text, Rgba* colour) {
    const std::size_t first = !text.empty() && text[0] == '#' ? 1 : 0;
    const std::size_t digits = text.size() - first;
    if (digits != kHexDigitsOpaque && digits != kHexDigitsAlpha) return false;
    Rgba value = 0;
    for (std::size_t i = first; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) return false;
        value = value << 4 | static_cast<Rgba>(digit);
    }
    *colour = digits == kHexDigitsOpaque ? value << 8 | kOpaqueAlpha : value;
    return true;
}

bool ParseGradient(const std::string& text, Gradient* gradient) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    const std::string kind = text.substr(0, colon);
    const std::vector<std::string> fields = Fields(text.substr(colon + 1));
    Gradient read;
    for (int i = 0; i < kGradientKindCount; ++i) {
        if (kind == GRADIENT_KINDS[i]) read.kind = static_cast<GradientKind>(i + 1);
    }
    const std::size_t most = read.kind == GradientKind::kLinear ? 3 : 2;
    if (read.kind == GradientKind::kNone || fields.size() < 2 || fields.size() > most ||
        !ParseRgba(fields[0], &read.from) || !ParseRgba(fields[1], &read.to) ||
        (fields.size() == 3 && !ParseWhole(fields[2], 0, kFullTurn - 1, &read.angle))) {
        return false;
    }
    *gradient = read;
    return true;
}

bool ReadDecimal(const std::string& text, std::size_t* at, double* value) {
    std::size_t i = *at;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    double read = 0;
    double place = 0;  // 0 before the point, then 0.1, 0.01, ...
    int digits = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && place == 0) {
            place = 0.1;
        } else if (c >= '0' && c <= '9') {
            read = place == 0 ? read * 10 + (c - '0') : read + (c - '0') * place;
            place /= 10;
            ++digits;
        } else {
            break;
        }
    }
    if (digits == 0) return false;
    *at = i;
    *value = negative ? -read : read;
    return true;
}

bool ParseLength(const std::string& text, double* value, LengthUnit* unit) {
    static const struct {
        const char* suffix;
        LengthUnit unit;
    } kUnits[] = {
        {"mm", LengthUnit::kMillimetre}, {"in", LengthUnit::kInch}, {"pt", LengthUnit::kPoint}};
    std::size_t at = 0;
    double read = 0;
    if (text.empty() || text[0] == '-' || text[0] == '+' || !ReadDecimal(text, &at, &read) ||
        !(read > 0)) {
        return false;
    }
    for (const auto& u : kUnits) {
        if (text.compare(at, std::string::npos, u.suffix) == 0) {
            *value = read;
            *unit = u.unit;
            return true;
        }
    }
    return false;
}

bool ParseCmyk(const std::string& text, int percent[kCmykComponents]) {
    const std::vector<std::string> fields = Fields(text);
    int read[kCmykComponents];
    if (fields.size() != kCmykComponents) return false;
    for (int i = 0; i < kCmykComponents; ++i) {
        if (!ParseWhole(fields[i], 0, kMaxCmykPercent, &read[i])) return false;
    }
    std::memcpy(percent, read, sizeof read);
    return true;
}

double LengthInPoints(double value, LengthUnit unit) {
    switch (unit) {
        case LengthUnit::kNone:
            return 0;
        case LengthUnit::kMillimetre:
            return value / kMillimetresPerInch * kPointsPerInch;
        case LengthUnit::kInch:
            return value * kPointsPerInch;
        case LengthUnit::kPoint:
            return value;
    }
    return 0;
}

std::string CheckStyle(ImageFormat format, int symbolSize, const RenderOptions& options,
                       const StyleOptions& style) {
    const int shape = static_cast<int>(style.shape);
    const int finder = static_cast<int>(style.finder);
    const int gradient = static_cast<int>(style.gradient.kind);
    const int unit = static_cast<int>(style.sizeUnit);
    if (shape < 0 || shape >= kModuleShapeCount)
        return "unknown module shape " + std::to_string(shape);
    if (finder < 0 || finder >= kFinderStyleCount)
        return "unknown finder style " + std::to_string(finder);
    if (gradient < 0 || gradient > static_cast<int>(GradientKind::kRadial)) {
        return "unknown gradient kind " + std::to_string(gradient);
    }
    if (style.gradient.angle < 0 || style.gradient.angle >= kFullTurn) {
        return "the gradient's angle must be 0 to 359, not " + std::to_string(style.gradient.angle);
    }
    if (unit < 0 || unit > static_cast<int>(LengthUnit::kPoint))
        return "unknown unit " + std::to_string(unit);
    if (style.sizeUnit != LengthUnit::kNone && !(style.size > 0 && std::isfinite(style.size))) {
        return "the printed size must be above 0";
    }
    for (const int c : style.cmykPercent) {
        if (style.cmyk && (c < 0 || c > kMaxCmykPercent)) return "CMYK components must be 0 to 100";
    }
    if (style.cmyk && style.gradient.kind != GradientKind::kNone) {
        return "a CMYK dark colour and a gradient both replace the dark colour: give one";
    }
    for (const char* text : {style.title, style.description}) {
        if (text != nullptr && HasControlCharacter(text)) {
            return "the title and the description may not hold control characters";
        }
    }
    LogoKind logo = LogoKind::kNone;
    if (style.logo != nullptr) {
        if (style.logoPercent < kMinLogoPercent || style.logoPercent > kMaxLogoPercent) {
            return "the logo's size must be " + std::to_string(kMinLogoPercent) + " to " +
                   std::to_string(kMaxLogoPercent) + " percent of the symbol's width, not " +
                   std::to_string(style.logoPercent);
        }
        logo = LogoKindOf(style.logo, style.logoSize);
        if (logo == LogoKind::kNone) return "the logo is neither a PNG nor an SVG image";
    }

    const StyleSupport can = SupportOf(format);
    const std::string name = FormatInfo(format).name;
    if (!can.shapes) return name + " output takes no styles";
    const struct {
        bool asked;
        bool drawn;
        const char* what;
    } kParts[] = {
        {AnyRegionColour(style), can.regions, "region colours"},
        {style.gradient.kind != GradientKind::kNone, can.gradient, "gradients"},
        {logo == LogoKind::kPng, can.pngLogo, "PNG logos"},
        {logo == LogoKind::kSvg, can.svgLogo, "SVG logos"},
        {style.title != nullptr || style.description != nullptr, can.text,
         "titles and descriptions"},
        {style.cmyk, can.cmyk, "CMYK colours"},
        {style.sizeUnit != LengthUnit::kNone, can.size, "printed sizes"},
    };
    for (const auto& part : kParts) {
        if (part.asked && !part.drawn) return name + " output takes no " + part.what;
    }
    if (!FormatInfo(format).alpha) {
        const Rgba stops[] = {style.gradient.from, style.gradient.to};
        for (const Rgba colour : style.regions) {
            if (colour != kInheritColour && !Opaque(colour)) {
                return name + " output takes no transparency: give region colours with alpha FF";
            }
        }
        for (const Rgba colour : stops) {
            if (style.gradient.kind != GradientKind::kNone && !Opaque(colour)) {
                return name + " output takes no transparency: give gradient colours with alpha FF";
            }
        }
    }
    const bool raster = format == ImageFormat::kPng || format == ImageFormat::kBmp;
    if (raster && style.sizeUnit != LengthUnit::kNone) {
        if (options.dpi == 0)
            return "a printed size needs a resolution (dpi) for " + name + " output";
        if (RasterScale(symbolSize, options, style) == 0) {
            return "at " + std::to_string(options.dpi) +
                   " dpi that printed size gives a module under one pixel or an image wider than " +
                   std::to_string(kMaxStyledRasterSide) + " pixels";
        }
    }
    return "";
}

}  // namespace qr

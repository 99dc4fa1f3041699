// Styled rendering for a finished symbol: its map made from its kind, version and level, then the
// styled writers and the verifier of output/.
#include "module/styling.h"

#include <cstdlib>
#include <memory>
#include <new>

#include "encoder/symbol_map.h"
#include "module/messages.h"
#include "output/module_shapes.h"
#include "output/styled.h"

namespace qr {

namespace {

// More modules across than any box of a symbol could want; a longer length is said as this many.
constexpr int kMaxModulesAcross = 1 << 20;

// The regions' rows are made from REGION_NAMES, the rest are written here once.
struct StyleSettingRows {
    StyleSettingInfo rows[6 + kRegionCount];
    int count = 0;

    StyleSettingRows() {
        rows[count++] = {"shape", "NAME", StyleSetting::kShape};
        rows[count++] = {"finder", "NAME", StyleSetting::kFinder};
        for (const char* region : REGION_NAMES) {
            rows[count++] = {region, "COLOUR", StyleSetting::kRegion};
        }
        rows[count++] = {"gradient", "KIND:FROM,TO[,ANGLE]", StyleSetting::kGradient};
        rows[count++] = {"logo-size", "PCT", StyleSetting::kLogoSize};
        rows[count++] = {"cmyk", "C,M,Y,K", StyleSetting::kCmyk};
        rows[count++] = {"size", "LENGTH", StyleSetting::kSize};
    }
};
const StyleSettingRows SETTING_ROWS;

// The map of `symbol`, or null when no memory can be had.
std::unique_ptr<SymbolMap> MapOf(const Symbol& symbol) {
    std::unique_ptr<SymbolMap> map(new (std::nothrow) SymbolMap);
    const SymbolKind kind = symbol.rmqr    ? SymbolKind::kRmqr
                            : symbol.micro ? SymbolKind::kMicroQr
                                           : SymbolKind::kQrCode;
    if (map && !MapSymbol(kind, symbol.version, symbol.level, map.get())) map.reset();
    return map;
}

// CheckRendering() with the map made already.
std::string CheckWithMap(const Symbol& symbol, const SymbolMap& map, const OutputSettings& settings,
                         const StyleOptions& style) {
    std::string why;
    if (CheckOutputSettings(settings, &why) == TESSERA_OK && !style.Plain()) {
        why = CheckStyled(static_cast<ImageFormat>(settings.format), map,
                          ResolveRenderOptions(symbol, settings), style);
    }
    return why;
}

}  // namespace

StyleSettingTable StyleSettings() {
    return {SETTING_ROWS.rows, SETTING_ROWS.count};
}

std::string StyleSettingHelp(const StyleSettingInfo& info) {
    switch (info.setting) {
        case StyleSetting::kShape:
            return "the shape of the dark data modules: " + NameList(MODULE_SHAPES) +
                   " (default square)";
        case StyleSetting::kFinder:
            return "the finder patterns: " + NameList(FINDER_STYLES) + " (default square)";
        case StyleSetting::kRegion: {
            const std::string name = info.name;
            const bool dark = name.find("-dark") != std::string::npos;
            return "colour of the " + name + " modules, RRGGBB or RRGGBBAA in hex (default: the " +
                   (dark ? "dark" : "light") + " colour)";
        }
        case StyleSetting::kGradient: {
            // Each kind as the gradient parser reads it; a linear one also takes an angle.
            std::string kinds;
            for (int i = 0; i < kGradientKindCount; ++i) {
                if (i > 0) kinds += i + 1 == kGradientKindCount ? " or " : ", ";
                kinds += std::string(GRADIENT_KINDS[i]) + ":RRGGBB,RRGGBB";
                if (static_cast<GradientKind>(i + 1) == GradientKind::kLinear)
                    kinds += "[,ANGLE] (degrees, 0 left to right, 90 top to bottom)";
            }
            return "the dark modules in a gradient: " + kinds;
        }
        case StyleSetting::kLogoSize:
            return "the logo's width in percent of the symbol's, " +
                   std::to_string(kMinLogoPercent) + "-" + std::to_string(kMaxLogoPercent) +
                   " (default " + std::to_string(kDefaultLogoPercent) + ")";
        case StyleSetting::kCmyk:
            return "the dark colour as cyan, magenta, yellow and black, 0-" +
                   std::to_string(kMaxCmykPercent) + " each (EPS and PDF)";
        case StyleSetting::kSize:
            return "the printed width with the quiet zone, in mm, in or pt (\"30mm\"); with a "
                   "resolution, the scale of PNG and BMP";
    }
    return std::string();
}

std::string SetStyleSetting(const std::string& name, const std::string& value,
                            StyleOptions* style) {
    const StyleSettingTable table = StyleSettings();
    const StyleSettingInfo* info = nullptr;
    for (int i = 0; i < table.count; ++i) {
        if (name == table.rows[i].name) info = &table.rows[i];
    }
    if (info == nullptr) return "no part of a style is named " + PrintableName(name);
    const std::string refused =
        name + " takes " + StyleSettingHelp(*info) + ", not " + PrintableName(value);
    switch (info->setting) {
        case StyleSetting::kShape: {
            const int shape = IndexOfName(MODULE_SHAPES, value);
            if (shape < 0)
                return name + " takes " + NameList(MODULE_SHAPES) + ", not " + PrintableName(value);
            style->shape = static_cast<ModuleShape>(shape);
            break;
        }
        case StyleSetting::kFinder: {
            const int finder = IndexOfName(FINDER_STYLES, value);
            if (finder < 0)
                return name + " takes " + NameList(FINDER_STYLES) + ", not " + PrintableName(value);
            style->finder = static_cast<FinderStyle>(finder);
            break;
        }
        case StyleSetting::kRegion: {
            Rgba colour = 0;
            if (!ParseRgba(value, &colour) || colour == kInheritColour) {
                return name + " takes a colour RRGGBB or RRGGBBAA in hex, not " +
                       PrintableName(value);
            }
            style->regions[IndexOfName(REGION_NAMES, name)] = colour;
            break;
        }
        case StyleSetting::kGradient:
            if (!ParseGradient(value, &style->gradient)) return refused;
            break;
        case StyleSetting::kLogoSize: {
            const long percent = std::strtol(value.c_str(), nullptr, 10);
            if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos ||
                value.size() > 3 || percent < kMinLogoPercent || percent > kMaxLogoPercent) {
                return refused;
            }
            style->logoPercent = static_cast<int>(percent);
            break;
        }
        case StyleSetting::kCmyk:
            if (!ParseCmyk(value, style->cmykPercent)) return refused;
            style->cmyk = true;
            break;
        case StyleSetting::kSize:
            if (!ParseLength(value, &style->size, &style->sizeUnit)) return refused;
            break;
    }
    return std::string();
}

int ModulesAcross(const std::string& length, int dpi, int scale) {
    double value = 0;
    LengthUnit unit = LengthUnit::kNone;
    if (dpi <= 0 || scale <= 0 || !ParseLength(length, &value, &unit)) return -1;
    const double modules = LengthInPoints(value, unit) / kPointsPerInch * dpi / scale;
    return modules >= kMaxModulesAcross ? kMaxModulesAcross : static_cast<int>(modules);
}

std::string CheckRendering(const Symbol& symbol, const OutputSettings& settings,
                           const StyleOptions& style) {
    if (style.Plain()) {
        std::string why;
        CheckOutputSettings(settings, &why);
        return why;
    }
    const std::unique_ptr<SymbolMap> map = MapOf(symbol);
    return map ? CheckWithMap(symbol, *map, settings, style) : "out of memory";
}

Status RenderStyled(const Symbol& symbol, const OutputSettings& settings, const StyleOptions& style,
                    std::string* bytes) try {
    if (style.Plain()) return Render(symbol, settings, bytes);
    const std::unique_ptr<SymbolMap> map = MapOf(symbol);
    if (!map) return TESSERA_ERROR_NO_MEMORY;
    if (!CheckWithMap(symbol, *map, settings, style).empty()) return TESSERA_ERROR_BAD_ARGUMENT;
    const auto format = static_cast<ImageFormat>(settings.format);
    if (FormatInfo(format).writer == nullptr) return TESSERA_ERROR_FORMAT_NOT_AVAILABLE;
    return ComposeStyled(format, symbol.modules, *map, ResolveRenderOptions(symbol, settings),
                         style, bytes)
               ? TESSERA_OK
               : TESSERA_ERROR_NO_MEMORY;
} catch (const std::bad_alloc&) {
    return TESSERA_ERROR_NO_MEMORY;
}

Status VerifyStyled(const Symbol& symbol, const OutputSettings& settings, const StyleOptions& style,
                    VerifyResult* result, std::string* why) try {
    const std::unique_ptr<SymbolMap> map = MapOf(symbol);
    if (!map) return TESSERA_ERROR_NO_MEMORY;
    const std::string refused = CheckWithMap(symbol, *map, settings, style);
    if (!refused.empty()) {
        if (why != nullptr) *why = refused;
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    *result = VerifyRendering(static_cast<ImageFormat>(settings.format), symbol.modules, *map,
                              ResolveRenderOptions(symbol, settings), style);
    return TESSERA_OK;
} catch (const std::bad_alloc&) {
    return TESSERA_ERROR_NO_MEMORY;
}

Status RenderStyledWrite(const Symbol& symbol, const OutputSettings& output,
                         const StyleOptions& style, const Destination& destination, bool verify,
                         VerifyResult* result, std::string* message) {
    const std::string why = CheckRendering(symbol, output, style);
    if (!why.empty()) {
        *message = why;
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    if (verify) {
        const Status verified = VerifyStyled(symbol, output, style, result, message);
        if (verified == TESSERA_ERROR_NO_MEMORY) {
            *message = "the rendering cannot be verified: out of memory";
        }
        if (verified != TESSERA_OK) return verified;
    }
    if (style.Plain()) return RenderWrite(symbol, output, destination, message);
    std::string bytes;
    const Status status = RenderStyledExplained(symbol, output, style, &bytes, message);
    return status != TESSERA_OK ? status : WriteBytes(bytes, destination, message);
}

Status RenderStyledExplained(const Symbol& symbol, const OutputSettings& settings,
                             const StyleOptions& style, std::string* bytes, std::string* message) {
    const Status status = RenderStyled(symbol, settings, style, bytes);
    if (status == TESSERA_ERROR_BAD_ARGUMENT) {
        *message = CheckRendering(symbol, settings, style);
    } else if (status != TESSERA_OK) {
        const char* name = FormatInfo(static_cast<ImageFormat>(settings.format)).name;
        *message = status == TESSERA_ERROR_FORMAT_NOT_AVAILABLE
                       ? std::string(name) + " output is not available in this build"
                       : std::string("the ") + name + " output cannot be made: out of memory";
    }
    return status;
}

}  // namespace qr

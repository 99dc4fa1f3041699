// Verification: the drawing as the writer draws it, sampled at the module centres, and the checks
// around it.
#include "output/verify.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "output/drawing.h"
#include "output/logo.h"
#include "output/path_text.h"
#include "output/raster.h"

namespace qr {

namespace {

constexpr double kComponentMax = 255;
constexpr double kPointsPerMillimetre = 72 / 25.4;
constexpr int kFormatCopyCount = 2;

// The relative luminance of `colour` laid over white (WCAG 2).
double Luminance(Rgba colour) {
    const Rgba c = Over(colour, kDefaultLight);
    auto linear = [](unsigned component) {
        const double v = component / kComponentMax;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(RedOf(c)) + 0.7152 * linear(GreenOf(c)) + 0.0722 * linear(BlueOf(c));
}

// The colour that a CMYK dark colour (percentages) shows on screen.
Rgba CmykOnScreen(const int percent[kCmykComponents]) {
    const double black = 1 - percent[3] / 100.0;
    Rgba colour = kOpaqueAlpha;
    for (int i = 0; i < 3; ++i) {
        const double component = kComponentMax * (1 - percent[i] / 100.0) * black;
        colour |= static_cast<Rgba>(std::lround(component)) << (24 - 8 * i);
    }
    return colour;
}

// One decimal place: "2.1".
std::string OnePlace(double value) {
    return Decimal(std::round(value * 10) / 10);
}

class Findings {
public:
    void Warn(const std::string& line) { Add(VerifyStatus::kReadsWithWarnings, line); }
    void Fail(const std::string& line) { Add(VerifyStatus::kUnreadable, line); }
    VerifyResult Result() const { return result_; }

private:
    void Add(VerifyStatus status, const std::string& line) {
        result_.status = std::max(result_.status, status);
        result_.problems += line + "\n";
    }
    VerifyResult result_;
};

// The dark colours that a region of the symbol shows, each with the light colour around it, and
// the region's name ("finder").
struct ColourPair {
    std::string region;
    Rgba dark;
    Rgba light;
};

// The pairs of the regions that the symbol of `map` has, in the order they first come.
std::vector<ColourPair> ColourPairs(const StyleOptions& style, const RenderOptions& options,
                                    const SymbolMap& map) {
    std::vector<ColourPair> pairs;
    bool seen[kRegionCount] = {};
    for (int x = 0; x < map.width; ++x) {
        for (int y = 0; y < map.height; ++y) {
            const ModuleRole role = map.cells[x][y].role;
            const int dark = static_cast<int>(DarkRegionOf(role));
            if (role == ModuleRole::kSeparator || seen[dark]) continue;
            seen[dark] = true;
            const std::string name = REGION_NAMES[dark];
            const std::string region = name.substr(0, name.find('-'));
            const Rgba light = RegionColour(style, options, LightRegionOf(role));
            if (style.regions[dark] != kInheritColour) {
                pairs.push_back({region, style.regions[dark], light});
            } else if (style.gradient.kind != GradientKind::kNone) {
                pairs.push_back({region, style.gradient.from, light});
                pairs.push_back({region, style.gradient.to, light});
            } else {
                pairs.push_back(
                    {region, style.cmyk ? CmykOnScreen(style.cmykPercent) : options.dark, light});
            }
        }
    }
    return pairs;
}

void CheckContrast(const std::vector<ColourPair>& pairs, Findings* findings) {
    const ColourPair* worst = nullptr;
    double least = 0;
    bool inverted = false;
    for (const ColourPair& pair : pairs) {
        const double ratio = ContrastRatio(pair.dark, pair.light);
        if (worst == nullptr || ratio < least) {
            worst = &pair;
            least = ratio;
        }
        inverted = inverted || Luminance(pair.dark) > Luminance(pair.light);
    }
    if (least < kMinContrastRatio) {
        findings->Fail("the " + worst->region + " colours have a contrast of " + OnePlace(least) +
                       ":1, under " + OnePlace(kMinContrastRatio) + ":1");
    }
    if (inverted) {
        findings->Warn(
            "the dark modules are lighter than the light ones: many readers do not "
            "read inverted symbols");
    }
}

// The module size in millimetres that the output of a symbol `width` modules wide prints at, or 0
// when it states no size.
double PrintedModule(ImageFormat format, int width, const RenderOptions& options,
                     const StyleOptions& style) {
    const bool raster = format == ImageFormat::kPng || format == ImageFormat::kBmp;
    if (raster && options.dpi != 0) {
        return RasterScale(width, options, style) * 25.4 / options.dpi;
    }
    if (!raster && style.sizeUnit != LengthUnit::kNone) {
        return PointsPerModule(width, options, style) / kPointsPerMillimetre;
    }
    return 0;
}

// "1 module", "2 modules".
std::string Counted(int n, const std::string& one, const std::string& many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The cells on the middle row and column of each finder and sub-finder, by y * width + x: the
// lines a reader scans through a finder, which keep their widths whatever its style does to its
// corners.
std::vector<bool> FinderLines(const SymbolMap& map) {
    std::vector<bool> lines(static_cast<std::size_t>(map.width) * map.height, false);
    for (const FinderPlace& place : FinderPlaces(map)) {
        const int middle = place.side / 2;
        for (int i = 0; i < place.side; ++i) {
            lines[static_cast<std::size_t>(place.y + middle) * map.width + place.x + i] = true;
            lines[static_cast<std::size_t>(place.y + i) * map.width + place.x + middle] = true;
        }
    }
    return lines;
}

// The modules that read wrong: by role, by copy of the format and version information, and the
// codewords they spoil by block.
struct Tally {
    int wrong[kModuleRoleCount] = {};
    bool copyWrong[2][kFormatCopyCount] = {};  // format, version
    int blockWrong[kMaxBlocks] = {};

    // Counts `cell`; `codewordWrong` marks the codewords already counted.
    void Count(const MappedModule& cell, std::vector<bool>* codewordWrong) {
        ++wrong[static_cast<int>(cell.role)];
        if (cell.role == ModuleRole::kFormat || cell.role == ModuleRole::kVersion) {
            copyWrong[cell.role == ModuleRole::kVersion ? 1 : 0][cell.copy] = true;
        }
        if (cell.codeword != kNoCodeword && !(*codewordWrong)[cell.codeword]) {
            (*codewordWrong)[cell.codeword] = true;
            ++blockWrong[cell.block];
        }
    }
    int Of(ModuleRole role) const { return wrong[static_cast<int>(role)]; }
};

void ReportPatterns(const SymbolMap& map, const Tally& tally, Findings* findings) {
    const int finder = tally.Of(ModuleRole::kFinder) + tally.Of(ModuleRole::kSubFinder);
    if (finder > 0) {
        findings->Fail(Counted(finder, "module", "modules") +
                       " on the finder patterns' middle lines read wrong");
    }
    if (tally.Of(ModuleRole::kSeparator) > 0) {
        findings->Fail(Counted(tally.Of(ModuleRole::kSeparator), "separator module reads",
                               "separator modules read") +
                       " dark");
    }
    const bool oneCopy = map.kind == SymbolKind::kMicroQr;  // Micro QR keeps one format copy
    for (const auto& [index, name] : {std::pair{0, "format"}, std::pair{1, "version"}}) {
        const bool first = tally.copyWrong[index][0], second = tally.copyWrong[index][1];
        const std::string what = std::string("the ") + name + " information";
        if ((oneCopy && first) || (first && second)) {
            findings->Fail(what + " reads wrong in every copy");
        } else if (first || second) {
            findings->Warn(what + " reads wrong in one of its two copies");
        }
    }
    for (const auto& [role, name] :
         {std::pair{ModuleRole::kTiming, "timing"}, std::pair{ModuleRole::kAlignment, "alignment"},
          std::pair{ModuleRole::kDarkModule, "dark module"},
          std::pair{ModuleRole::kCornerFinder, "corner pattern"}}) {
        if (tally.Of(role) > 0) {
            const std::string noun = name;
            findings->Warn(Counted(tally.Of(role), noun + " module reads wrong",
                                   noun + " modules read wrong"));
        }
    }
}

// The blocks: how many have more wrong codewords than they correct, or spend more than the margin
// allows, and the worst of them.
void ReportBlocks(const SymbolMap& map, const Tally& tally, Findings* findings) {
    // The share of what block b corrects that its wrong codewords take: above 1 it is lost.
    auto share = [&](int b) {
        const int correctable = map.blocks[b].correctable;
        const int wrong = tally.blockWrong[b];
        return correctable > 0 ? static_cast<double>(wrong) / correctable
               : wrong > 0     ? HUGE_VAL
                               : 0;
    };
    int over = 0, tight = 0, worst = 0;
    for (int b = 0; b < map.blockCount; ++b) {
        over += share(b) > 1 ? 1 : 0;
        tight += share(b) <= 1 && share(b) * 100 > kStyleDamagePercent ? 1 : 0;
        if (share(b) > share(worst)) worst = b;
    }
    const std::string detail =
        " (block " + std::to_string(worst + 1) + " of " + std::to_string(map.blockCount) + ": " +
        std::to_string(tally.blockWrong[worst]) + " wrong codewords, it corrects " +
        std::to_string(map.blocks[worst].correctable) + ")";
    if (over > 0) {
        findings->Fail(Counted(over, "block has more wrong codewords than it corrects",
                               "blocks have more wrong codewords than they correct") +
                       detail);
    } else if (tight > 0) {
        findings->Warn(Counted(tight, "block spends", "blocks spend") + " more than " +
                       std::to_string(kStyleDamagePercent) + "% of what error correction repairs" +
                       detail);
    }
}

}  // namespace

double ContrastRatio(Rgba a, Rgba b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

VerifyResult VerifyRendering(ImageFormat format, const ModuleMatrix& modules, const SymbolMap& map,
                             const RenderOptions& options, const StyleOptions& style) {
    const int w = map.width;
    const int h = map.height;
    Findings findings;
    const std::vector<ColourPair> pairs = ColourPairs(style, options, map);
    CheckContrast(pairs, &findings);

    // The image: the writer's pixels, or for vector formats one pixel a module, taking the colour
    // at its centre. The logo is not painted: the modules under it count as changed.
    LogoImage logo;
    std::string unread;
    const bool hasLogo = style.logo != nullptr && ReadLogo(style, false, &logo, &unread);
    Drawing drawing = DrawSymbol(modules, map, options, style, hasLogo ? &logo : nullptr);
    drawing.logo = nullptr;
    const bool raster = format == ImageFormat::kPng || format == ImageFormat::kBmp;
    const int scale = raster ? RasterScale(w, options, style) : 1;
    const RgbaImage image = Rasterise(
        drawing, scale, format == ImageFormat::kPng ? EdgeRule::kCoverage : EdgeRule::kPixelCentre);

    // A sample is dark when its luminance lies nearer the dark colours' than the light colour's.
    double darkLuminance = 0;
    for (const ColourPair& pair : pairs) darkLuminance += Luminance(pair.dark) / pairs.size();
    const double lightLuminance = Luminance(options.light);
    const int margin = options.margin;
    auto sampleDark = [&](int u, int v) {  // u, v: modules from the image's corner
        const int x = std::min(image.width - 1, static_cast<int>((u + 0.5) * scale));
        const int y = std::min(image.height - 1, static_cast<int>((v + 0.5) * scale));
        const double l = Luminance(image.At(x, y));
        return std::fabs(l - darkLuminance) < std::fabs(l - lightLuminance);
    };

    // The quiet zone.
    bool quietDark = false;
    for (int v = 0; v < h + 2 * margin; ++v) {
        for (int u = 0; u < w + 2 * margin; ++u) {
            const bool inside = u >= margin && v >= margin && u < margin + w && v < margin + h;
            quietDark = quietDark || (!inside && sampleDark(u, v));
        }
    }
    if (quietDark) findings.Fail("the quiet zone reads as dark");
    const int wanted = map.kind == SymbolKind::kMicroQr ? kMicroQuietZoneModules
                       : map.kind == SymbolKind::kRmqr  ? kRmqrQuietZoneModules
                                                        : kQuietZoneModules;
    if (margin < wanted) {
        findings.Warn("a quiet zone of " + Counted(margin, "module", "modules") +
                      ": readers expect " + std::to_string(wanted));
    }

    // The modules: each changed one counted by its role, and by its codeword in its block.
    const std::vector<bool> finderLines = FinderLines(map);
    Tally tally;
    std::vector<bool> codewordWrong(static_cast<std::size_t>(map.codewordCount), false);
    for (int v = 0; v < h; ++v) {
        for (int u = 0; u < w; ++u) {
            const MappedModule& cell = map.cells[u][v];
            const bool shaped =
                (cell.role == ModuleRole::kFinder || cell.role == ModuleRole::kSubFinder) &&
                !finderLines[static_cast<std::size_t>(v) * w + u];
            const double cx = u + margin + 0.5, cy = v + margin + 0.5;
            const bool hidden = hasLogo && cx >= drawing.logoX &&
                                cx < drawing.logoX + drawing.logoWidth && cy >= drawing.logoY &&
                                cy < drawing.logoY + drawing.logoHeight;
            if (shaped || (!hidden && sampleDark(u + margin, v + margin) == (modules[u][v] != 0))) {
                continue;
            }
            tally.Count(cell, &codewordWrong);
        }
    }
    ReportPatterns(map, tally, &findings);
    ReportBlocks(map, tally, &findings);

    const double module = PrintedModule(format, w, options, style);
    if (module > 0 && module * 1000 < kMinPrintedModuleMicrometres) {
        findings.Warn("a module prints " + Decimal(std::round(module * 100) / 100) +
                      " mm wide, under " + Decimal(kMinPrintedModuleMicrometres / 1000.0) + " mm");
    }
    return findings.Result();
}

}  // namespace qr

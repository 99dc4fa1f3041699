// How a symbol may be styled beyond its two colours: the shape of the dark data modules, the style
// of the finder patterns, a colour for each region, a gradient, a logo, an accessible title, a
// CMYK dark colour and a printed size. One plain record that every caller (the API, the command,
// the bindings) fills field by field, the names each field takes in text, and the one check of a
// record against a format. With every field at its default nothing is styled, and the plain
// writers run unchanged.
#pragma once

#include <cstddef>
#include <string>

#include "output/image_format.h"
#include "output/render_options.h"

namespace qr {

enum class ModuleShape : int { kSquare, kDot, kRounded, kClassy, kDiamond, kHBars, kVBars };
constexpr int kModuleShapeCount = 7;

enum class FinderStyle : int { kSquare, kRounded, kDot };
constexpr int kFinderStyleCount = 3;

// The regions that take colours of their own. A dark and a light colour for each kind of pattern
// and for the data, one colour for the separators (always light) and one for the quiet zone.
enum class Region : int {
    kFinderDark,
    kFinderLight,
    kAlignmentDark,
    kAlignmentLight,
    kTimingDark,
    kTimingLight,
    kFormatDark,
    kFormatLight,
    kVersionDark,
    kVersionLight,
    kDataDark,
    kDataLight,
    kSeparator,
    kQuietZone,
};
constexpr int kRegionCount = 14;

// A region colour of 0 (transparent black) is not set: the region takes the dark or the light
// colour. A transparent region is given with any other colour of alpha 00, e.g. FFFFFF00.
constexpr Rgba kInheritColour = 0;

enum class GradientKind : int { kNone, kLinear, kRadial };
// The names of the gradient kinds, GradientKind(i + 1) for entry i.
constexpr const char* GRADIENT_KINDS[] = {"linear", "radial"};
constexpr int kGradientKindCount = static_cast<int>(sizeof GRADIENT_KINDS / sizeof *GRADIENT_KINDS);

// A gradient in place of the dark colour, across the symbol (without its quiet zone): linear from
// one side to the other in the direction `angle` (degrees clockwise from left to right, so 90
// runs top to bottom), or radial from the centre to the corners.
struct Gradient {
    GradientKind kind = GradientKind::kNone;
    Rgba from = 0;
    Rgba to = 0;
    int angle = 0;  // 0..359
};

enum class LengthUnit : int { kNone, kMillimetre, kInch, kPoint };

// A logo's width as a share of the symbol's width (without its quiet zone), in percent.
constexpr int kMinLogoPercent = 1;
constexpr int kMaxLogoPercent = 100;
constexpr int kDefaultLogoPercent = 20;
// The most pixels a side of a PNG logo may have.
constexpr int kMaxLogoSide = 4096;
// CMYK components, in percent.
constexpr int kCmykComponents = 4;
constexpr int kMaxCmykPercent = 100;
// The smallest module worth printing, in micrometres.
constexpr int kMinPrintedModuleMicrometres = 250;
// The largest raster image a printed size and resolution may ask for, in pixels a side.
constexpr int kMaxStyledRasterSide = 4096;
// Readers locate round finder patterns less precisely than square ones, and the largest symbols
// need the most precision: dot finders are drawn up to this version, and never in Micro QR, whose
// one finder is all a reader has to go by, nor in rMQR, whose readers find the corners of its
// finder and sub-finder.
constexpr int kMaxDotFinderVersion = 35;
// The share of what a block's error correction repairs that styling may spend, in percent: a logo
// may hide no more codewords of any block, and a verified symbol with more damage in a block
// reads without margin.
constexpr int kStyleDamagePercent = 70;

struct StyleOptions {
    ModuleShape shape = ModuleShape::kSquare;
    FinderStyle finder = FinderStyle::kSquare;
    Rgba regions[kRegionCount] = {};  // by Region; kInheritColour falls back
    Gradient gradient;
    // A PNG or SVG logo (told apart by its first bytes), not owned; null for none.
    const unsigned char* logo = nullptr;
    std::size_t logoSize = 0;
    int logoPercent = kDefaultLogoPercent;  // kMinLogoPercent..kMaxLogoPercent
    // SVG: a title (also the aria-label) and a description, UTF-8; null for none.
    const char* title = nullptr;
    const char* description = nullptr;
    // EPS and PDF: the dark colour as cyan, magenta, yellow and black, each 0..100.
    bool cmyk = false;
    int cmykPercent[kCmykComponents] = {};
    // The printed width of the symbol with its quiet zone; unit kNone for none. EPS, PDF and SVG
    // take it as their size; PNG and BMP, with a resolution, as the scale.
    double size = 0;
    LengthUnit sizeUnit = LengthUnit::kNone;

    // Whether nothing is styled: the plain writers draw the symbol.
    bool Plain() const;
};

// The colour of `region`: its own, or the dark or light colour it falls back to.
Rgba RegionColour(const StyleOptions& style, const RenderOptions& options, Region region);

// The names of the regions as text takes them: "finder-dark", ..., "quiet-zone"; index i names
// Region i. (The shapes' and finder styles' names are in their tables, module_shapes.h.)
extern const char* const REGION_NAMES[kRegionCount];

// The name of a row of a table of names: the row itself, or its `name`.
inline const char* NameOf(const char* name) {
    return name;
}
template <class Row>
const char* NameOf(const Row& row) {
    return row.name;
}

// The index of the row of `rows` named `name` (as given, lower case), or -1.
template <class Row, std::size_t N>
int IndexOfName(const Row (&rows)[N], const std::string& name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (name == NameOf(rows[i])) return static_cast<int>(i);
    }
    return -1;
}

// The names of the rows of `rows` as "a, b or c", for messages.
template <class Row, std::size_t N>
std::string NameList(const Row (&rows)[N]) {
    std::string list;
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0) list += i + 1 == N ? " or " : ", ";
        list += NameOf(rows[i]);
    }
    return list;
}

// Reads a colour RRGGBB or RRGGBBAA (hex digits of either case, '#' allowed before them); RRGGBB
// is opaque. Returns false, leaving `colour`, for anything else.
bool ParseRgba(const std::string& text, Rgba* colour);

// Reads "linear:RRGGBB,RRGGBB[,ANGLE]" or "radial:RRGGBB,RRGGBB" (colours as ParseRgba takes
// them, the angle in whole degrees 0..359). Returns false, leaving `gradient`, otherwise.
bool ParseGradient(const std::string& text, Gradient* gradient);

// Reads a decimal number at `*at` of `text`: an optional sign, digits with at most one point
// among them and at least one digit, as written in any locale. Moves `*at` past it and returns
// true, or returns false leaving both.
bool ReadDecimal(const std::string& text, std::size_t* at, double* value);

// Reads a length: a positive decimal number and a unit "mm", "in" or "pt" ("30mm", "1.5in").
// Returns false, leaving the outputs, otherwise.
bool ParseLength(const std::string& text, double* value, LengthUnit* unit);

// Reads "C,M,Y,K", four whole numbers 0..100. Returns false, leaving `percent`, otherwise.
bool ParseCmyk(const std::string& text, int percent[kCmykComponents]);

// A point is 1/72 inch.
constexpr double kPointsPerInch = 72;

// Points (1/72 inch) in `value` of `unit`; 0 for kNone.
double LengthInPoints(double value, LengthUnit unit);

// The pixels a module takes in raster output of a symbol of `symbolSize` modules: the scale, or
// with a printed size, the whole pixels a module gets at the resolution. 0 when that is under one
// pixel, or when the printed size is wider than kMaxStyledRasterSide pixels.
int RasterScale(int symbolSize, const RenderOptions& options, const StyleOptions& style);

// The points a module takes in vector output: the scale, or the printed size shared out.
double PointsPerModule(int symbolSize, const RenderOptions& options, const StyleOptions& style);

// An empty string when `style` is in range and `format` can draw every part of it for a symbol of
// `symbolSize` modules with `options` (checked already), else one line naming the first part that
// is out of range or that the format cannot draw. The logo is looked at only for its kind (PNG or
// SVG); its size against the symbol is CheckLogo's (logo.h).
std::string CheckStyle(ImageFormat format, int symbolSize, const RenderOptions& options,
                       const StyleOptions& style);

}  // namespace qr

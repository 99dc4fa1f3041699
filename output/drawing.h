// The one model of a styled symbol that every styled writer serialises: layers of filled paths,
// each with a paint (a colour or a gradient), painted in order, and a logo on top. SVG, EPS and PDF
// write the paths as they are; PNG and BMP rasterise them (raster.h). Coordinates are in modules
// from the image's top-left corner, quiet zone included, with y running down.
#pragma once

#include <cstddef>
#include <vector>

#include "encoder/module_matrix.h"
#include "encoder/symbol_map.h"
#include "output/logo.h"
#include "output/render_options.h"
#include "output/style_options.h"

namespace qr {

struct Point {
    double x;
    double y;
};

// Closed outlines of lines and cubic Bezier curves, filled by the nonzero rule. Shapes are added
// clockwise on screen; a hole is added anticlockwise (Reversed).
class Path {
public:
    enum Verb : unsigned char { kMove, kLine, kCubic, kClose };

    void MoveTo(Point p);
    void LineTo(Point p);
    void CubicTo(Point c1, Point c2, Point p);
    void Close();

    // A rectangle whose corners are rounded with the radii `radii` (top left, top right, bottom
    // right, bottom left; 0 for a square corner, at most half the shorter side), as quarter
    // circles.
    void RoundedRectangle(double x, double y, double width, double height, const double radii[4]);
    void Rectangle(double x, double y, double width, double height);
    void Circle(double cx, double cy, double r);
    // A polygon through `count` corners, in the order given.
    void Polygon(const Point* corners, int count);
    // Appends every outline of `other` run backwards, so that it cuts a hole.
    void AppendReversed(const Path& other);
    // Appends every outline of `other`.
    void Append(const Path& other);

    const std::vector<Verb>& verbs() const { return verbs_; }
    // Move and Line take one point, Cubic three (two control points, then the end), Close none.
    const std::vector<Point>& points() const { return points_; }
    bool empty() const { return verbs_.empty(); }

private:
    std::vector<Verb> verbs_;
    std::vector<Point> points_;
};

enum class PaintKind { kSolid, kLinear, kRadial };

struct Paint {
    PaintKind kind = PaintKind::kSolid;
    Rgba colour = 0;  // kSolid
    // kSolid in EPS and PDF: the colour as CMYK percentages instead.
    bool cmyk = false;
    int cmykPercent[kCmykComponents] = {};
    // Gradients: `from` at `start` to `to` at `end` (linear), or from `start`, the centre, out to
    // `radius` (radial).
    Rgba from = 0;
    Rgba to = 0;
    Point start = {0, 0};
    Point end = {0, 0};
    double radius = 0;

    bool operator==(const Paint& other) const;
};

struct Layer {
    Paint paint;
    Path path;
};

struct Drawing {
    // Modules across and down, quiet zone included.
    double width = 0;
    double height = 0;
    std::vector<Layer> layers;
    std::size_t firstDarkLayer = 0;  // the layers before it paint the light colours
    // The logo and its box, or null.
    const LogoImage* logo = nullptr;
    double logoX = 0, logoY = 0, logoWidth = 0, logoHeight = 0;
};

// The colour of a gradient at `t` (0 at its start, 1 at its end), each component and alpha
// interpolated and rounded.
Rgba GradientColour(const Paint& paint, double t);
// Where `p` lies along a gradient paint: 0 at its start, 1 at its end, clamped.
double GradientPosition(const Paint& paint, Point p);

// The drawing of the cells of `modules` (non-zero dark) whose map is `map` (its width x height),
// with `options` and `style` (checked), and `logo` (read, and checked against the map) or null.
// The light layers come first, region by region, then the dark modules by paint: the finders and
// rMQR's sub-finder in the finder style, the data modules in their shape, the others square; the
// cells under a logo and its plate are left light. Throws std::bad_alloc when no memory can be
// had.
Drawing DrawSymbol(const ModuleMatrix& modules, const SymbolMap& map, const RenderOptions& options,
                   const StyleOptions& style, const LogoImage* logo);

// The region whose dark and whose light colour a module of `role` takes (kSeparator's light for
// separators).
Region DarkRegionOf(ModuleRole role);
Region LightRegionOf(ModuleRole role);

// A finder pattern, or rMQR's sub-finder: its top-left cell and its side in modules (7, or 5).
struct FinderPlace {
    int x;
    int y;
    int side;
};
// The finder patterns of `map`, and its sub-finder, if any, last.
std::vector<FinderPlace> FinderPlaces(const SymbolMap& map);

}  // namespace qr

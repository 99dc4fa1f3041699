// The drawing of a styled symbol: paths, paints, and the layers of a symbol from its map.
#include "output/drawing.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "output/module_shapes.h"
#include "output/vector_shared.h"

namespace qr {

namespace {

// The control points of a quarter circle of radius r lie k r from its ends along their tangents.
constexpr double kQuarterCircle = 0.5522847498307936;  // 4/3 (sqrt 2 - 1)
constexpr double kDegree = 3.14159265358979323846 / 180;
constexpr int kComponentMax = 255;
constexpr int kFinderSide = 7;
constexpr int kSubFinderSide = 5;

Point Along(Point from, Point to, double share) {
    return {from.x + (to.x - from.x) * share, from.y + (to.y - from.y) * share};
}

}  // namespace

void Path::MoveTo(Point p) {
    verbs_.push_back(kMove);
    points_.push_back(p);
}

void Path::LineTo(Point p) {
    verbs_.push_back(kLine);
    points_.push_back(p);
}

void Path::CubicTo(Point c1, Point c2, Point p) {
    verbs_.push_back(kCubic);
    points_.push_back(c1);
    points_.push_back(c2);
    points_.push_back(p);
}

void Path::Close() {
    verbs_.push_back(kClose);
}

// Clockwise from the end of the top-left corner's curve. A corner of radius r runs from the point
// r before the corner to the point r after it, as a quarter circle.
void Path::RoundedRectangle(double x, double y, double width, double height,
                            const double radii[4]) {
    const Point corners[4] = {{x, y}, {x + width, y}, {x + width, y + height}, {x, y + height}};
    // The direction of each side from corner i to corner i + 1, as unit steps.
    const Point steps[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    auto before = [&](int i) {  // the point radii[i] before corner i
        const Point s = steps[(i + 3) % 4];
        return Point{corners[i].x - s.x * radii[i], corners[i].y - s.y * radii[i]};
    };
    auto after = [&](int i) {  // the point radii[i] after corner i
        const Point s = steps[i];
        return Point{corners[i].x + s.x * radii[i], corners[i].y + s.y * radii[i]};
    };
    MoveTo(after(0));
    for (int k = 1; k <= 4; ++k) {
        const int i = k % 4;
        const Point end = after(i);
        if (radii[i] == 0) {
            LineTo(corners[i]);
            continue;
        }
        const Point start = before(i);
        const Point last = points_.back();
        if (last.x != start.x || last.y != start.y) LineTo(start);
        CubicTo(Along(start, corners[i], kQuarterCircle), Along(end, corners[i], kQuarterCircle),
                end);
    }
    // A square top-left corner: the last line ends where the outline began, which the close does.
    if (radii[0] == 0) {
        verbs_.pop_back();
        points_.pop_back();
    }
    Close();
}

void Path::Rectangle(double x, double y, double width, double height) {
    const double square[4] = {0, 0, 0, 0};
    RoundedRectangle(x, y, width, height, square);
}

void Path::Circle(double cx, double cy, double r) {
    const double round[4] = {r, r, r, r};
    RoundedRectangle(cx - r, cy - r, 2 * r, 2 * r, round);
}

void Path::Polygon(const Point* corners, int count) {
    MoveTo(corners[0]);
    for (int i = 1; i < count; ++i) LineTo(corners[i]);
    Close();
}

void Path::Append(const Path& other) {
    verbs_.insert(verbs_.end(), other.verbs_.begin(), other.verbs_.end());
    points_.insert(points_.end(), other.points_.begin(), other.points_.end());
}

// Each outline of `other` from its last point back to its first: the segments in reverse order,
// each ending where the one before it began, a curve's control points swapped. The closing line
// of the outline, drawn backwards, is the reversed outline's own closing line.
void Path::AppendReversed(const Path& other) {
    std::size_t verb = 0;
    std::size_t point = 0;
    std::vector<std::size_t> firsts;  // the first point of each segment of one outline
    while (verb < other.verbs_.size()) {
        const Point start = other.points_[point++];  // the outline's move
        firsts.clear();
        for (++verb; other.verbs_[verb] != kClose; ++verb) {
            firsts.push_back(point);
            point += other.verbs_[verb] == kCubic ? 3 : 1;
        }
        ++verb;  // its close
        MoveTo(firsts.empty() ? start : other.points_[point - 1]);
        for (std::size_t k = firsts.size(); k-- > 0;) {
            const std::size_t at = firsts[k];
            const Point target = k == 0 ? start : other.points_[firsts[k] - 1];
            if (other.verbs_[verb - 1 - (firsts.size() - k)] == kCubic) {
                CubicTo(other.points_[at + 1], other.points_[at], target);
            } else {
                LineTo(target);
            }
        }
        Close();
    }
}

bool Paint::operator==(const Paint& other) const {
    return kind == other.kind && colour == other.colour && cmyk == other.cmyk &&
           std::memcmp(cmykPercent, other.cmykPercent, sizeof cmykPercent) == 0 &&
           from == other.from && to == other.to && start.x == other.start.x &&
           start.y == other.start.y && end.x == other.end.x && end.y == other.end.y &&
           radius == other.radius;
}

Rgba GradientColour(const Paint& paint, double t) {
    Rgba colour = 0;
    for (const int shift : {24, 16, 8, 0}) {
        const double a = (paint.from >> shift) & kComponentMax;
        const double b = (paint.to >> shift) & kComponentMax;
        colour |= static_cast<Rgba>(std::lround(a + (b - a) * t)) << shift;
    }
    return colour;
}

double GradientPosition(const Paint& paint, Point p) {
    double t = 0;
    if (paint.kind == PaintKind::kLinear) {
        const double dx = paint.end.x - paint.start.x;
        const double dy = paint.end.y - paint.start.y;
        t = ((p.x - paint.start.x) * dx + (p.y - paint.start.y) * dy) / (dx * dx + dy * dy);
    } else if (paint.kind == PaintKind::kRadial) {
        t = std::hypot(p.x - paint.start.x, p.y - paint.start.y) / paint.radius;
    }
    return t < 0 ? 0 : t > 1 ? 1 : t;
}

Region DarkRegionOf(ModuleRole role) {
    switch (role) {
        case ModuleRole::kFinder:
        case ModuleRole::kSubFinder:
        case ModuleRole::kCornerFinder:
            return Region::kFinderDark;
        case ModuleRole::kAlignment:
            return Region::kAlignmentDark;
        case ModuleRole::kTiming:
            return Region::kTimingDark;
        case ModuleRole::kFormat:
        case ModuleRole::kDarkModule:
            return Region::kFormatDark;
        case ModuleRole::kVersion:
            return Region::kVersionDark;
        case ModuleRole::kData:
        case ModuleRole::kSeparator:
            break;
    }
    return Region::kDataDark;
}

Region LightRegionOf(ModuleRole role) {
    return role == ModuleRole::kSeparator
               ? Region::kSeparator
               : static_cast<Region>(static_cast<int>(DarkRegionOf(role)) + 1);
}

std::vector<FinderPlace> FinderPlaces(const SymbolMap& map) {
    std::vector<FinderPlace> places;
    for (const auto& [role, side] : {std::pair{ModuleRole::kFinder, kFinderSide},
                                     std::pair{ModuleRole::kSubFinder, kSubFinderSide}}) {
        auto in = [&, role = role](int x, int y) {
            return x >= 0 && y >= 0 && map.cells[x][y].role == role;
        };
        for (int y = 0; y < map.height; ++y) {
            for (int x = 0; x < map.width; ++x) {
                if (in(x, y) && !in(x - 1, y) && !in(x, y - 1)) places.push_back({x, y, side});
            }
        }
    }
    return places;
}

namespace {

// The paint of the dark modules of `region`: its own colour, or the gradient, the CMYK colour or
// the dark colour in its place.
Paint DarkPaint(const StyleOptions& style, const RenderOptions& options, Region region,
                const Drawing& drawing, double margin) {
    Paint paint;
    if (style.regions[static_cast<int>(region)] != kInheritColour) {
        paint.colour = style.regions[static_cast<int>(region)];
        return paint;
    }
    paint.colour = options.dark;
    if (style.cmyk) {
        paint.cmyk = true;
        std::memcpy(paint.cmykPercent, style.cmykPercent, sizeof paint.cmykPercent);
    }
    const Gradient& g = style.gradient;
    if (g.kind == GradientKind::kNone) return paint;
    paint.from = g.from;
    paint.to = g.to;
    const double across = drawing.width - 2 * margin;
    const double down = drawing.height - 2 * margin;
    const Point centre = {drawing.width / 2, drawing.height / 2};
    if (g.kind == GradientKind::kRadial) {
        paint.kind = PaintKind::kRadial;
        paint.start = centre;
        paint.radius = std::hypot(across, down) / 2;  // to the corners
        return paint;
    }
    // Linear: along the angle's direction, through the centre, as far as the symbol's corners
    // reach either way.
    paint.kind = PaintKind::kLinear;
    const double dx = std::cos(g.angle * kDegree);
    const double dy = std::sin(g.angle * kDegree);
    const double reach = (std::fabs(dx) * across + std::fabs(dy) * down) / 2;
    paint.start = {centre.x - dx * reach, centre.y - dy * reach};
    paint.end = {centre.x + dx * reach, centre.y + dy * reach};
    return paint;
}

// The cells of one colour or paint, as a matrix for TraceOutlines.
struct CellSet {
    ModuleMatrix cells;
    bool any = false;
};

// Adds the outlines of the `width` x `height` cells of `set` to `path`, moved by `margin`.
void AddOutlines(int width, int height, const CellSet& set, double margin, Path* path) {
    const Outlines outlines = TraceOutlines(width, height, set.cells);
    std::size_t begin = 0;
    std::vector<Point> corners;
    for (const std::size_t end : outlines.ends) {
        corners.clear();
        for (std::size_t i = begin; i < end; ++i) {
            corners.push_back({outlines.corners[i].x + margin, outlines.corners[i].y + margin});
        }
        path->Polygon(corners.data(), static_cast<int>(corners.size()));
        begin = end;
    }
}

// Layers by paint in the order their paints first come, each with the cells drawn square and
// the path of everything else.
class LayerSet {
public:
    LayerSet(int width, int height) : width_(width), height_(height) {}

    int Index(const Paint& paint) {
        for (std::size_t i = 0; i < paints_.size(); ++i) {
            if (paints_[i] == paint) return static_cast<int>(i);
        }
        paints_.push_back(paint);
        squares_.push_back(std::make_unique<CellSet>());
        std::memset(squares_.back()->cells, 0, sizeof squares_.back()->cells);
        paths_.emplace_back();
        return static_cast<int>(paints_.size() - 1);
    }
    void AddSquare(int layer, int x, int y) {
        squares_[layer]->cells[x][y] = 1;
        squares_[layer]->any = true;
    }
    Path* PathOf(int layer) { return &paths_[layer]; }

    // Appends the layers that paint anything to `drawing`, the squares first.
    void AddTo(Drawing* drawing, double margin) {
        for (std::size_t i = 0; i < paints_.size(); ++i) {
            Layer layer;
            layer.paint = paints_[i];
            if (squares_[i]->any) {
                AddOutlines(width_, height_, *squares_[i], margin, &layer.path);
            }
            layer.path.Append(paths_[i]);
            if (!layer.path.empty()) drawing->layers.push_back(std::move(layer));
        }
    }

private:
    int width_;
    int height_;
    std::vector<Paint> paints_;
    std::vector<std::unique_ptr<CellSet>> squares_;
    std::vector<Path> paths_;
};

}  // namespace

Drawing DrawSymbol(const ModuleMatrix& modules, const SymbolMap& map, const RenderOptions& options,
                   const StyleOptions& style, const LogoImage* logo) {
    Drawing drawing;
    const int w = map.width;
    const int h = map.height;
    const double margin = options.margin;
    drawing.width = w + 2 * margin;
    drawing.height = h + 2 * margin;
    LogoArea area = {0, 0, 0, 0, 0, 0, 0, 0};
    if (logo != nullptr) {
        area = PlaceLogo(w, h, style.logoPercent, logo->width / logo->height);
        drawing.logo = logo;
        drawing.logoX = area.x + margin;
        drawing.logoY = area.y + margin;
        drawing.logoWidth = area.width;
        drawing.logoHeight = area.height;
    }

    // The light layers: one square when every region and the quiet zone take the same colour,
    // else the quiet zone as a frame and the cells by their regions' light colours.
    LayerSet light(w, h);
    Paint quiet;
    quiet.colour = RegionColour(style, options, Region::kQuietZone);
    bool uniform = true;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Paint paint;
            paint.colour = RegionColour(style, options, LightRegionOf(map.cells[x][y].role));
            uniform = uniform && paint == quiet;
            light.AddSquare(light.Index(paint), x, y);
        }
    }
    if (uniform) {
        Layer whole;
        whole.paint = quiet;
        whole.path.Rectangle(0, 0, drawing.width, drawing.height);
        drawing.layers.push_back(std::move(whole));
    } else {
        if (margin > 0) {
            Path* frame = light.PathOf(light.Index(quiet));
            Path inner;
            frame->Rectangle(0, 0, drawing.width, drawing.height);
            inner.Rectangle(margin, margin, w, h);
            frame->AppendReversed(inner);
        }
        light.AddTo(&drawing, margin);
    }
    LayerSet dark(w, h);
    // The finders whole, and the sub-finder, in their style.
    const Paint finderPaint = DarkPaint(style, options, Region::kFinderDark, drawing, margin);
    for (const FinderPlace& place : FinderPlaces(map)) {
        FINDER_STYLES[static_cast<int>(style.finder)].outline(
            dark.PathOf(dark.Index(finderPaint)), place.x + margin, place.y + margin, place.side);
    }
    const ModuleOutline shape = MODULE_SHAPES[static_cast<int>(style.shape)].outline;
    auto shaped = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < w && y < h && modules[x][y] != 0 &&
               map.cells[x][y].role == ModuleRole::kData && !area.Clears(x, y);
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const ModuleRole role = map.cells[x][y].role;
            if (modules[x][y] == 0 || role == ModuleRole::kFinder ||
                role == ModuleRole::kSubFinder || area.Clears(x, y)) {
                continue;
            }
            const int layer =
                dark.Index(DarkPaint(style, options, DarkRegionOf(role), drawing, margin));
            if (role != ModuleRole::kData || style.shape == ModuleShape::kSquare) {
                dark.AddSquare(layer, x, y);
                continue;
            }
            const unsigned neighbours =
                (shaped(x - 1, y) ? kLeftNeighbour : 0) | (shaped(x + 1, y) ? kRightNeighbour : 0) |
                (shaped(x, y - 1) ? kUpNeighbour : 0) | (shaped(x, y + 1) ? kDownNeighbour : 0);
            shape(dark.PathOf(layer), x + margin, y + margin, neighbours);
        }
    }
    drawing.firstDarkLayer = drawing.layers.size();
    dark.AddTo(&drawing, margin);
    return drawing;
}

}  // namespace qr

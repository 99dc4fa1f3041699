// The rasteriser. A path becomes line segments in pixels; the image is painted a band of rows at a
// time, each segment going to the bands it crosses.
//
// Coverage by signed area: walking a path's outlines, each piece of a segment inside one pixel adds
// its height (signed by its direction) to every pixel to its right in that row, the pixel it
// crosses taking the share of that height which lies to the right of the piece. A running sum
// along the row then gives the area of each pixel enclosed by the path, by the winding of its
// outlines: exact for lines, and for shapes that do not overlap one another.
#include "output/raster.h"

#include <algorithm>
#include <cmath>

namespace qr {

namespace {

constexpr int kBandRows = 64;
// Curves are cut into lines that stray no further than this from them, in pixels.
constexpr double kFlatness = 1.0 / 64;
constexpr int kMaxCurvePieces = 256;
constexpr double kComponentMax = 255;

struct Segment {
    double x0, y0, x1, y1;
};

// The outlines of `path` as segments in pixels, every outline closed.
std::vector<Segment> Flatten(const Path& path, double scale) {
    std::vector<Segment> segments;
    const std::vector<Point>& points = path.points();
    std::size_t at = 0;
    Point start = {0, 0};
    Point current = {0, 0};
    auto lineTo = [&](Point p) {
        if (p.x != current.x || p.y != current.y)
            segments.push_back({current.x, current.y, p.x, p.y});
        current = p;
    };
    auto pixels = [&](Point p) { return Point{p.x * scale, p.y * scale}; };
    for (const Path::Verb verb : path.verbs()) {
        switch (verb) {
            case Path::kMove:
                start = current = pixels(points[at++]);
                break;
            case Path::kLine:
                lineTo(pixels(points[at++]));
                break;
            case Path::kCubic: {
                const Point p0 = current;
                const Point p1 = pixels(points[at]);
                const Point p2 = pixels(points[at + 1]);
                const Point p3 = pixels(points[at + 2]);
                at += 3;
                // Lines through n equal steps of the curve stray at most 3/4 of the larger second
                // difference of its points, divided by n squared.
                const double dd =
                    std::max(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                             std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
                const int n = std::min(
                    kMaxCurvePieces,
                    std::max(1, static_cast<int>(std::ceil(std::sqrt(0.75 * dd / kFlatness)))));
                for (int i = 1; i <= n; ++i) {
                    const double t = static_cast<double>(i) / n;
                    const double u = 1 - t;
                    const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
                    lineTo(i == n ? p3
                                  : Point{a * p0.x + b * p1.x + c * p2.x + d * p3.x,
                                          a * p0.y + b * p1.y + c * p2.y + d * p3.y});
                }
                break;
            }
            case Path::kClose:
                lineTo(start);
                break;
        }
    }
    return segments;
}

// The x of a segment at height y.
double XAt(const Segment& s, double y) {
    return s.x0 + (s.x1 - s.x0) * (y - s.y0) / (s.y1 - s.y0);
}

// One band of rows [top, top + rows) of a layer: the share of each pixel that the layer paints.
class Band {
public:
    Band(int width, int top, int rows)
        : width_(width),
          top_(top),
          rows_(rows),
          cells_(static_cast<std::size_t>(rows) * (width + 2), 0) {}

    // Coverage: adds the segment's part within the band.
    void AddArea(const Segment& s) {
        const double low = std::max(std::min(s.y0, s.y1), static_cast<double>(top_));
        const double high = std::min(std::max(s.y0, s.y1), static_cast<double>(top_ + rows_));
        if (low >= high || s.y0 == s.y1) return;
        // Cut at every row boundary, then every column boundary; each piece lies in one pixel.
        const double sign = s.y1 > s.y0 ? 1 : -1;
        for (double y = low; y < high;) {
            const double next = std::min(high, std::floor(y) + 1);
            const int row = static_cast<int>(std::floor(y)) - top_;
            AddRowPiece(row, XAt(s, y), XAt(s, next), sign * (next - y));
            y = next;
        }
    }

    // Pixel centres: marks the pixels whose centres the outlines of `segments` enclose.
    void FillCentres(const std::vector<const Segment*>& segments) {
        std::vector<std::pair<double, int>> crossings;
        for (int row = 0; row < rows_; ++row) {
            const double y = top_ + row + 0.5;
            crossings.clear();
            for (const Segment* s : segments) {
                if ((s->y0 <= y && y < s->y1) || (s->y1 <= y && y < s->y0)) {
                    crossings.push_back({XAt(*s, y), s->y1 > s->y0 ? 1 : -1});
                }
            }
            std::sort(crossings.begin(), crossings.end());
            int winding = 0;
            std::size_t next = 0;
            for (int x = 0; x < width_; ++x) {
                const double centre = x + 0.5;
                while (next < crossings.size() && crossings[next].first <= centre) {
                    winding += crossings[next++].second;
                }
                Cell(row, x) = winding != 0 ? 1 : 0;
            }
        }
    }

    // Turns the heights added by AddArea into the covered share of each pixel.
    void SumAreas() {
        for (int row = 0; row < rows_; ++row) {
            double sum = 0;
            for (int x = 0; x < width_; ++x) {
                sum += Cell(row, x);
                Cell(row, x) = std::min(1.0, std::fabs(sum));
            }
        }
    }

    double Share(int row, int x) const {
        return cells_[static_cast<std::size_t>(row) * (width_ + 2) + x];
    }

private:
    double& Cell(int row, int x) {
        return cells_[static_cast<std::size_t>(row) * (width_ + 2) + x];
    }

    // A piece of height `dy` (signed) within row `row` from x `xa` to `xb`: cut at every column
    // boundary; each part adds to its pixel the share of its height to the right of its middle,
    // and to the next pixel the rest.
    void AddRowPiece(int row, double xa, double xb, double dy) {
        const double left = std::min(xa, xb);
        const double right = std::max(xa, xb);
        double x = left;
        do {
            const double next = std::min(right, std::floor(x) + 1);
            const double part = right == left ? dy : dy * (next - x) / (right - left);
            const double middle = right == left ? x : (x + next) / 2;
            const int column = std::max(0, std::min(width_, static_cast<int>(std::floor(middle))));
            const double inside = std::max(0.0, std::min(1.0, middle - column));
            Cell(row, column) += part * (1 - inside);
            Cell(row, column + 1) += part * inside;
            x = next;
        } while (x < right);
    }

    int width_;
    int top_;
    int rows_;
    std::vector<double> cells_;
};

// The colour a layer paints at pixel (x, y).
Rgba PaintAt(const Paint& paint, int x, int y, int scale) {
    if (paint.kind == PaintKind::kSolid) return paint.colour;
    const Point p = {(x + 0.5) / scale, (y + 0.5) / scale};
    return GradientColour(paint, GradientPosition(paint, p));
}

// `colour` with its alpha taken `share` times, over `*pixel`.
void Blend(Rgba colour, double share, Rgba* pixel) {
    const double alpha = std::round(AlphaOf(colour) * share);
    *pixel = Over((colour & ~Rgba{0xFF}) | static_cast<Rgba>(alpha), *pixel);
}

// The average of the logo's pixels under pixel (x, y) of the image, the logo's box starting at
// (left, top) and `width` x `height` pixels large; premultiplied, then straight.
Rgba LogoPixel(const LogoImage& logo, double left, double top, double width, double height, int x,
               int y) {
    const int w = static_cast<int>(logo.width);
    const int h = static_cast<int>(logo.height);
    auto span = [](double from, double to, int limit, int* first, int* last) {
        *first = std::max(0, std::min(limit - 1, static_cast<int>(std::floor(from))));
        *last = std::max(*first + 1, std::min(limit, static_cast<int>(std::ceil(to))));
    };
    int x0, x1, y0, y1;
    span((x - left) / width * w, (x + 1 - left) / width * w, w, &x0, &x1);
    span((y - top) / height * h, (y + 1 - top) / height * h, h, &y0, &y1);
    double sums[4] = {0, 0, 0, 0};
    for (int sy = y0; sy < y1; ++sy) {
        for (int sx = x0; sx < x1; ++sx) {
            const Rgba p = logo.pixels[static_cast<std::size_t>(sy) * w + sx];
            const double a = AlphaOf(p);
            sums[0] += RedOf(p) * a;
            sums[1] += GreenOf(p) * a;
            sums[2] += BlueOf(p) * a;
            sums[3] += a;
        }
    }
    const double count = static_cast<double>(x1 - x0) * (y1 - y0);
    if (sums[3] == 0) return 0;
    auto component = [&](int i) { return static_cast<Rgba>(std::lround(sums[i] / sums[3])); };
    return component(0) << 24 | component(1) << 16 | component(2) << 8 |
           static_cast<Rgba>(std::lround(sums[3] / count));
}

}  // namespace

Rgba Over(Rgba top, Rgba bottom) {
    const double ta = AlphaOf(top) / kComponentMax;
    const double ba = AlphaOf(bottom) / kComponentMax;
    const double alpha = ta + ba * (1 - ta);
    if (alpha == 0) return 0;
    Rgba out = 0;
    for (const int shift : {24, 16, 8}) {
        const double t = (top >> shift) & 0xFF;
        const double b = (bottom >> shift) & 0xFF;
        out |= static_cast<Rgba>(std::lround((t * ta + b * ba * (1 - ta)) / alpha)) << shift;
    }
    return out | static_cast<Rgba>(std::lround(alpha * kComponentMax));
}

RgbaImage Rasterise(const Drawing& drawing, int scale, EdgeRule rule) {
    RgbaImage image;
    image.width = static_cast<int>(std::lround(drawing.width * scale));
    image.height = static_cast<int>(std::lround(drawing.height * scale));
    image.pixels.assign(static_cast<std::size_t>(image.width) * image.height, 0);
    const int bands = (image.height + kBandRows - 1) / kBandRows;
    for (const Layer& layer : drawing.layers) {
        const std::vector<Segment> segments = Flatten(layer.path, scale);
        std::vector<std::vector<const Segment*>> byBand(static_cast<std::size_t>(bands));
        for (const Segment& s : segments) {
            const int first =
                std::max(0, static_cast<int>(std::floor(std::min(s.y0, s.y1))) / kBandRows);
            const int last =
                std::min(bands - 1, static_cast<int>(std::floor(std::max(s.y0, s.y1))) / kBandRows);
            for (int b = first; b <= last; ++b) byBand[b].push_back(&s);
        }
        for (int b = 0; b < bands; ++b) {
            if (byBand[b].empty()) continue;
            const int top = b * kBandRows;
            const int rows = std::min(kBandRows, image.height - top);
            Band band(image.width, top, rows);
            if (rule == EdgeRule::kCoverage) {
                for (const Segment* s : byBand[b]) band.AddArea(*s);
                band.SumAreas();
            } else {
                band.FillCentres(byBand[b]);
            }
            for (int row = 0; row < rows; ++row) {
                for (int x = 0; x < image.width; ++x) {
                    const double share = band.Share(row, x);
                    if (share <= 0) continue;
                    Blend(PaintAt(layer.paint, x, top + row, scale), share,
                          &image.pixels[static_cast<std::size_t>(top + row) * image.width + x]);
                }
            }
        }
    }
    if (drawing.logo != nullptr && !drawing.logo->pixels.empty()) {
        const double left = drawing.logoX * scale;
        const double top = drawing.logoY * scale;
        const double width = drawing.logoWidth * scale;
        const double height = drawing.logoHeight * scale;
        for (int y = 0; y < image.height; ++y) {
            if (y + 0.5 < top || y + 0.5 >= top + height) continue;
            for (int x = 0; x < image.width; ++x) {
                if (x + 0.5 < left || x + 0.5 >= left + width) continue;
                Rgba& pixel = image.pixels[static_cast<std::size_t>(y) * image.width + x];
                pixel = Over(LogoPixel(*drawing.logo, left, top, width, height, x, y), pixel);
            }
        }
    }
    return image;
}

}  // namespace qr

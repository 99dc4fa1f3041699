// The outlines of the module shapes and finder styles.
#include "output/module_shapes.h"

#include <algorithm>

namespace qr {

namespace {

constexpr double kHalf = 0.5;
constexpr double kDotRadius = 0.45;  // a little under half a module, so that dots stand apart
constexpr double kBarWidth = 0.8;    // across a bar; its rounded end has half of it as radius

// The radius of a corner between two sides: `r` where neither neighbour `a` nor `b` continues the
// shape.
double CornerRadius(unsigned neighbours, unsigned a, unsigned b, double r) {
    return (neighbours & (a | b)) != 0 ? 0 : r;
}

void Square(Path* path, double x, double y, unsigned) {
    path->Rectangle(x, y, 1, 1);
}

void Dot(Path* path, double x, double y, unsigned) {
    path->Circle(x + kHalf, y + kHalf, kDotRadius);
}

// Each corner rounded where neither of the sides that meet there continues into a neighbour, so
// that runs and blocks of modules join into one rounded shape.
void Rounded(Path* path, double x, double y, unsigned n) {
    const double radii[4] = {
        CornerRadius(n, kUpNeighbour, kLeftNeighbour, kHalf),
        CornerRadius(n, kUpNeighbour, kRightNeighbour, kHalf),
        CornerRadius(n, kDownNeighbour, kRightNeighbour, kHalf),
        CornerRadius(n, kDownNeighbour, kLeftNeighbour, kHalf),
    };
    path->RoundedRectangle(x, y, 1, 1, radii);
}

// As rounded, but only the top-left and bottom-right corners: leaves.
void Classy(Path* path, double x, double y, unsigned n) {
    const double radii[4] = {
        CornerRadius(n, kUpNeighbour, kLeftNeighbour, kHalf),
        0,
        CornerRadius(n, kDownNeighbour, kRightNeighbour, kHalf),
        0,
    };
    path->RoundedRectangle(x, y, 1, 1, radii);
}

void Diamond(Path* path, double x, double y, unsigned) {
    const Point corners[] = {
        {x + kHalf, y}, {x + 1, y + kHalf}, {x + kHalf, y + 1}, {x, y + kHalf}};
    path->Polygon(corners, 4);
}

// A bar across the middle of the cell, joined to the neighbours along it and rounded where the
// run ends.
void HorizontalBar(Path* path, double x, double y, unsigned n) {
    const double left = CornerRadius(n, kLeftNeighbour, 0, kBarWidth / 2);
    const double right = CornerRadius(n, kRightNeighbour, 0, kBarWidth / 2);
    const double radii[4] = {left, right, right, left};
    path->RoundedRectangle(x, y + (1 - kBarWidth) / 2, 1, kBarWidth, radii);
}

void VerticalBar(Path* path, double x, double y, unsigned n) {
    const double top = CornerRadius(n, kUpNeighbour, 0, kBarWidth / 2);
    const double bottom = CornerRadius(n, kDownNeighbour, 0, kBarWidth / 2);
    const double radii[4] = {top, top, bottom, bottom};
    path->RoundedRectangle(x + (1 - kBarWidth) / 2, y, kBarWidth, 1, radii);
}

// A finder from three rounded squares: the ring's outside and inside, and the ball, with the
// radii of their corners (the ball's at most half its side).
void RoundedSquares(Path* path, double x, double y, int side, double outer, double inner,
                    double ball) {
    const double ballRadius = std::min(ball, (side - 4) / 2.0);
    const double outerRadii[4] = {outer, outer, outer, outer};
    const double innerRadii[4] = {inner, inner, inner, inner};
    const double ballRadii[4] = {ballRadius, ballRadius, ballRadius, ballRadius};
    Path hole;
    path->RoundedRectangle(x, y, side, side, outerRadii);
    hole.RoundedRectangle(x + 1, y + 1, side - 2, side - 2, innerRadii);
    path->AppendReversed(hole);
    path->RoundedRectangle(x + 2, y + 2, side - 4, side - 4, ballRadii);
}

void SquareFinder(Path* path, double x, double y, int side) {
    RoundedSquares(path, x, y, side, 0, 0, 0);
}

// Corners rounded no further than readers still find the pattern's corners in the largest symbols.
// The ball's corners too: rounded by three quarters of a module, they shortened the runs of the
// ball's outer rows enough for zbar to miss a version 39 symbol drawn at 8 to 12 pixels a module.
// The sub-finder's one-module ball becomes a dot.
void RoundedFinder(Path* path, double x, double y, int side) {
    RoundedSquares(path, x, y, side, kHalf, kHalf / 2, kHalf);
}

// A round ball in a ring whose corners are rounded most of the way, each side straight across its
// middle 2.5 modules: the rows and columns through the ball's middle cross the ring in runs of
// exactly one module, as line scanners look for. A ring of circles, whose runs widen away from the
// centre, is missed by some readers in version 1, which has no alignment pattern to fall back on.
void DotFinder(Path* path, double x, double y, int side) {
    constexpr double kStraight = 2.5;
    const double outer = (side - kStraight) / 2;      // 2.25 on a finder's 7 modules
    const double inner = (side - 2 - kStraight) / 2;  // 1.25 on its 5-module hole
    RoundedSquares(path, x, y, side, outer, inner, (side - 4) / 2.0);
}

}  // namespace

const ModuleShapeInfo MODULE_SHAPES[kModuleShapeCount] = {
    {"square", Square},     {"dot", Dot},         {"rounded", Rounded},
    {"classy", Classy},     {"diamond", Diamond}, {"hbars", HorizontalBar},
    {"vbars", VerticalBar},
};

const FinderStyleInfo FINDER_STYLES[kFinderStyleCount] = {
    {"square", SquareFinder},
    {"rounded", RoundedFinder},
    {"dot", DotFinder},
};

}  // namespace qr

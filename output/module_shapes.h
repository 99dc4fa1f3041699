// The shapes of dark data modules and the styles of finder patterns: one outline function each,
// one table row each. A module's shape stays inside its own cell, so that the shapes of a layer
// never overlap and their coverages add up exactly; where a neighbour continues the shape it meets
// it along the whole shared side.
#pragma once

#include "output/drawing.h"
#include "output/style_options.h"

namespace qr {

// The neighbours of a module that are dark data modules too, as bits.
constexpr unsigned kLeftNeighbour = 1;
constexpr unsigned kRightNeighbour = 2;
constexpr unsigned kUpNeighbour = 4;
constexpr unsigned kDownNeighbour = 8;

// Adds to `path` the outline of a dark data module whose cell has its top-left corner at (x, y),
// one module a side, given its `neighbours`.
using ModuleOutline = void (*)(Path* path, double x, double y, unsigned neighbours);

// Adds to `path` a finder pattern whose `side` x `side` cells (7, or 5 for rMQR's sub-finder)
// have their top-left corner at (x, y): the outer ring one module wide (a hole cut by an
// anticlockwise outline) and the inner ball, `side` - 4 modules across.
using FinderOutline = void (*)(Path* path, double x, double y, int side);

struct ModuleShapeInfo {
    const char* name;  // as text takes it
    ModuleOutline outline;
};
struct FinderStyleInfo {
    const char* name;
    FinderOutline outline;
};

// Row i describes ModuleShape i, and FinderStyle i.
extern const ModuleShapeInfo MODULE_SHAPES[kModuleShapeCount];
extern const FinderStyleInfo FINDER_STYLES[kFinderStyleCount];

}  // namespace qr

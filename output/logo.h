// A logo in the middle of a symbol: its image (PNG decoded, SVG kept as text), where it goes, which
// modules it clears, and how large it may be before error correction can no longer absorb them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "encoder/symbol_map.h"
#include "output/render_options.h"
#include "output/style_options.h"

namespace qr {

enum class LogoKind { kNone, kPng, kSvg };

// The kind of `size` bytes at `bytes`: PNG by its signature, SVG when an <svg element opens after
// nothing but an XML declaration, comments, a doctype and white space; else kNone.
LogoKind LogoKindOf(const unsigned char* bytes, std::size_t size);

struct LogoImage {
    LogoKind kind = LogoKind::kNone;
    const unsigned char* bytes = nullptr;  // as given, not owned
    std::size_t size = 0;
    // Its proportions: PNG pixels; SVG the viewBox, or else the width and height (1 by 1 when it
    // states neither).
    double width = 1;
    double height = 1;
    // PNG: the pixels decoded, row by row from the top, 0xRRGGBBAA with straight alpha.
    std::vector<Rgba> pixels;
};

// Reads the logo of `style` into `logo`, decoding a PNG when `decode` is set. Returns false with
// one line in `why` when it is neither PNG nor SVG, or a PNG cannot be decoded or is larger than
// kMaxLogoSide pixels a side. Throws std::bad_alloc when no memory can be had.
bool ReadLogo(const StyleOptions& style, bool decode, LogoImage* logo, std::string* why);

// Where a logo of `percent` of the width of a symbol of `width` x `height` modules, `aspect`
// (width / height) wide, goes: its box in module coordinates of the symbol (0 at its left and top
// edges), centred, and the cells it clears: those under the box grown by one module on every
// side, within the symbol, from (cellX0, cellY0) to before (cellX1, cellY1).
struct LogoArea {
    double x, y, width, height;
    int cellX0, cellY0, cellX1, cellY1;

    bool Clears(int x, int y) const {
        return x >= cellX0 && x < cellX1 && y >= cellY0 && y < cellY1;
    }
};
LogoArea PlaceLogo(int width, int height, int percent, double aspect);

// Whether the symbol of `map` keeps reading with the cells of `area` cleared: they hold no
// function pattern but alignment patterns, and no block loses codewords beyond
// kStyleDamagePercent of what it corrects.
bool LogoFits(const SymbolMap& map, const LogoArea& area);

// The largest whole percent at which a logo of `aspect` fits the symbol of `map`; 0 when none.
int LargestLogoPercent(const SymbolMap& map, double aspect);

// An empty string when the logo of `style` (read into `logo`) fits the symbol of `map`, else one
// line naming the largest size that does.
std::string CheckLogo(const SymbolMap& map, const StyleOptions& style, const LogoImage& logo);

}  // namespace qr

// How a symbol becomes an image: the size of a module, the quiet zone, the two colours and the
// resolution, with their defaults and ranges. Every writer takes these, and every caller (the
// library's call, the API, the command) checks against the same limits.
#pragma once

#include <cstdint>

#include "encoder/module_matrix.h"

namespace qr {

// Pixels per module (points for vector formats, characters for text).
constexpr int kMinScale = 1;
constexpr int kMaxScale = 20;
constexpr int kDefaultImageScale = 4;
constexpr int kDefaultTextScale = 1;

// The light border around the symbol, in modules: by default the quiet zone its kind needs
// (kQuietZoneModules and the others, encoder/module_matrix.h).
constexpr int kMinMargin = 0;
constexpr int kMaxMargin = 64;

// Resolution in dots per inch; 0 means none is stated (BMP then keeps 3780 pixels per metre).
constexpr int kMinDpi = 1;
constexpr int kMaxDpi = 100000;

// An inch is 254 tenths of a millimetre, a metre 10000.
constexpr int kTenthsOfMillimetrePerInch = 254;
constexpr int kTenthsOfMillimetrePerMetre = 10000;

// The pixels per metre of `dpi` (kMinDpi..kMaxDpi) dots per inch, as PNG and BMP files state a
// resolution: dpi / 0.0254 rounded to the nearest whole number (none lies halfway).
constexpr std::uint32_t PixelsPerMetre(int dpi) {
    return static_cast<std::uint32_t>(
        (static_cast<std::uint64_t>(dpi) * kTenthsOfMillimetrePerMetre +
         kTenthsOfMillimetrePerInch / 2) /
        kTenthsOfMillimetrePerInch);
}

// A colour as 0xRRGGBBAA; alpha FF is opaque.
using Rgba = std::uint32_t;
constexpr unsigned kOpaqueAlpha = 0xFF;
constexpr Rgba kDefaultDark = 0x000000FF;
constexpr Rgba kDefaultLight = 0xFFFFFFFF;

struct RenderOptions {
    int scale = kDefaultImageScale;  // kMinScale..kMaxScale
    int margin = kQuietZoneModules;  // kMinMargin..kMaxMargin
    Rgba dark = kDefaultDark;
    Rgba light = kDefaultLight;
    int dpi = 0;  // kMinDpi..kMaxDpi, or 0

    // Whether the colours are the default black on white, which every format draws as before.
    bool DefaultColours() const { return dark == kDefaultDark && light == kDefaultLight; }
};

constexpr unsigned RedOf(Rgba c) {
    return c >> 24;
}
constexpr unsigned GreenOf(Rgba c) {
    return (c >> 16) & 0xFF;
}
constexpr unsigned BlueOf(Rgba c) {
    return (c >> 8) & 0xFF;
}
constexpr unsigned AlphaOf(Rgba c) {
    return c & 0xFF;
}
constexpr bool Opaque(Rgba c) {
    return AlphaOf(c) == kOpaqueAlpha;
}

}  // namespace qr

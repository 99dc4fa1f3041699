// The kinds of symbol the encoders make, and the shape of each of their versions with the quiet
// zone it needs: what a caller that fits a symbol into a box compares.
#pragma once

namespace qr {

enum SymbolFamily : int { FAMILY_QR_CODE = 0, FAMILY_MICRO_QR = 1, FAMILY_RMQR = 2 };
constexpr int kSymbolFamilyCount = 3;

struct SymbolShape {
    int version = 0;    // QR Code 1..40, Micro QR 1..4 (M1..M4), rMQR 1..32 (R7x43..R17x139)
    int width = 0;      // modules, without the quiet zone
    int height = 0;     // modules, without the quiet zone
    int quietZone = 0;  // light modules on every side

    int OuterWidth() const { return width + 2 * quietZone; }
    int OuterHeight() const { return height + 2 * quietZone; }
};

// The number of versions of `family` (a SymbolFamily), or 0 for another value.
int ShapeCount(int family);

// The shape of `version` (1..ShapeCount(family)) of `family`; all 0 for a version or family
// outside those.
SymbolShape ShapeOf(int family, int version);

}  // namespace qr

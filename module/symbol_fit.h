// The symbols that fit a box: every version of QR Code, Micro QR and rMQR whose size with its
// quiet zone is no larger than the box, in the order a caller tries them for the smallest.
#pragma once

#include <vector>

#include "encoder/symbol_shapes.h"

namespace qr {

struct FitCandidate {
    int family = FAMILY_QR_CODE;  // a SymbolFamily
    SymbolShape shape;
};

// The shapes of every family whose outer size (quiet zone included) is at most `width` x
// `height` modules, the smallest outer area first; of equal areas, QR Code before Micro QR before
// rMQR, and the lower version first. Empty when none fits.
std::vector<FitCandidate> FitCandidates(int width, int height);

// The name of `family` for messages: "QR Code", "Micro QR", "rMQR".
const char* FamilyName(int family);

}  // namespace qr

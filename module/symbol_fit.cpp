// Candidates by outer area, from the shapes the encoders state.
#include "module/symbol_fit.h"

#include <algorithm>

namespace qr {

std::vector<FitCandidate> FitCandidates(int width, int height) {
    std::vector<FitCandidate> fitting;
    for (int family = 0; family < kSymbolFamilyCount; ++family) {
        for (int version = 1; version <= ShapeCount(family); ++version) {
            const SymbolShape shape = ShapeOf(family, version);
            if (shape.OuterWidth() <= width && shape.OuterHeight() <= height) {
                fitting.push_back({family, shape});
            }
        }
    }
    // Families and versions were added in their order, which a stable sort keeps among equals.
    std::stable_sort(fitting.begin(), fitting.end(),
                     [](const FitCandidate& a, const FitCandidate& b) {
                         return a.shape.OuterWidth() * a.shape.OuterHeight() <
                                b.shape.OuterWidth() * b.shape.OuterHeight();
                     });
    return fitting;
}

const char* FamilyName(int family) {
    switch (family) {
        case FAMILY_MICRO_QR:
            return "Micro QR";
        case FAMILY_RMQR:
            return "rMQR";
        default:
            return "QR Code";
    }
}

}  // namespace qr

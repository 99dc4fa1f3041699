// The shapes that fit a box, smallest outer area first, counted by hand from the sizes: QR Code
// 4v + 17 and Micro QR 2v + 9 modules a side with quiet zones of 4 and 2, rMQR h x w with 2.
#include "module/symbol_fit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module/limits.h"

namespace qr {
namespace {

// "M1 M2 R11x27 1": the candidates in order, by the names the command gives them.
std::string Names(int width, int height) {
    std::string names;
    for (const FitCandidate& c : FitCandidates(width, height)) {
        if (!names.empty()) names += ' ';
        if (c.family == FAMILY_MICRO_QR) {
            names += "M" + std::to_string(c.shape.version);
        } else if (c.family == FAMILY_RMQR) {
            names += "R" + std::to_string(c.shape.height) + "x" + std::to_string(c.shape.width);
        } else {
            names += std::to_string(c.shape.version);
        }
    }
    return names;
}

TEST(SymbolFit, ShapesThatFitTheBoxSmallestOuterAreaFirst) {
    struct Case {
        int width, height;
        const char* names;
    };
    for (const Case& c : std::vector<Case>{
             {14, 100, ""},              // M1 is 15 x 15 with its quiet zone
             {15, 15, "M1"},             // 225
             {21, 21, "M1 M2 M3 M4"},    // 225, 289, 361, 441
             {29, 29, "M1 M2 M3 M4 1"},  // ... and 841
             {47, 11, "R7x43"},          // 47 x 11 = 517
             {50, 12, "R7x43"},          // Micro QR is 15 high at least
             {31, 15, "M1 R11x27"},      // 225, 31 x 15 = 465
             {47, 13, "R7x43 R9x43"},    // 517, 47 x 13 = 611
             {63, 11, "R7x43 R7x59"},    // 517, 63 x 11 = 693
         }) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        EXPECT_EQ(Names(c.width, c.height), c.names);
    }
    // Every one of the 76 shapes fits the largest box; the last is QR Code version 40.
    const std::vector<FitCandidate> all = FitCandidates(kLimits.fitSide.high, kLimits.fitSide.high);
    ASSERT_EQ(all.size(), 40u + 4u + 32u);
    EXPECT_EQ(all.back().family, FAMILY_QR_CODE);
    EXPECT_EQ(all.back().shape.version, 40);
}

}  // namespace
}  // namespace qr

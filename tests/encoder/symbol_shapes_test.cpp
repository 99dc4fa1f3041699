// The shapes a box is fitted with: every version of each kind, with its quiet zone.
#include "encoder/symbol_shapes.h"

#include <gtest/gtest.h>

#include <vector>

namespace qr {
namespace {

TEST(SymbolShapes, EachKindHasItsSizesAndQuietZone) {
    struct Case {
        int family, version, width, height, outerWidth, outerHeight;
    };
    for (const Case& c : std::vector<Case>{
             {FAMILY_QR_CODE, 1, 21, 21, 29, 29},
             {FAMILY_QR_CODE, 40, 177, 177, 185, 185},
             {FAMILY_MICRO_QR, 1, 11, 11, 15, 15},
             {FAMILY_MICRO_QR, 4, 17, 17, 21, 21},
             {FAMILY_RMQR, 1, 43, 7, 47, 11},
             {FAMILY_RMQR, 32, 139, 17, 143, 21},
             {FAMILY_RMQR, 33, 0, 0, 0, 0},
             {FAMILY_MICRO_QR, 0, 0, 0, 0, 0},
             {kSymbolFamilyCount, 1, 0, 0, 0, 0},
         }) {
        SCOPED_TRACE(std::to_string(c.family) + " " + std::to_string(c.version));
        const SymbolShape shape = ShapeOf(c.family, c.version);
        EXPECT_EQ(shape.version, c.width != 0 ? c.version : 0);
        EXPECT_EQ(shape.width, c.width);
        EXPECT_EQ(shape.height, c.height);
        EXPECT_EQ(shape.OuterWidth(), c.outerWidth);
        EXPECT_EQ(shape.OuterHeight(), c.outerHeight);
    }
    EXPECT_EQ(ShapeCount(FAMILY_QR_CODE) + ShapeCount(FAMILY_MICRO_QR) + ShapeCount(FAMILY_RMQR),
              40 + 4 + 32);
}

}  // namespace
}  // namespace qr

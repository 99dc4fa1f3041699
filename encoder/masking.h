// The facts of masking that the plain operations (masking.cpp), the mask trial (mask_trial.cpp)
// and the Micro QR encoder read: the eight mask conditions and the four Micro QR masks among them,
// the format words, the cells of the format information and the dark module, and the weights of
// the penalty rules (ISO/IEC 18004). Internal to the encoder.
#pragma once

#include "encoder/micro_encoder.h"
#include "encoder/qr_encoder.h"

namespace qr {

// Whether mask `mask` (0..7) inverts the free cell in column x, row y (the standard's row index
// i is y and its column index j is x).
constexpr bool MaskCondition(int mask, int x, int y) {
    switch (mask) {
        case 0:
            return (x + y) % 2 == 0;
        case 1:
            return y % 2 == 0;
        case 2:
            return x % 3 == 0;
        case 3:
            return (x + y) % 3 == 0;
        case 4:
            return (y / 2 + x / 3) % 2 == 0;
        case 5:
            return (x * y) % 2 + (x * y) % 3 == 0;
        case 6:
            return ((x * y) % 2 + (x * y) % 3) % 2 == 0;
        default:
            return ((x + y) % 2 + (x * y) % 3) % 2 == 0;
    }
}

// The Micro QR masks 0 to 3 are the conditions 1, 4, 6 and 7 of the QR Code masks.
constexpr int MICRO_MASK_CONDITIONS[kMicroMaskCount] = {1, 4, 6, 7};

// Micro QR format information word (15 bits) of `symbolNumber` (0..7) and `mask` (0..3): the
// symbol number and the mask with their BCH(15,5) remainder, after the XOR with 0x4445.
int MicroFormatInfoWord(int symbolNumber, int mask);

// Every condition repeats after 12 cells along either axis (its periods are 2, 3, 4 and 6).
constexpr int kMaskPeriod = 12;

// A cell of the symbol by column and row, where a negative coordinate counts from the far edge:
// -1 is the last column or row.
struct EdgeCell {
    int x;
    int y;
};

// The coordinate `c` of an EdgeCell in a symbol of `size` cells a side.
constexpr int FromEdge(int c, int size) {
    return c < 0 ? size + c : c;
}

// The format information: 15 bits, each written to two cells. The first copy runs down column 8
// beside the top-left finder and left along row 8, around the timing cells (8, 6) and (6, 8);
// the second runs left along row 8 below the top-right finder (bits 0-7) and down column 8 beside
// the bottom-left finder (bits 8-14).
constexpr int kFormatCopies = 2;

// clang-format off
constexpr EdgeCell FORMAT_CELLS[kFormatBits][kFormatCopies] = {
    {{8, 0}, {-1, 8}},  // bit 0, the least significant
    {{8, 1}, {-2, 8}},
    {{8, 2}, {-3, 8}},
    {{8, 3}, {-4, 8}},
    {{8, 4}, {-5, 8}},
    {{8, 5}, {-6, 8}},
    {{8, 7}, {-7, 8}},
    {{8, 8}, {-8, 8}},
    {{7, 8}, {8, -7}},
    {{5, 8}, {8, -6}},
    {{4, 8}, {8, -5}},
    {{3, 8}, {8, -4}},
    {{2, 8}, {8, -3}},
    {{1, 8}, {8, -2}},
    {{0, 8}, {8, -1}},  // bit 14
};
// clang-format on

// The Micro QR format information: one copy of 15 bits beside the finder, down column 8 from
// row 1 (bits 0-7) and on left along row 8 (bits 8-14).
// clang-format off
constexpr EdgeCell MICRO_FORMAT_CELLS[kFormatBits] = {
    {8, 1}, {8, 2}, {8, 3}, {8, 4}, {8, 5}, {8, 6}, {8, 7}, {8, 8},  // bits 0-7
    {7, 8}, {6, 8}, {5, 8}, {4, 8}, {3, 8}, {2, 8}, {1, 8},          // bits 8-14
};
// clang-format on

// The dark module: dark in every symbol, beside the bottom-left finder.
constexpr EdgeCell DARK_MODULE = {8, -8};

// The penalty rules and their weights. Rule 1: each run of kRunLength or more cells of one colour
// in a row or a column scores kPenaltyRun, and one more for each cell beyond kRunLength. Rule 2:
// each 2x2 block of one colour scores kPenaltyBlock. Rule 3: each finder-like pattern in a row or
// a column (dark, light, three dark, light, dark, with light cells around it) scores
// kPenaltyFinder. Rule 4: each full kBalanceStep percent by which the share of light cells lies
// away from half scores kPenaltyBalance.
constexpr int kRunLength = 5;
constexpr int kPenaltyRun = 3;
constexpr int kPenaltyBlock = 3;
constexpr int kPenaltyFinder = 40;
constexpr int kBalanceStep = 5;
constexpr int kPenaltyBalance = 10;

// The finder-like pattern (true dark), and the light cells it needs on one side or the other.
constexpr int kFinderLength = 7;
constexpr bool FINDER_LIKE[kFinderLength] = {true, false, true, true, true, false, true};
constexpr int kFinderQuietCells = 4;

// Rule 4 for `light` light cells among `cells`: the light share in whole percent, truncated.
constexpr int BalancePenalty(int light, int cells) {
    const int percent = light * 100 / cells;
    const int away = percent < 50 ? 50 - percent : percent - 50;
    return away / kBalanceStep * kPenaltyBalance;
}

}  // namespace qr

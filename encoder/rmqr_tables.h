// The constant tables of rMQR (ISO/IEC 23941), the rectangular Micro QR Code: its 32 sizes from
// R7x43 to R17x139, each with its count-indicator widths and its error-correction blocks at the
// two levels it offers, M and H; the columns of the alignment patterns by width; the words that
// mask the two copies of the format information. Mode characters, GF(256), the generator
// polynomials and the finder bitmap are QR Code's (tables.h). All are data built into the library,
// and none of the lookups tests its index.
#pragma once

#include <algorithm>

#include "encoder/tables.h"

namespace qr {

constexpr int kRmqrSizeCount = 32;
constexpr int kRmqrMinHeight = 7;
constexpr int kRmqrMaxHeight = 17;
constexpr int kRmqrMaxWidth = 139;
// The levels of rMQR by slot: slot 0 is LEVEL_M, slot 1 LEVEL_H.
constexpr int kRmqrLevelSlots = 2;
constexpr int RmqrSlotOf(int level) {
    return level == LEVEL_H ? 1 : 0;
}

// Stream: 3-bit mode indicators, numeric 001 to Kanji 100 in SegmentMode order, then FNC1 in first
// position; a terminator of 3 zero bits, cut short where fewer remain.
constexpr int kRmqrIndicatorBits = 3;
constexpr unsigned RMQR_FIRST_MODE_INDICATOR = 0b001;
constexpr unsigned RMQR_FNC1_FIRST_INDICATOR = 0b101;
constexpr int kRmqrTerminatorBits = 3;

// The layout of an rMQR size: each mode's indicator after the first, the count widths by
// SegmentMode.
constexpr StreamLayout RmqrStreamLayout(int numeric, int alphanumeric, int byte, int kanji) {
    return {
        kRmqrIndicatorBits,
        {RMQR_FIRST_MODE_INDICATOR + MODE_NUMERIC, RMQR_FIRST_MODE_INDICATOR + MODE_ALPHANUMERIC,
         RMQR_FIRST_MODE_INDICATOR + MODE_BYTE, RMQR_FIRST_MODE_INDICATOR + MODE_KANJI},
        {numeric, alphanumeric, byte, kanji}};
}

// One row of the size table. The row index is the size's number in the format information; the
// codewords of a level are the sum over its two groups of blocks, every block of a level has the
// same number of error-correction codewords, and the blocks of the second group, where there are
// any, hold one data codeword more.
struct RmqrSizeInfo {
    int height;
    int width;
    StreamLayout layout;
    RsBlockSpec group1Blocks[kRmqrLevelSlots];  // by slot: M, H
    RsBlockSpec group2Blocks[kRmqrLevelSlots];  // by slot; all 0 where absent
};

// {height, width, count widths N/A/B/K, group1Blocks M/H, group2Blocks M/H}
// clang-format off
inline constexpr RmqrSizeInfo RMQR_SIZE_TABLE[kRmqrSizeCount] = {
    {7, 43, RmqrStreamLayout(4, 3, 3, 2), {{1, 13, 6}, {1, 13, 3}}, {{0, 0, 0}, {0, 0, 0}}},    // 0
    {7, 59, RmqrStreamLayout(5, 5, 4, 3), {{1, 21, 12}, {1, 21, 7}}, {{0, 0, 0}, {0, 0, 0}}},
    {7, 77, RmqrStreamLayout(6, 5, 5, 4), {{1, 32, 20}, {1, 32, 10}}, {{0, 0, 0}, {0, 0, 0}}},
    {7, 99, RmqrStreamLayout(7, 6, 5, 5), {{1, 44, 28}, {1, 44, 14}}, {{0, 0, 0}, {0, 0, 0}}},
    {7, 139, RmqrStreamLayout(7, 6, 6, 5), {{1, 68, 44}, {2, 34, 12}}, {{0, 0, 0}, {0, 0, 0}}},
    {9, 43, RmqrStreamLayout(5, 5, 4, 3), {{1, 21, 12}, {1, 21, 7}}, {{0, 0, 0}, {0, 0, 0}}},    // 5
    {9, 59, RmqrStreamLayout(6, 5, 5, 4), {{1, 33, 21}, {1, 33, 11}}, {{0, 0, 0}, {0, 0, 0}}},
    {9, 77, RmqrStreamLayout(7, 6, 5, 5), {{1, 49, 31}, {1, 24, 8}}, {{0, 0, 0}, {1, 25, 9}}},
    {9, 99, RmqrStreamLayout(7, 6, 6, 5), {{1, 66, 42}, {2, 33, 11}}, {{0, 0, 0}, {0, 0, 0}}},
    {9, 139, RmqrStreamLayout(8, 7, 6, 6), {{1, 49, 31}, {3, 33, 11}}, {{1, 50, 32}, {0, 0, 0}}},
    {11, 27, RmqrStreamLayout(4, 4, 3, 2), {{1, 15, 7}, {1, 15, 5}}, {{0, 0, 0}, {0, 0, 0}}},    // 10
    {11, 43, RmqrStreamLayout(6, 5, 5, 4), {{1, 31, 19}, {1, 31, 11}}, {{0, 0, 0}, {0, 0, 0}}},
    {11, 59, RmqrStreamLayout(7, 6, 5, 5), {{1, 47, 31}, {1, 23, 7}}, {{0, 0, 0}, {1, 24, 8}}},
    {11, 77, RmqrStreamLayout(7, 6, 6, 5), {{1, 67, 43}, {1, 33, 11}}, {{0, 0, 0}, {1, 34, 12}}},
    {11, 99, RmqrStreamLayout(8, 7, 6, 6), {{1, 44, 28}, {1, 44, 14}}, {{1, 45, 29}, {1, 45, 15}}},
    {11, 139, RmqrStreamLayout(8, 7, 7, 6), {{2, 66, 42}, {3, 44, 14}}, {{0, 0, 0}, {0, 0, 0}}},  // 15
    {13, 27, RmqrStreamLayout(5, 5, 4, 3), {{1, 21, 12}, {1, 21, 7}}, {{0, 0, 0}, {0, 0, 0}}},
    {13, 43, RmqrStreamLayout(6, 6, 5, 5), {{1, 41, 27}, {1, 41, 13}}, {{0, 0, 0}, {0, 0, 0}}},
    {13, 59, RmqrStreamLayout(7, 6, 6, 5), {{1, 60, 38}, {2, 30, 10}}, {{0, 0, 0}, {0, 0, 0}}},
    {13, 77, RmqrStreamLayout(7, 7, 6, 6), {{1, 42, 26}, {1, 42, 14}}, {{1, 43, 27}, {1, 43, 15}}},
    {13, 99, RmqrStreamLayout(8, 7, 7, 6), {{1, 56, 36}, {1, 37, 11}}, {{1, 57, 37}, {2, 38, 12}}},  // 20
    {13, 139, RmqrStreamLayout(8, 8, 7, 7), {{2, 55, 35}, {2, 41, 13}}, {{1, 56, 36}, {2, 42, 14}}},
    {15, 43, RmqrStreamLayout(7, 6, 6, 5), {{1, 51, 33}, {1, 25, 7}}, {{0, 0, 0}, {1, 26, 8}}},
    {15, 59, RmqrStreamLayout(7, 7, 6, 5), {{1, 74, 48}, {2, 37, 13}}, {{0, 0, 0}, {0, 0, 0}}},
    {15, 77, RmqrStreamLayout(8, 7, 7, 6), {{1, 51, 33}, {2, 34, 10}}, {{1, 52, 34}, {1, 35, 11}}},
    {15, 99, RmqrStreamLayout(8, 7, 7, 6), {{2, 68, 44}, {4, 34, 12}}, {{0, 0, 0}, {0, 0, 0}}},  // 25
    {15, 139, RmqrStreamLayout(9, 8, 7, 7), {{2, 66, 42}, {1, 39, 13}}, {{1, 67, 43}, {4, 40, 14}}},
    {17, 43, RmqrStreamLayout(7, 6, 6, 5), {{1, 61, 39}, {1, 30, 10}}, {{0, 0, 0}, {1, 31, 11}}},
    {17, 59, RmqrStreamLayout(8, 7, 6, 6), {{2, 44, 28}, {2, 44, 14}}, {{0, 0, 0}, {0, 0, 0}}},
    {17, 77, RmqrStreamLayout(8, 7, 7, 6), {{2, 61, 39}, {1, 40, 12}}, {{0, 0, 0}, {2, 41, 13}}},
    {17, 99, RmqrStreamLayout(8, 8, 7, 6), {{2, 53, 33}, {4, 40, 14}}, {{1, 54, 34}, {0, 0, 0}}},  // 30
    {17, 139, RmqrStreamLayout(9, 8, 8, 7), {{4, 58, 38}, {2, 38, 12}}, {{0, 0, 0}, {4, 39, 13}}},
};
// clang-format on

// The columns of the alignment patterns (their centres) of the sizes of one width, the same at
// every height.
constexpr int kRmqrWidthCount = 6;
constexpr int kMaxRmqrAlignmentColumns = 4;
struct RmqrAlignmentColumns {
    int width;
    int count;
    int columns[kMaxRmqrAlignmentColumns];  // ascending; unused slots 0
};

// clang-format off
inline constexpr RmqrAlignmentColumns RMQR_ALIGNMENT_COLUMNS[kRmqrWidthCount] = {
    {27, 0, {0, 0, 0, 0}},
    {43, 1, {21, 0, 0, 0}},
    {59, 2, {19, 39, 0, 0}},
    {77, 2, {25, 51, 0, 0}},
    {99, 3, {23, 49, 75, 0}},
    {139, 4, {27, 55, 83, 111}},
};
// clang-format on

// Format information: the level bit (M 0, H 1) and the 5-bit size number, with the BCH(18,6)
// remainder of QR Code's version information (VersionInfoWord), XORed with one word for the copy
// beside the finder and another for the copy beside the sub-finder.
constexpr int kRmqrFormatBits = 18;
constexpr int kRmqrSizeNumberBits = 5;
constexpr int RMQR_LEVEL_BITS[kRmqrLevelSlots] = {0, 1};
constexpr int RMQR_FINDER_FORMAT_MASK = 0x1FAB2;
constexpr int RMQR_SUB_FINDER_FORMAT_MASK = 0x20A7B;

// The codewords of the size of `row`, the same at both levels, and its data codewords at level
// slot `slot`.
constexpr int RmqrTotalCodewords(const RmqrSizeInfo& row) {
    return row.group1Blocks[0].blockCount * row.group1Blocks[0].blockCodewords +
           row.group2Blocks[0].blockCount * row.group2Blocks[0].blockCodewords;
}
constexpr int RmqrDataCodewordsAt(const RmqrSizeInfo& row, int slot) {
    return row.group1Blocks[slot].blockCount * row.group1Blocks[slot].blockDataCodewords +
           row.group2Blocks[slot].blockCount * row.group2Blocks[slot].blockDataCodewords;
}

// The most codewords, data codewords and codewords of one block of any size and level.
constexpr int kMaxRmqrCodewords = [] {
    int most = 0;
    for (const RmqrSizeInfo& row : RMQR_SIZE_TABLE) most = std::max(most, RmqrTotalCodewords(row));
    return most;
}();
constexpr int kMaxRmqrDataCodewords = [] {
    int most = 0;
    for (const RmqrSizeInfo& row : RMQR_SIZE_TABLE)
        most = std::max(most, RmqrDataCodewordsAt(row, 0));
    return most;
}();
constexpr int kMaxRmqrBlockCodewords = [] {
    int most = 0;
    for (const RmqrSizeInfo& row : RMQR_SIZE_TABLE) {
        for (int slot = 0; slot < kRmqrLevelSlots; ++slot) {
            most = std::max({most, row.group1Blocks[slot].blockCodewords,
                             row.group2Blocks[slot].blockCodewords});
        }
    }
    return most;
}();

// The one mask of every symbol: it inverts the data cells where (row / 2 + column / 3) is even,
// the condition of QR Code's mask 4 (MaskCondition). It has no number and no format bits.
constexpr int RMQR_MASK_CONDITION = 4;

// The alignment columns of the sizes `width` modules wide (a width of the table).
constexpr const RmqrAlignmentColumns& RmqrAlignmentOf(int width) {
    int i = 0;
    while (RMQR_ALIGNMENT_COLUMNS[i].width != width) ++i;
    return RMQR_ALIGNMENT_COLUMNS[i];
}

}  // namespace qr

// The constant tables that drive the encoder: capacities and block structure per version and
// level, count-indicator widths, GF(256) arithmetic, Reed-Solomon generator polynomials and the
// bitmaps of the finder and alignment patterns. All are data built into the library; none is
// computed at run time, and none of the lookups tests its index.
#pragma once

#include "encoder/qr_encoder.h"

namespace qr {

// One group of equally long error-correction blocks.
struct RsBlockSpec {
    int blockCount;          // 0 when the group is absent
    int blockCodewords;      // data and error correction together
    int blockDataCodewords;  // data codewords per block
};

// One row of the capacity table.
struct VersionInfo {
    int versionNumber;  // equal to the row index; never read
    int totalCodewords;
    int dataCodewordCount[kLevelCount];     // by EcLevel
    int alignmentCount;                     // alignment centre coordinates other than 6
    int alignmentPositions[6];              // ascending; unused slots 0
    RsBlockSpec group1Blocks[kLevelCount];  // the shorter blocks
    RsBlockSpec group2Blocks[kLevelCount];  // one codeword longer; all 0 where absent
};

constexpr int kMaxAlignmentPositions = 6;
constexpr int kMaxGeneratorDegree = 68;

// Row v describes version v; row 0 is all zero and never read.
extern const VersionInfo VERSION_TABLE[kMaxVersion + 1];

// Character-count indicator width by SegmentMode, then VersionGroup.
extern const int COUNT_INDICATOR_BITS[4][kVersionGroupCount];

// GF(256) with the field polynomial 0x11D and primitive element 2. GF_EXP[255] = 1; GF_LOG[0] is
// a placeholder 0.
extern const unsigned char GF_EXP[256];
extern const unsigned char GF_LOG[256];

// Generator polynomial of n error-correction codewords: the exponents of its coefficients from
// x^(n-1) down to the constant term (the leading 1 is not stored). Null where no entry exists:
// entries exist for 7, 10, 13, 15, 16, 17, 18, 20 and every even n from 22 to 68.
extern const unsigned char* const RS_GENERATOR_EXPONENTS[kMaxGeneratorDegree + 1];

// Pattern bitmaps, top row first; in a pattern w modules wide bit w-1-dx is the module at dx.
extern const unsigned char FINDER_PATTERN_ROWS[7];
extern const unsigned char ALIGNMENT_PATTERN_ROWS[5];

}  // namespace qr

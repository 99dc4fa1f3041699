// CMicroEncoder: the record of one Micro QR symbol (M1 to M4, ISO/IEC 18004) while it is built.
// Like CQrEncoder it knows nothing of options, images or files, allocates nothing and never
// throws: it turns a byte string into a matrix of 11 to 17 modules a side.
#pragma once

#include "encoder/module_matrix.h"
#include "encoder/tables.h"

namespace qr {

constexpr int kMicroVersionCount = 4;  // M1..M4
constexpr int kMicroMaskCount = 4;
constexpr int kMaxMicroSymbolSize = 2 * kMicroVersionCount + 9;  // 17 modules per side
// The level of M1, which detects errors but corrects none.
constexpr int kMicroNoLevel = -1;
// The most input bytes any Micro QR symbol holds: 35 digits at M4-L. Longer input never fits.
constexpr int kMaxMicroInputBytes = 35;

// The data bits of Micro QR `version` (1..4) at `level` (kMicroNoLevel for M1; LEVEL_L, LEVEL_M
// or LEVEL_Q above it), or 0 where the version does not offer the level.
int MicroDataBits(int version, int level);

class CMicroEncoder {
public:
    // Encodes `length` (1 or more) bytes at `data` as one Micro QR symbol.
    // - `level` kMicroNoLevel takes the smallest version that holds the data, M1 included, at
    //   level L above M1; LEVEL_L, LEVEL_M or LEVEL_Q takes the smallest version that offers that
    //   level and holds the data (LEVEL_H is offered by none).
    // - `requestedVersion` 0 leaves the version to the data; 1..4 (M1..M4) asks for that version,
    //   or, with `allowLargerVersion` non-zero, the smallest larger one that offers the level and
    //   holds the data.
    // - `maskNumber` 0..3 applies that mask; -1 takes the one with the highest score.
    // Returns 1 with `version`, `level` (kMicroNoLevel for M1), `maskNumber`, `symbolSize`,
    // `streamBitCount` and `modules` (cells 0 or 1) set, or 0 when no version allowed offers the
    // level and holds the data.
    int Encode(int level, int requestedVersion, int allowLargerVersion, int maskNumber,
               const unsigned char* data, int length);

    // The bits that the stream of `length` bytes at `data` takes in a symbol of `version` (1..4),
    // its segments merged as Encode merges them; -1 when the data needs a mode the version does
    // not have or is longer than kMaxMicroInputBytes. Writes only scratch fields.
    int StreamBits(const unsigned char* data, int length, int version);

    int version;
    int level;
    int maskNumber;
    int symbolSize;
    int streamBitCount;  // the bits of the stream before its terminator and padding
    ModuleMatrix modules;
};

}  // namespace qr

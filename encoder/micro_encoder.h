// CMicroEncoder: the record of one Micro QR symbol (M1 to M4, ISO/IEC 18004) while it is built.
// Like CQrEncoder it knows nothing of options, images or files, allocates nothing and never
// throws: it turns a byte string into a matrix of 11 to 17 modules a side.
#pragma once

#include "encoder/module_matrix.h"
#include "encoder/reed_solomon.h"
#include "encoder/tables.h"
#include "encoder/walk_positions.h"

namespace qr {

constexpr int kMicroMaskCount = 4;
// The modules per side of Micro QR `version` (1..4).
constexpr int MicroSymbolSize(int version) {
    return 2 * version + 9;
}
constexpr int kMaxMicroSymbolSize = MicroSymbolSize(kMicroVersionCount);  // 17 modules per side
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
    // level and holds the data, or an argument is outside its range (a length above
    // kMaxMicroInputBytes included).
    int Encode(int level, int requestedVersion, int allowLargerVersion, int maskNumber,
               const unsigned char* data, int length);

    // The bits that the stream of `length` bytes at `data` takes in a symbol of `version` (1..4),
    // its segments merged as Encode merges them (0 for a `length` of 0); -1 when the data needs a
    // mode the version does not have or is longer than kMaxMicroInputBytes, or `version` is not
    // 1..4. Writes only scratch fields.
    int StreamBits(const unsigned char* data, int length, int version);

    // For the symbol map: sets `version`, `level` (one the version offers) and `symbolSize`,
    // leaves the function patterns in `modules` (format cells light) and the walk's position of
    // every cell in `positions` (ReadWalk), over the sequence of the data bits, a 4-bit last
    // codeword as the high half of its byte, then the error-correction codewords.
    void MapWalk(int version, int level, WalkPositions& positions);

    int version;
    int level;
    int maskNumber;
    int symbolSize;
    int streamBitCount;  // the bits of the stream before its terminator and padding
    ModuleMatrix modules;

private:
    // The most data codewords (M4-L) and codewords in all (M4) of a Micro QR symbol.
    static constexpr int kMaxMicroDataCodewords = 16;
    static constexpr int kMaxMicroCodewords = 24;

    // Merges the runs that ClassifyRuns left into the segment list for `version` (1..4). Returns
    // the bits of the list's stream, or -1 when the version lacks a mode of the runs.
    int MergeRuns(int version);
    // Writes into `codewords` the data codewords of the segment list over `data` in `version` at
    // `level`, as the table gives them (stream, terminator, zero bits to a codeword boundary, pad
    // codewords; a 4-bit last codeword as the high half of its byte), then the error-correction
    // codewords; sets `streamBitCount`. The stream must fit.
    void WriteCodewords(const unsigned char* data);
    // Clears the symbol's square of `modules` and draws the finder, its separator, the timing
    // cells and the format cells (light until the mask is known) as function bytes.
    void PlaceFunctionPatterns();
    // Lays the data bits and then the error-correction bits of `codewords` into the free cells
    // by the zig-zag walk: 0x02 for a 1, 0x00 for a 0.
    void PlaceCodewords();
    // The score of `mask` (0..3) on the matrix as PlaceCodewords leaves it: SUM1 x 16 + SUM2 when
    // SUM1 <= SUM2, else SUM2 x 16 + SUM1, SUM1 and SUM2 being the dark cells of the right column
    // and of the bottom row without their timing cells. Changes nothing.
    int ScoreMask(int mask) const;
    // Finishes the matrix as PlaceCodewords leaves it with `mask` (0..3): the masked data cells,
    // the format information of the symbol and the mask, every cell of the symbol 0 or 1.
    void FinishSymbol(int mask);

    // Scratch of single operations, written before it is read.
    int runCount;  // the runs of one mode, kept while the versions are tried
    unsigned char runModes[kMaxMicroInputBytes];
    int runLengths[kMaxMicroInputBytes];
    int segmentCount;
    unsigned char segmentModes[kMaxMicroInputBytes];
    int segmentLengths[kMaxMicroInputBytes];
    // The data codewords, then the error-correction codewords.
    unsigned char codewords[kMaxMicroCodewords];
    unsigned char rsWork[kMaxMicroCodewords];
    RsDivider rsDivider;
};

}  // namespace qr

// CQrEncoder: the record of one QR Code Model 2 symbol while it is built, and every encoding
// operation on it. The encoder knows nothing of options, images or files: it turns a byte string
// into a matrix of dark and light modules. It allocates nothing and never throws; every buffer is a
// fixed part of the record, sized for version 40.
#pragma once

#include <cstdint>

#include "encoder/gs1.h"
#include "encoder/module_matrix.h"
#include "encoder/reed_solomon.h"
#include "encoder/tables.h"

namespace qr {

constexpr int kFormatBits = 15;                      // bits of the format information
constexpr int kMaxDataCodewords = 2956;              // version 40, level L
constexpr int kMaxDataBits = kMaxDataCodewords * 8;  // 23,648
constexpr int kMaxTotalCodewords = 3706;             // version 40
constexpr int kMaxBlockCodewords = 153;              // e.g. version 27, level L, group 2
// The most input bytes any symbol holds: 7089 digits at version 40-L. Longer input never fits.
constexpr int kMaxInputBytes = 7089;
// The longest input whose bit stream can fit 23,648 bits in some version group: 7090 digits with
// the 10-bit count of versions 1-9 (no version of that group holds them, but the stream is
// written). Every run of such an input has its own segment entry.
constexpr int kMaxStreamInputBytes = kMaxInputBytes + 1;
constexpr int kMaxSegments = kMaxStreamInputBytes;

// The ECI designator that marks the data as UTF-8 text, and the bits it takes before the first
// segment: the ECI mode indicator and the designator in 8 bits.
constexpr unsigned kEciUtf8 = 26;
constexpr int kEciDesignatorBits = 8;
constexpr int kEciHeaderBits = kModeIndicatorBits + kEciDesignatorBits;

// Cell flags while a symbol is built. Function cells are whole bytes 0x20 or 0x30; data cells are
// laid as 0x00 or 0x02 and masking then sets or clears MODULE_DARK.
constexpr unsigned char MODULE_FUNCTION = 0x20;
constexpr unsigned char MODULE_FUNCTION_DARK = 0x10;
constexpr unsigned char MODULE_DATA_BIT = 0x02;
constexpr unsigned char MODULE_DARK = 0x01;
constexpr unsigned char MODULE_LIGHT_FUNCTION = MODULE_FUNCTION;
constexpr unsigned char MODULE_DARK_FUNCTION = MODULE_FUNCTION | MODULE_FUNCTION_DARK;
// A cell is dark when its byte AND this is not 0.
constexpr unsigned char MODULE_ANY_DARK = MODULE_FUNCTION_DARK | MODULE_DARK;

// Where a cell lies in the mask trial's dark plane (internal to the trial): a word of the plane,
// halves or lanes taken as one array, and the cell's bit in it; each format cell lies in a row and
// in a column, and there are two copies of each format bit.
struct TrialFlip {
    int word;
    std::uint64_t bit;
};
constexpr int kTrialFlipsPerFormatBit = 4;

class CQrEncoder {
public:
    // --- The pipeline ---

    // Encodes `length` bytes at `data` (a length of 0 or less means the zero-terminated string at
    // `data`) as one symbol of `level` (0..3). `requestedVersion` 0 takes the smallest version that
    // holds the data, 1..40 that version or, with `allowLargerVersion` non-zero, a larger one when
    // needed. `maskNumber` 0..7 applies that mask, -1 chooses the one with the lowest penalty.
    // Returns 1 with `symbolSize` and `modules` (cells 0 or 1) finished, or 0 when the input is
    // empty or does not fit; `level` and `maskNumber` hold the arguments then.
    int Encode(int level, int requestedVersion, int allowLargerVersion, int maskNumber,
               const unsigned char* data, int length);

    // Returns the smallest version (1..40) whose data capacity at `level` holds the bit stream,
    // searching the version groups from that of `requestedVersion` upwards, or 0. Leaves the bit
    // stream and the segment list of the group of the returned version.
    int SelectVersion(int requestedVersion, const unsigned char* data, int length);

    // --- Segments and the bit stream ---

    // Classifies `length` (>= 1) bytes, merges them into mode segments by bit cost for
    // `versionGroup` (0..2) and writes the whole bit stream. Returns 1 when it fits in 23,648
    // bits, else 0 with `dataBitCount` -1.
    int EncodeSegments(const unsigned char* data, int length, int versionGroup);

    // Bits that one segment of `mode` holding `length` input bytes takes in the stream of
    // `versionGroup`: mode indicator, count indicator and data. A mode other than numeric,
    // alphanumeric or byte is costed as Kanji. Changes nothing.
    int EstimateSegmentBits(int mode, int length, int versionGroup) const;

    // Appends the low `count` bits (1..16) of `value` at bit `position`, most significant first,
    // by setting bits. Returns the position after the field, or -1 when `position` is -1 or the
    // field would end beyond bit 23,648; nothing is written then.
    int AppendBits(int position, unsigned value, int count);

    // --- Error correction ---

    // Replaces the `k` data codewords at the start of `work` (followed by `n` zero bytes) with the
    // `n` Reed-Solomon error-correction codewords of the block, highest power first. `n` must have
    // a generator polynomial and k + n must not exceed 153. Does nothing when k <= 0.
    void ComputeEcCodewords(unsigned char* work, int k, int n);

    // --- The symbol matrix ---

    // Clears `modules`, draws the function patterns, lays `finalCodewords`, then ChooseMask().
    // Needs `version`, `symbolSize`, `totalCodewordCount`, `finalCodewords`, `level` and
    // `maskNumber` (-1 or 0..7).
    void BuildSymbol();
    // Draws every function cell of `version` as a whole byte, 0x20 light or 0x30 dark: finders,
    // separators, the format cells and the dark module's cell (light until masking), version
    // information, alignment and timing patterns, in that order. Other cells are left alone.
    void PlaceFunctionPatterns();
    // One 7x7 finder pattern whose top-left cell is (x0, y0), with its separator: the light row
    // below it (above it unless y0 is 0) and the light column right of it (left of it unless x0
    // is 0).
    void PlaceFinderPattern(int x0, int y0);
    // One 5x5 alignment pattern centred on (cx, cy), unless that centre is already a function cell.
    void PlaceAlignmentPattern(int cx, int cy);
    // The two version information blocks; versions 7 and up only, nothing below.
    void PlaceVersionInformation();
    // Lays the bits of `finalCodewords` (`totalCodewordCount` of them, each most significant bit
    // first) into the free cells by the zig-zag walk: 0x02 for a 1, 0x00 for a 0. Function cells
    // and the free cells after the last bit are not written.
    void PlaceCodewords();

    // --- Masking, the plain rules (masking.cpp) ---

    // Sets MODULE_DARK of every free cell of the symbol from its data bit XOR the condition of
    // `mask` (0..7); function cells and the other flags are not touched.
    void ApplyMask(int mask);
    // Writes both copies of the format information of `level` and `mask` (0..7) as whole function
    // bytes, and the dark module.
    void PlaceFormatInformation(int mask);
    // The penalty score of the symbol as it stands (a cell is dark when its byte AND 0x11 is not
    // 0): runs, 2x2 blocks, finder-like patterns and the balance of dark and light; lower is
    // better. Reads any `symbolSize` from 1 to 177; changes nothing.
    int ScoreMask() const;
    // Turns every cell of the symbol into 1 (dark) or 0 (light); cells beyond it stay as they are.
    void FlattenModules();
    // With `maskNumber` -1, chooses the mask of the lowest score (ScoreMask() after ApplyMask(m)
    // and PlaceFormatInformation(m)), trying 0..7 in order and keeping the first of equal scores,
    // and sets `maskNumber` to it; then finishes the symbol with WriteMaskedSymbol(maskNumber).
    // Needs the matrix as PlaceCodewords leaves it.
    void ChooseMask();

    // --- Masking, the fast path (mask_trial.cpp) ---

    // Packs the matrix as PlaceCodewords leaves it (function cells as PlaceFunctionPatterns draws
    // them, the format cells and the dark module still light; free cells 0x00 or 0x02) into the
    // trial's bit planes. `modules` is not changed.
    void PackTrialPlanes();
    // After PackTrialPlanes: the score ScoreMask() gives after ApplyMask(mask) and
    // PlaceFormatInformation(mask) (mask 0..7). `modules` is not touched. With `portableBitCount`
    // the bits are counted without the processor's population-count instruction, as on a
    // processor that lacks it; the score is the same.
    int ScoreTrialMask(int mask, bool portableBitCount = false);
    // After PackTrialPlanes: the scores ScoreTrialMask(0..7) gives, into `scores[0..7]`; several
    // masks at a time where the processor has 256-bit vector registers (AVX2).
    void ScoreTrialMasks(int* scores);
    // Writes into `modules`, from the matrix as PlaceCodewords leaves it, the finished symbol of
    // `mask` (0..7): what ApplyMask(mask), PlaceFormatInformation(mask) and FlattenModules()
    // make of it, cells beyond the symbol left alone.
    void WriteMaskedSymbol(int mask);

    // The record, in this order. Creating it initialises nothing: every field is written before
    // it is read.
    int level;
    int version;
    int maskNumber;
    int symbolSize;
    ModuleMatrix modules;
    int dataBitCount;
    unsigned char dataCodewords[kMaxDataCodewords];
    int segmentCount;
    unsigned char segmentModes[kMaxSegments];
    int segmentLengths[kMaxSegments];
    int totalCodewordCount;
    unsigned char finalCodewords[kMaxTotalCodewords];
    unsigned char rsWork[kMaxBlockCodewords];

    // Off unless set before Encode or EncodeSegments: the data is UTF-8 text. No Kanji pairs are
    // formed, and the stream begins with the ECI designator for UTF-8, which counts in the version
    // choice like any other bits.
    bool utf8Eci = false;

    // Off (count 0) unless set before Encode or EncodeSegments: the symbol is number `index`
    // (0..count-1) of `count` (2..16) symbols that hold the data together, and its stream opens
    // with the structured-append header, ahead of any ECI designator; it counts in the version
    // choice like any other bits. `parity` is the XOR of every byte of the whole data.
    struct StructuredAppend {
        int index = 0;
        int count = 0;
        unsigned parity = 0;
    } structuredAppend;

    // Off unless set before Encode or EncodeSegments: the data is GS1 data as ParseGs1 writes it.
    // The stream holds FNC1 in first position after any ECI designator, and its segments are
    // planned by PlanGs1Segments; it counts in the version choice like any other bits.
    bool gs1 = false;

    // The bits ahead of the first segment: the structured-append header, the ECI designator and
    // FNC1, as they are set.
    int HeaderBits() const {
        return (structuredAppend.count > 0 ? kStructuredHeaderBits : 0) +
               (utf8Eci ? kEciHeaderBits : 0) + (gs1 ? kModeIndicatorBits : 0);
    }

    // After Encode: the bits of the stream before its terminator and padding.
    int streamBitCount;

private:
    // The trial's planes of the unmasked matrix: its dark cells (dark function cells and data bits
    // of 1) and its free cells. Masked, a cell is dark where (dark XOR (free AND condition)).
    static constexpr int kTrialPlanes = 2;
    // A symbol of up to this many cells a side is tried on halves: line i of a plane is one word
    // with row i in bits 0..31 and column i in bits 32..63, cell j of either at bit j of its half.
    static constexpr int kHalvesLineBits = 32;
    // A larger symbol is tried on lanes: line i of a plane is word w of row i followed by word w
    // of column i, for w = 0..2, cell j of either at bit j % 64 of its word j / 64.
    static constexpr int kTrialLineWords = (kMaxSymbolSize + 63) / 64;

    // One list entry per run of characters of one mode, after the list is cleared.
    void ClassifyRuns(const unsigned char* data, int length);
    // The numeric/alphanumeric pass: joins numeric and alphanumeric neighbours into one
    // alphanumeric segment, or hands one of them to a neighbouring byte segment, where that costs
    // fewer bits in `versionGroup`.
    void MergeNumericAlphanumeric(int versionGroup);
    // The byte pass: turns neighbours into byte mode where that costs fewer bits in
    // `versionGroup`, counting the headers saved by joining byte neighbours.
    void MergeIntoBytes(int versionGroup);
    // Writes the stream of the segment list over `data` with the count widths of `versionGroup`
    // and sets `dataBitCount` (-1 when it does not fit).
    void WriteSegments(const unsigned char* data, int versionGroup);
    // PlanGs1Segments of `length` (1..kMaxStreamInputBytes) bytes at `data` into the segment list
    // with the count widths of `versionGroup`; returns the bits of the segments. GS1 data is not
    // classified into runs, so the plan keeps its trace in `runLengths`.
    int PlanGs1(const unsigned char* data, int length, int versionGroup);
    // Tables the products of the generator of `n` error-correction codewords in `rsDivider`.
    void TableGeneratorProducts(int n);
    // ComputeEcCodewords on the products of TableGeneratorProducts(n).
    void DivideByGenerator(unsigned char* work, int k, int n);
    // The timing row and column, drawn last over whatever is there.
    void PlaceTimingPatterns();
    // Sets every cell of `modules`, inside the symbol and beyond it, to 0.
    void ClearModules();
    // The two places of cell (x, y) in the trial's dark plane.
    void TrialFlipsOf(int x, int y, TrialFlip* flips) const;
    // Flips the bits of `flips` in the trial's dark plane.
    void ApplyTrialFlips(const TrialFlip* flips, int count);

    // Scratch of single operations, written before it is read.
    int runCount;                          // the runs of one mode that ClassifyRuns found,
    unsigned char runModes[kMaxSegments];  // kept while SelectVersion merges them for each
    int runLengths[kMaxSegments];          // version group
    std::uint64_t trialHalves[kTrialPlanes][kHalvesLineBits];
    alignas(16) std::uint64_t trialLanes[kTrialPlanes][kMaxSymbolSize][kTrialLineWords][2];
    TrialFlip trialFormatFlips[kFormatBits][kTrialFlipsPerFormatBit];  // by format bit
    int trialFormat;  // the format information word drawn in the dark plane
    RsDivider rsDivider;
    // Every cell of `modules` beyond the square of this many cells a side is 0, so that clearing
    // the matrix need not rewrite them: a new record knows nothing of its cells, and a symbol
    // writes only its own square.
    int writtenSize = kMaxSymbolSize;
};

// Version information word (18 bits) of `version` 7..40: the version and its BCH(18,6) remainder.
// rMQR's format information takes the same code of any 6 bits (0..63).
int VersionInfoWord(int version);
// Format information word (15 bits) of `level` and `mask`, after the XOR with 0x5412.
int FormatInfoWord(int level, int mask);

}  // namespace qr

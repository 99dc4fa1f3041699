// CQrEncoder: the record of one QR Code Model 2 symbol while it is built, and every encoding
// operation on it. The encoder knows nothing of options, images or files: it turns a byte string
// into a matrix of dark and light modules. It allocates nothing and never throws; every buffer is a
// fixed part of the record, sized for version 40.
#pragma once

#include <cstdint>

#include "encoder/module_matrix.h"

namespace qr {

// Error-correction level index; the 2-bit code in the format information differs.
enum EcLevel : int { LEVEL_L = 0, LEVEL_M = 1, LEVEL_Q = 2, LEVEL_H = 3 };

// Mode of a segment of input bytes.
enum SegmentMode : unsigned char {
    MODE_NUMERIC = 0,
    MODE_ALPHANUMERIC = 1,
    MODE_BYTE = 2,
    MODE_KANJI = 3,
};

// Selects the widths of the character-count indicators: versions 1-9, 10-26 and 27-40.
constexpr int kVersionGroupCount = 3;

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
// segment: the 4-bit ECI mode indicator and the designator in 8 bits.
constexpr unsigned kEciUtf8 = 26;
constexpr int kEciHeaderBits = 12;

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

// The version group whose count-indicator widths apply to `version` (1..40).
constexpr int VersionGroupOf(int version) {
    return version >= 27 ? 2 : version >= 10 ? 1 : 0;
}

class CQrEncoder {
public:
    // Encodes `length` bytes at `data` (a length of 0 or less means the zero-terminated string at
    // `data`) as one symbol of `level` (0..3). `requestedVersion` 0 takes the smallest version that
    // holds the data, 1..40 that version or, with `allowLargerVersion` non-zero, a larger one when
    // needed. `maskNumber` 0..7 applies that mask, -1 chooses the one with the lowest penalty.
    // Returns 1 with `symbolSize` and `modules` (cells 0 or 1) finished, or 0 when the input is
    // empty or does not fit.
    int Encode(int level, int requestedVersion, int allowLargerVersion, int maskNumber,
               const unsigned char* data, int length);

    // Returns the smallest version (1..40) whose data capacity at `level` holds the bit stream,
    // searching the version groups from that of `requestedVersion` upwards, or 0. Leaves the bit
    // stream and the segment list of the group of the returned version.
    int SelectVersion(int requestedVersion, const unsigned char* data, int length);

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

    // Replaces the `k` data codewords at the start of `work` (followed by `n` zero bytes) with the
    // `n` Reed-Solomon error-correction codewords of the block, highest power first. `n` must have
    // a generator polynomial and k + n must not exceed 153. Does nothing when k <= 0.
    void ComputeEcCodewords(unsigned char* work, int k, int n);

    // Draws the function patterns, lays `finalCodewords`, chooses or applies the mask, writes the
    // format information and flattens `modules` to 0/1 cells.
    void BuildSymbol();
    void PlaceFunctionPatterns();
    // One 7x7 finder pattern whose top-left cell is (x0, y0).
    void PlaceFinderPattern(int x0, int y0);
    // One 5x5 alignment pattern centred on (cx, cy), unless that centre is already a function cell.
    void PlaceAlignmentPattern(int cx, int cy);
    // The two version information blocks; versions 7 and up only.
    void PlaceVersionInformation();
    // Lays the bits of `finalCodewords` into the free cells by the zig-zag walk.
    void PlaceCodewords();
    // Sets MODULE_DARK of every free cell from its data bit and mask condition `mask` (0..7).
    void ApplyMask(int mask);
    // Writes both copies of the format information of `level` and `mask`, and the dark module.
    void PlaceFormatInformation(int mask);
    // The penalty score of the matrix in its current state; lower is better.
    int ScoreMask() const;

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

private:
    // 64-bit words per bit line: a row or a column of the matrix with cell i in bit i % 64 of
    // word i / 64.
    static constexpr int kTrialLineWords = (kMaxSymbolSize + 63) / 64;
    // Bytes per row of the generator products, a multiple of 16 above the largest degree.
    static constexpr int kRsProductStride = 80;
    // Rows of products per half of a codeword: c * g for the 16 values of its low four bits, and
    // again for its high four bits.
    static constexpr int kRsHalfProducts = 16;

    // The unmasked matrix as bit lines, for the mask trial: dark function cells, free cells, and
    // the data bits laid in the free cells.
    struct BitPlanes {
        std::uint64_t darkFunction[kMaxSymbolSize][kTrialLineWords];
        std::uint64_t freeCells[kMaxSymbolSize][kTrialLineWords];
        std::uint64_t dataBits[kMaxSymbolSize][kTrialLineWords];
    };

    // The mask trial of a symbol of at most this many cells a side runs on paired lines.
    static constexpr int kPairedLineBits = 32;
    // The trial planes of such a symbol: word i holds row i in bits 0..31 and column i in bits
    // 32..63, cell j of either at bit j of its half. The dark function cells include the dark
    // module and the format information of `trialPairsFormat`.
    struct PairedPlanes {
        std::uint64_t darkFunction[kPairedLineBits];
        std::uint64_t freeCells[kPairedLineBits];
        std::uint64_t dataBits[kPairedLineBits];
    };

    void ClassifyRuns(const unsigned char* data, int length);
    void MergeNumericAlphanumeric(int versionGroup);
    void MergeIntoBytes(int versionGroup);
    void WriteSegments(const unsigned char* data, int versionGroup);
    // Fills `rsProducts` for the generator of `n` error-correction codewords: row c (0..15) holds c
    // times each coefficient of the generator (below the leading 1, highest power first), row
    // 16 + c holds 16 * c times them; bytes beyond n are 0.
    void TableGeneratorProducts(int n);
    // ComputeEcCodewords on the products of TableGeneratorProducts(n).
    void DivideByGenerator(unsigned char* work, int k, int n);
    void PlaceTimingPatterns();
    // Sets every cell of `modules`, inside the symbol and beyond it, to 0.
    void ClearModules();
    // Chooses the mask when `maskNumber` is -1, applies it, writes its format information and
    // flattens `modules` to 0/1 cells.
    void ChooseMask();
    // Packs the matrix as it stands before masking into `trialColumns` and `trialRows`, and for
    // symbols of up to kPairedLineBits a side into `trialPairs` with no format information drawn.
    void PackTrialPlanes();
    // The score ScoreMask() would give after ApplyMask(mask) and PlaceFormatInformation(mask),
    // taken from the packed planes; `modules` is not touched. Paired planes get this mask's
    // format information drawn.
    int ScoreTrialMask(int mask);
    // Writes the finished symbol of `mask` into `modules` from the packed planes (cells 0 or 1,
    // with the format information and the dark module): what ApplyMask(mask),
    // PlaceFormatInformation(mask) and FlattenModules() make of the unmasked matrix.
    void WriteTrialSymbol(int mask);
    void FlattenModules();

    // Scratch of single operations, written before it is read.
    int runCount;                          // the runs of one mode that ClassifyRuns found,
    unsigned char runModes[kMaxSegments];  // kept while SelectVersion merges them for each
    int runLengths[kMaxSegments];          // version group
    BitPlanes trialColumns;                // line x, bit y
    BitPlanes trialRows;                   // line y, bit x
    PairedPlanes trialPairs;
    int trialPairsFormat;  // the format information word drawn in trialPairs
    unsigned char rsProducts[2 * kRsHalfProducts][kRsProductStride];
};

// Version information word (18 bits) of `version` 7..40: the version and its BCH(18,6) remainder.
int VersionInfoWord(int version);
// Format information word (15 bits) of `level` and `mask`, after the XOR with 0x5412.
int FormatInfoWord(int level, int mask);

}  // namespace qr

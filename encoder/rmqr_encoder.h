// CRmqrEncoder: the record of one rMQR symbol (ISO/IEC 23941, the rectangular Micro QR Code) while
// it is built. Like CQrEncoder it knows nothing of options, images or files, allocates nothing and
// never throws: it turns a byte string into a matrix of 7 to 17 rows of 27 to 139 modules.
#pragma once

#include <cstdint>

#include "encoder/gs1.h"
#include "encoder/module_matrix.h"
#include "encoder/reed_solomon.h"
#include "encoder/rmqr_tables.h"

namespace qr {

// The most input bytes any rMQR symbol holds: 361 digits at R17x139, level M. Longer input never
// fits.
constexpr int kMaxRmqrInputBytes = 361;
// rMQR sizes are numbered from 1 (R7x43) to 32 (R17x139): the size number of the format
// information plus one. 0 asks for none.
constexpr int kRmqrVersionCount = kRmqrSizeCount;

// The row of size `version` (1..32).
constexpr const RmqrSizeInfo& RmqrSize(int version) {
    return RMQR_SIZE_TABLE[version - 1];
}

// The data codewords of rMQR `version` (1..32) at `level` (LEVEL_M or LEVEL_H), or 0 for another
// version or level.
int RmqrDataCodewords(int version, int level);

// The bytes of a size's name with its terminating zero, such as "R11x59".
constexpr int kRmqrNameSize = 8;

// The version (1..32) of the size named "R<height>x<width>", such as "R11x59" (either case), or 0
// when no size has that name.
int RmqrVersionNamed(const char* name);

// Writes the name of rMQR `version` (1..32), such as "R11x59", into `name` (kRmqrNameSize bytes).
void RmqrName(int version, char* name);

// The function patterns of an rMQR symbol, as bits of the `parts` of PlaceFunctionPatterns.
enum RmqrPattern : unsigned {
    RMQR_TIMING = 1,      // the edges' timing, and the columns joining alignment patterns
    RMQR_FINDER = 2,      // the finder and its separator
    RMQR_CORNERS = 4,     // the corner patterns, top right and bottom left
    RMQR_SUB_FINDER = 8,  // the sub-finder, bottom right
    RMQR_ALIGNMENT = 16,  // the alignment patterns on the top and bottom edges
    RMQR_FORMAT = 32,     // both copies of the format information
};
constexpr unsigned kAllRmqrPatterns = 63;

class CRmqrEncoder {
public:
    // Encodes `length` (1 or more) bytes at `data` as one rMQR symbol at `level` (LEVEL_M or
    // LEVEL_H); with `gs1` set, the data is GS1 data as ParseGs1 writes it and the stream opens
    // with FNC1 in first position.
    // - `requestedVersion` 0 and `requestedHeight` 0: the size of the smallest area that holds the
    //   data; of two sizes of equal area (R7x99 and R9x77), the lower.
    // - `requestedVersion` 0 and `requestedHeight` 7, 9, ..., 17: the narrowest size of that
    //   height that holds the data.
    // - `requestedVersion` 1..32: that size, or with `allowLargerVersion` non-zero the narrowest
    //   wider one of its height that holds the data; `requestedHeight` must be 0 or its height.
    // Returns 1 with `version`, `level`, `width`, `height`, `streamBitCount` and `modules` (cells
    // 0 or 1, [x][y]) set, or 0 when no size allowed holds the data, or an argument is outside its
    // range (a length above kMaxRmqrInputBytes included).
    int Encode(int level, int requestedVersion, int allowLargerVersion, int requestedHeight,
               const unsigned char* data, int length);

    // The bits that the stream of `length` bytes at `data` takes in a symbol of `version`
    // (1..32), its segments chosen as Encode chooses them and FNC1 counted with `gs1` (0 for a
    // `length` of 0); -1 when the data is longer than kMaxRmqrInputBytes or `version` is not
    // 1..32. Writes only scratch fields.
    int StreamBits(const unsigned char* data, int length, int version);

    // --- The matrix, on the fields Encode sets: PlaceFunctionPatterns, then either PlaceCodewords
    // and FinishSymbol (the rule cell by cell) or BuildColumnsByBands (the same); Encode does
    // MarkFunctionRows and BuildColumnsByBands ---

    // Draws the function patterns of `version` as whole function bytes (0x20 light, 0x30 dark)
    // over a cleared `width` x `height` matrix (its columns cleared to row 23), and notes them in
    // `functionRows` and `darkFunctionRows`: the timing rows and columns, the finder and its
    // separator, the corner patterns, the sub-finder, the alignment patterns and the format
    // information of `version` and `level`. Every other cell is left free (0). With `parts` (of
    // RmqrPattern), only those patterns are drawn, each as the whole drawing draws it: the symbol
    // map tells the patterns apart so.
    void PlaceFunctionPatterns(unsigned parts = kAllRmqrPatterns);
    // Notes the function cells that PlaceFunctionPatterns draws in `functionRows` and
    // `darkFunctionRows` alone, a column at a time, leaving the cells as they are: what
    // BuildColumnsByBands needs, as Encode does.
    void MarkFunctionRows();
    // Lays the bits of `codewords` (the version's total, each most significant bit first) into
    // the free cells, column pairs from the right, upwards and downwards in turn, each bit masked:
    // inverted where (row / 2 + column / 3) is even. A cell becomes MODULE_DARK or 0; the free
    // cells after the last bit take bits of 0, masked.
    void PlaceCodewords();
    // Turns every cell into 1 (dark) or 0 (light): a cell is dark when its byte AND 0x11 is not 0.
    // The cells below the symbol in its columns, to row 23, become 0.
    void FinishSymbol();

    // The finished symbol that PlaceCodewords and FinishSymbol make, built from the function rows
    // that PlaceFunctionPatterns or MarkFunctionRows leaves (`functionRows`, `darkFunctionRows`)
    // and `codewords`, followed by kCodewordsBeyond zero bytes: a column pair's bits are taken a
    // band of rows at a time and each column is written whole. Encode builds the symbol so.
    void BuildColumnsByBands();

    bool gs1 = false;  // off unless set before Encode or StreamBits

    int version;
    int level;
    int width;
    int height;
    int streamBitCount;  // the bits of the stream before its terminator and padding
    // The data codewords interleaved by block, then the error-correction codewords so, and
    // kCodewordsBeyond zero bytes after them (which the remainder cells take their bits from).
    static constexpr int kCodewordsBeyond = 8;
    unsigned char codewords[kMaxRmqrCodewords + kCodewordsBeyond];
    ModuleMatrix modules;

private:
    // Merges the runs that ClassifyRuns left into the segment list for `version`, or plans GS1
    // data over `data` (keeping the plan's trace in `runLengths`: GS1 data has no runs), and
    // returns the bits of the stream.
    int SegmentFor(int version, const unsigned char* data, int length);
    // Writes the data codewords of the segment list over `data`, then the error correction, into
    // `codewords`, interleaved. The stream must fit.
    void WriteCodewords(const unsigned char* data);

    // Scratch of single operations, written before it is read.
    int runCount;  // the runs of one mode, kept while the sizes are tried
    unsigned char runModes[kMaxRmqrInputBytes];
    int runLengths[kMaxRmqrInputBytes];
    int segmentCount;
    unsigned char segmentModes[kMaxRmqrInputBytes];
    int segmentLengths[kMaxRmqrInputBytes];
    // By column, bit y for row y: the function cells, and the dark ones among them.
    std::uint32_t functionRows[kRmqrMaxWidth];
    std::uint32_t darkFunctionRows[kRmqrMaxWidth];
    unsigned char dataCodewords[kMaxRmqrDataCodewords];
    unsigned char rsWork[kMaxRmqrBlockCodewords];
    RsDivider rsDivider;
};

}  // namespace qr

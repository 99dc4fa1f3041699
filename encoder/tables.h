// The constant tables that drive the encoders: capacities and block structure per version and
// level, how each mode writes its characters, the stream layouts (indicator and count widths) of
// QR Code and Micro QR, GF(256) arithmetic, Reed-Solomon generator polynomials and the bitmaps of
// the finder and alignment patterns. All are data built into the library; none is computed at run
// time, and none of the lookups tests its index. The symbol types they are indexed by (level, mode,
// version group) are defined here too.
#pragma once

#include "encoder/module_matrix.h"

namespace qr {

// Error-correction level index; the 2-bit code in the format information differs.
enum EcLevel : int { LEVEL_L = 0, LEVEL_M = 1, LEVEL_Q = 2, LEVEL_H = 3 };
static_assert(kLevelCount == LEVEL_H + 1, "one count of levels, in module_matrix.h");

// Mode of a segment of input bytes.
enum SegmentMode : unsigned char {
    MODE_NUMERIC = 0,
    MODE_ALPHANUMERIC = 1,
    MODE_BYTE = 2,
    MODE_KANJI = 3,
};
constexpr int kModeCount = 4;

// Selects the widths of the character-count indicators: versions 1-9, 10-26 and 27-40.
constexpr int kVersionGroupCount = 3;

// The version group whose count-indicator widths apply to `version` (1..40).
constexpr int VersionGroupOf(int version) {
    return version >= 27 ? 2 : version >= 10 ? 1 : 0;
}

// One group of equally long error-correction blocks.
struct RsBlockSpec {
    int blockCount;          // 0 when the group is absent
    int blockCodewords;      // data and error correction together
    int blockDataCodewords;  // data codewords per block
};

constexpr int kMaxAlignmentPositions = 6;
constexpr int kMaxGeneratorDegree = 68;

// One row of the capacity table.
struct VersionInfo {
    int versionNumber;  // equal to the row index; never read
    int totalCodewords;
    int dataCodewordCount[kLevelCount];              // by EcLevel
    int alignmentCount;                              // alignment centre coordinates other than 6
    int alignmentPositions[kMaxAlignmentPositions];  // ascending; unused slots 0
    RsBlockSpec group1Blocks[kLevelCount];           // the shorter blocks
    RsBlockSpec group2Blocks[kLevelCount];           // one codeword longer; all 0 where absent
};

// Row v describes version v; row 0 is all zero and never read.
extern const VersionInfo VERSION_TABLE[kMaxVersion + 1];

// How a mode writes its characters (ISO/IEC 18004). A character takes `bytesPerCharacter` input
// bytes; the characters go into the stream in groups of `groupCharacters`, each group as a number
// of `groupBits` bits, and a last group of r fewer characters as a number of `remainderBits[r]`
// bits. `indicator` is the mode's 4-bit indicator in a QR Code symbol.
struct ModeInfo {
    unsigned indicator;
    int bytesPerCharacter;
    int groupCharacters;
    int groupBits;
    int remainderBits[3];  // by the characters of the last group, 0 .. groupCharacters - 1
};

// clang-format off
inline constexpr ModeInfo MODE_TABLE[kModeCount] = {
    {0b0001, 1, 3, 10, {0, 4, 7}},  // numeric: three digits in 10 bits, two in 7, one in 4
    {0b0010, 1, 2, 11, {0, 6, 0}},  // alphanumeric: two characters in 11 bits, one in 6
    {0b0100, 1, 1, 8, {0, 0, 0}},   // byte: each byte as it is
    {0b1000, 2, 1, 13, {0, 0, 0}},  // Kanji: each double-byte character in 13 bits
};
// clang-format on

// The pad codewords that fill the data capacity after the stream, in turn from the first.
inline constexpr unsigned char PAD_CODEWORDS[2] = {0b11101100, 0b00010001};

// Width of the mode indicators of a QR Code symbol, and the indicator of an ECI designator.
constexpr int kModeIndicatorBits = 4;
constexpr unsigned ECI_MODE_INDICATOR = 0b0111;
// FNC1 in first position: the symbol holds GS1 data. No count and no data follow it.
constexpr unsigned FNC1_FIRST_MODE_INDICATOR = 0b0101;

// Structured append: data spread over up to 16 symbols, each stream opening with a header of the
// mode indicator, the symbol's index from 0 (4 bits), the number of symbols less one (4 bits) and
// the parity of the whole data, the XOR of all its bytes (8 bits).
constexpr unsigned STRUCTURED_APPEND_MODE_INDICATOR = 0b0011;
constexpr int kMaxStructuredSymbols = 16;
constexpr int kStructuredIndexBits = 4;
constexpr int kStructuredParityBits = 8;
constexpr int kStructuredHeaderBits =
    kModeIndicatorBits + 2 * kStructuredIndexBits + kStructuredParityBits;

// Data bits of `length` input bytes (whole characters) written in mode `kMode`, without the
// mode and count indicators.
template <int kMode>
constexpr int ModeDataBits(int length) {
    constexpr ModeInfo kInfo = MODE_TABLE[kMode];
    const int characters = length / kInfo.bytesPerCharacter;
    return characters / kInfo.groupCharacters * kInfo.groupBits +
           kInfo.remainderBits[characters % kInfo.groupCharacters];
}

// The 45 characters of alphanumeric mode in the order of their values 0..44; the ten digits,
// which numeric mode writes, come first.
inline constexpr char ALPHANUMERIC_CHARACTERS[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
constexpr int kAlphanumericCount = 45;
constexpr int kDigitCount = 10;
static_assert(sizeof ALPHANUMERIC_CHARACTERS == kAlphanumericCount + 1, "45 characters");

// The alphanumeric value of each byte, or kAlphanumericCount for a byte outside the set.
struct AlphanumericValues {
    unsigned char of[256];
};

constexpr AlphanumericValues MakeAlphanumericValues() {
    AlphanumericValues values{};
    for (unsigned char& v : values.of) v = kAlphanumericCount;
    for (int i = 0; i < kAlphanumericCount; ++i) {
        values.of[static_cast<unsigned char>(ALPHANUMERIC_CHARACTERS[i])] =
            static_cast<unsigned char>(i);
    }
    return values;
}

inline constexpr AlphanumericValues ALPHANUMERIC_VALUE = MakeAlphanumericValues();

// Kanji mode takes Shift_JIS double-byte characters: two bytes whose code (first byte * 256 +
// second byte) lies in one of these ranges and whose second byte is at least
// kKanjiMinSecondByte. A character is written as the 13-bit value (d >> 8) * 0xC0 + (d & 0xFF)
// of d = code - subtrahend.
struct KanjiRange {
    unsigned first;
    unsigned last;
    unsigned subtrahend;
};

inline constexpr KanjiRange KANJI_RANGES[2] = {{0x8140, 0x9FFC, 0x8140}, {0xE040, 0xEBBF, 0xC140}};
constexpr unsigned kKanjiMinSecondByte = 0x40;
constexpr unsigned kKanjiValueRowLength = 0xC0;

// Whether the bytes at `i` and `i + 1` of `length` bytes at `data` form one Shift_JIS double-byte
// character. The encoder takes such pairs greedily from the left unless the data is UTF-8 text.
inline bool IsKanjiPair(const unsigned char* data, long length, long i) {
    if (i + 1 >= length || data[i + 1] < kKanjiMinSecondByte) return false;
    const unsigned code = 256u * data[i] + data[i + 1];
    for (const KanjiRange& range : KANJI_RANGES) {
        if (code >= range.first && code <= range.last) return true;
    }
    return false;
}

// How the symbols of a kind write the header of a segment: the width of the mode indicators, the
// indicator of each mode, and the width of the character-count indicator of each mode, 0 for a
// mode the symbols do not offer.
struct StreamLayout {
    int indicatorBits;
    unsigned indicators[kModeCount];  // by SegmentMode
    int countBits[kModeCount];        // by SegmentMode
};

// A QR Code layout: 4-bit indicators as MODE_TABLE gives them, the count widths by SegmentMode.
constexpr StreamLayout QrStreamLayout(int numeric, int alphanumeric, int byte, int kanji) {
    return {kModeIndicatorBits,
            {MODE_TABLE[MODE_NUMERIC].indicator, MODE_TABLE[MODE_ALPHANUMERIC].indicator,
             MODE_TABLE[MODE_BYTE].indicator, MODE_TABLE[MODE_KANJI].indicator},
            {numeric, alphanumeric, byte, kanji}};
}

// The layouts of QR Code symbols by version group.
inline constexpr StreamLayout QR_STREAM_LAYOUTS[kVersionGroupCount] = {
    QrStreamLayout(10, 9, 8, 8),     // versions 1-9
    QrStreamLayout(12, 11, 16, 10),  // versions 10-26
    QrStreamLayout(14, 13, 16, 12),  // versions 27-40
};

// A Micro QR layout: each mode's indicator is its SegmentMode value in `indicatorBits` bits (none
// in M1); a count width of 0 marks a mode the version does not offer.
constexpr StreamLayout MicroStreamLayout(int indicatorBits, int numeric, int alphanumeric, int byte,
                                         int kanji) {
    return {indicatorBits,
            {MODE_NUMERIC, MODE_ALPHANUMERIC, MODE_BYTE, MODE_KANJI},
            {numeric, alphanumeric, byte, kanji}};
}

// Micro QR (ISO/IEC 18004): versions M1 to M4, 11 to 17 modules a side, one error-correction block
// each. Levels are kept by slot: slot 0 is M1's detection only, slots 1 to 3 are LEVEL_L, LEVEL_M
// and LEVEL_Q (slot = level + 1).
constexpr int kMicroVersionCount = 4;
constexpr int kMicroLevelSlots = 4;

// One row of the Micro QR table. The data of M1 and M3 ends with a codeword of 4 bits, which
// `totalCodewords` counts as one and `dataBits` as 4 bits.
struct MicroVersionInfo {
    int versionNumber;                    // equal to the row index; never read
    int totalCodewords;                   // data and error correction together
    int dataBits[kMicroLevelSlots];       // 0 where the version does not offer the level
    int ecCodewords[kMicroLevelSlots];    // 0 where the version does not offer the level
    int symbolNumbers[kMicroLevelSlots];  // in the format information; -1 where not offered
    int terminatorBits;
    StreamLayout layout;
};

// Row v describes Micro QR version Mv; row 0 is all zero and never read.
extern const MicroVersionInfo MICRO_VERSION_TABLE[kMicroVersionCount + 1];

// GF(256) with the field polynomial 0x11D and primitive element 2. GF_EXP[255] = 1; GF_LOG[0] is
// a placeholder 0.
extern const unsigned char GF_EXP[256];
extern const unsigned char GF_LOG[256];

// Generator polynomial of n error-correction codewords: the exponents of its coefficients from
// x^(n-1) down to the constant term (the leading 1 is not stored). Null where no entry exists:
// entries exist for 2, 5, 6, 7, 8, 9, 10, 12, 13, 14, 15, 16, 17, 18, 20 and every even n from 22
// to 68 (2, 5, 6, 8 and 14 for Micro QR, 8, 9, 12 and 14 for rMQR, beside QR Code's).
extern const unsigned char* const RS_GENERATOR_EXPONENTS[kMaxGeneratorDegree + 1];

// Pattern bitmaps, top row first; in a pattern w modules wide bit w-1-dx is the module at dx.
extern const unsigned char FINDER_PATTERN_ROWS[7];
extern const unsigned char ALIGNMENT_PATTERN_ROWS[5];

}  // namespace qr

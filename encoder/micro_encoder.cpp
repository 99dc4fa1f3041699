// The Micro QR encoder: the version search over the segmentation that QR Code symbols use, with
// each version's stream layout; the stream with its terminator, pad codewords and 4-bit last
// codeword; one error-correction block; the matrix with one finder; and the choice among four
// masks by the dark cells along the right and bottom edges. The symbols are at most 17 cells a
// side, so every step is a plain loop.
#include "encoder/micro_encoder.h"

#include <cstring>

#include "encoder/bit_stream.h"
#include "encoder/masking.h"
#include "encoder/segmentation.h"

namespace qr {

namespace {

constexpr int kFinderSize = 7;
constexpr int kSeparatorLine = 7;  // the row and the column of the separator
constexpr int kTimingLine = 0;     // the row and the column of the timing patterns
// The score of a mask weighs the smaller of its two sums this many times the larger.
constexpr int kSmallerSumWeight = 16;

// The table's slot of `level` (kMicroNoLevel, LEVEL_L, LEVEL_M or LEVEL_Q).
constexpr int SlotOf(int level) {
    return level + 1;
}

bool ValidLevel(int level) {
    return level >= kMicroNoLevel && level <= LEVEL_H;
}

unsigned char FunctionCell(bool dark) {
    return dark ? MODULE_DARK_FUNCTION : MODULE_LIGHT_FUNCTION;
}

}  // namespace

int MicroDataBits(int version, int level) {
    if (version < 1 || version > kMicroVersionCount || level < kMicroNoLevel || level > LEVEL_Q) {
        return 0;
    }
    return MICRO_VERSION_TABLE[version].dataBits[SlotOf(level)];
}

int CMicroEncoder::MergeRuns(int version) {
    const StreamLayout& layout = MICRO_VERSION_TABLE[version].layout;
    std::memcpy(segmentModes, runModes, runCount * sizeof runModes[0]);
    std::memcpy(segmentLengths, runLengths, runCount * sizeof runLengths[0]);
    SegmentList list{segmentModes, segmentLengths, runCount};
    if (!OffersEveryMode(layout, list)) return -1;
    MergeNumericAlphanumeric(layout, list);
    if (layout.countBits[MODE_BYTE] != 0) MergeIntoBytes(layout, list);
    segmentCount = list.count;
    int bits = 0;
    for (int k = 0; k < segmentCount; ++k)
        bits += SegmentBits(layout, segmentModes[k], segmentLengths[k]);
    return bits;
}

int CMicroEncoder::StreamBits(const unsigned char* data, int length, int version) {
    if (version < 1 || version > kMicroVersionCount || length > kMaxMicroInputBytes) return -1;
    if (length <= 0) return 0;
    SegmentList runs{runModes, runLengths, 0};
    ClassifyRuns(data, length, true, runs);
    runCount = runs.count;
    return MergeRuns(version);
}

int CMicroEncoder::Encode(int level, int requestedVersion, int allowLargerVersion, int maskNumber,
                          const unsigned char* data, int length) {
    if (length < 1 || length > kMaxMicroInputBytes || !ValidLevel(level) || requestedVersion < 0 ||
        requestedVersion > kMicroVersionCount || maskNumber < -1 || maskNumber >= kMicroMaskCount) {
        return 0;
    }
    SegmentList runs{runModes, runLengths, 0};
    ClassifyRuns(data, length, true, runs);
    runCount = runs.count;

    const int first = requestedVersion == 0 ? 1 : requestedVersion;
    const int last =
        requestedVersion == 0 || allowLargerVersion ? kMicroVersionCount : requestedVersion;
    int found = 0;
    int foundLevel = level;
    for (int v = first; v <= last && found == 0; ++v) {
        const int levelHere = level == kMicroNoLevel && v > 1 ? LEVEL_L : level;
        const int capacity = MicroDataBits(v, levelHere);
        if (capacity == 0) continue;
        const int bits = MergeRuns(v);
        if (bits >= 0 && bits <= capacity) {
            found = v;
            foundLevel = levelHere;
        }
    }
    if (found == 0) return 0;

    version = found;
    this->level = foundLevel;
    symbolSize = MicroSymbolSize(version);
    WriteCodewords(data);
    PlaceFunctionPatterns();
    PlaceCodewords();
    if (maskNumber == -1) {
        // A later mask wins only with a strictly higher score.
        int best = -1;
        for (int m = 0; m < kMicroMaskCount; ++m) {
            const int score = ScoreMask(m);
            if (score > best) {
                best = score;
                maskNumber = m;
            }
        }
    }
    this->maskNumber = maskNumber;
    FinishSymbol(maskNumber);
    return 1;
}

// The terminator is cut short where fewer bits remain. After the zero bits up to the next
// codeword boundary, pad codewords fill the whole 8-bit codewords; the 4-bit last codeword of M1
// and M3 is never a pad codeword and stays 0000 when the stream does not reach it.
void CMicroEncoder::WriteCodewords(const unsigned char* data) {
    const MicroVersionInfo& info = MICRO_VERSION_TABLE[version];
    const int dataBits = info.dataBits[SlotOf(level)];
    const int ecCount = info.ecCodewords[SlotOf(level)];
    const int dataCount = (dataBits + 7) / 8;

    std::memset(codewords, 0, sizeof codewords);
    streamBitCount = WriteStream(codewords, kMaxMicroDataCodewords, nullptr, 0, info.layout, data,
                                 SegmentList{segmentModes, segmentLengths, segmentCount});

    const int remaining = dataBits - streamBitCount;
    const int end =
        streamBitCount + (remaining < info.terminatorBits ? remaining : info.terminatorBits);
    for (int i = (end + 7) / 8, pad = 0; i < dataBits / 8; ++i, pad ^= 1) {
        codewords[i] = PAD_CODEWORDS[pad];
    }

    std::memcpy(rsWork, codewords, dataCount);
    rsDivider.TableGenerator(ecCount);
    rsDivider.Divide(rsWork, dataCount, ecCount);
    std::memcpy(codewords + dataCount, rsWork, ecCount);
}

void CMicroEncoder::PlaceFunctionPatterns() {
    const int s = symbolSize;
    for (int x = 0; x < s; ++x) std::memset(modules[x], 0, s);
    for (int y = 0; y < kFinderSize; ++y) {
        for (int x = 0; x < kFinderSize; ++x) {
            modules[x][y] = FunctionCell((FINDER_PATTERN_ROWS[y] >> (kFinderSize - 1 - x)) & 1);
        }
    }
    for (int i = 0; i <= kSeparatorLine; ++i) {
        modules[kSeparatorLine][i] = modules[i][kSeparatorLine] = MODULE_LIGHT_FUNCTION;
    }
    for (int t = kSeparatorLine + 1; t < s; ++t) {
        modules[t][kTimingLine] = modules[kTimingLine][t] = FunctionCell(t % 2 == 0);
    }
    for (const EdgeCell& cell : MICRO_FORMAT_CELLS) modules[cell.x][cell.y] = MODULE_LIGHT_FUNCTION;
}

// Column pairs from the right edge leftwards, right cell before left cell, upwards and downwards
// in turn; the walk has no timing column to skip (column 0 is all function cells). The data bits
// come first, the 4-bit last codeword of M1 and M3 taking 4 cells, then the error-correction
// codewords; together they fill every free cell.
void CMicroEncoder::PlaceCodewords() {
    const MicroVersionInfo& info = MICRO_VERSION_TABLE[version];
    const int dataBits = info.dataBits[SlotOf(level)];
    const int ecStart = (dataBits + 7) / 8 * 8;  // the first error-correction bit in `codewords`
    const int s = symbolSize;
    int bit = 0;
    bool upwards = true;
    for (int right = s - 1; right >= 1; right -= 2) {
        for (int i = 0; i < s; ++i) {
            const int y = upwards ? s - 1 - i : i;
            for (int x = right; x >= right - 1; --x) {
                unsigned char& cell = modules[x][y];
                if (cell & MODULE_FUNCTION) continue;
                const int at = bit < dataBits ? bit : ecStart + (bit - dataBits);
                cell = (codewords[at >> 3] >> (7 - (at & 7))) & 1 ? MODULE_DATA_BIT : 0;
                ++bit;
            }
        }
        upwards = !upwards;
    }
}

void CMicroEncoder::MapWalk(int version, int level, WalkPositions& positions) {
    this->version = version;
    this->level = level;
    symbolSize = MicroSymbolSize(version);
    PlaceFunctionPatterns();
    ReadWalk(
        symbolSize, symbolSize, MICRO_VERSION_TABLE[version].totalCodewords * 8, codewords, modules,
        [this] { PlaceCodewords(); }, positions);
}

int CMicroEncoder::ScoreMask(int mask) const {
    const int condition = MICRO_MASK_CONDITIONS[mask];
    const int edge = symbolSize - 1;
    auto dark = [&](int x, int y) {
        return ((modules[x][y] & MODULE_DATA_BIT) != 0) != MaskCondition(condition, x, y);
    };
    int sum1 = 0;  // the right column
    int sum2 = 0;  // the bottom row
    for (int i = 1; i <= edge; ++i) {
        sum1 += dark(edge, i) ? 1 : 0;
        sum2 += dark(i, edge) ? 1 : 0;
    }
    return sum1 <= sum2 ? sum1 * kSmallerSumWeight + sum2 : sum2 * kSmallerSumWeight + sum1;
}

void CMicroEncoder::FinishSymbol(int mask) {
    const int condition = MICRO_MASK_CONDITIONS[mask];
    const int word =
        MicroFormatInfoWord(MICRO_VERSION_TABLE[version].symbolNumbers[SlotOf(level)], mask);
    for (int bit = 0; bit < kFormatBits; ++bit) {
        const EdgeCell& cell = MICRO_FORMAT_CELLS[bit];
        modules[cell.x][cell.y] = FunctionCell((word >> bit) & 1);
    }
    for (int x = 0; x < symbolSize; ++x) {
        for (int y = 0; y < symbolSize; ++y) {
            unsigned char& cell = modules[x][y];
            const bool dark = cell & MODULE_FUNCTION ? (cell & MODULE_FUNCTION_DARK) != 0
                                                     : ((cell & MODULE_DATA_BIT) != 0) !=
                                                           MaskCondition(condition, x, y);
            cell = dark ? 1 : 0;
        }
    }
}

}  // namespace qr

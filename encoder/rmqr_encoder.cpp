// The rMQR encoder: the size search over the segmentation that QR Code symbols use, with each
// size's stream layout (or the GS1 plan); the stream with its terminator and pad codewords; the
// blocks, their error correction and interleaving. The matrix is drawn in rmqr_matrix.cpp.
#include "encoder/rmqr_encoder.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "encoder/bit_stream.h"
#include "encoder/blocks.h"
#include "encoder/qr_encoder.h"
#include "encoder/segmentation.h"

namespace qr {

namespace {

// The versions by area, the smallest first; of equal areas, the lower version first.
struct VersionOrder {
    int versions[kRmqrVersionCount];
};

constexpr VersionOrder MakeAreaOrder() {
    VersionOrder order{};
    for (int v = 1; v <= kRmqrVersionCount; ++v) {
        const int area = RmqrSize(v).height * RmqrSize(v).width;
        int at = v - 1;
        while (at > 0) {
            const RmqrSizeInfo& before = RmqrSize(order.versions[at - 1]);
            if (before.height * before.width <= area) break;
            order.versions[at] = order.versions[at - 1];
            --at;
        }
        order.versions[at] = v;
    }
    return order;
}

constexpr VersionOrder BY_AREA = MakeAreaOrder();

// A layout without indicators and counts: SegmentBits gives the bits of the characters alone.
constexpr StreamLayout DATA_BITS_ONLY = {0, {0, 0, 0, 0}, {0, 0, 0, 0}};

bool ValidLevel(int level) {
    return level == LEVEL_M || level == LEVEL_H;
}

bool ValidHeight(int height) {
    return height == 0 || (height >= kRmqrMinHeight && height <= kRmqrMaxHeight && height % 2 == 1);
}

}  // namespace

int RmqrDataCodewords(int version, int level) {
    if (version < 1 || version > kRmqrVersionCount || !ValidLevel(level)) return 0;
    return RmqrDataCodewordsAt(RmqrSize(version), RmqrSlotOf(level));
}

int RmqrVersionNamed(const char* name) {
    char known[kRmqrNameSize];
    for (int v = 1; v <= kRmqrVersionCount; ++v) {
        RmqrName(v, known);
        int i = 0;
        while (known[i] != 0 && std::tolower(static_cast<unsigned char>(name[i])) ==
                                    std::tolower(static_cast<unsigned char>(known[i]))) {
            ++i;
        }
        if (known[i] == 0 && name[i] == 0) return v;
    }
    return 0;
}

void RmqrName(int version, char* name) {
    std::snprintf(name, kRmqrNameSize, "R%dx%d", RmqrSize(version).height, RmqrSize(version).width);
}

int CRmqrEncoder::SegmentFor(int version, const unsigned char* data, int length) {
    const StreamLayout& layout = RmqrSize(version).layout;
    SegmentList list{segmentModes, segmentLengths, 0};
    int bits = 0;
    if (gs1) {
        bits = kRmqrIndicatorBits + PlanGs1Segments(data, length, layout, runLengths, list);
    } else {
        std::memcpy(segmentModes, runModes, runCount * sizeof runModes[0]);
        std::memcpy(segmentLengths, runLengths, runCount * sizeof runLengths[0]);
        list.count = runCount;
        MergeNumericAlphanumeric(layout, list);
        MergeIntoBytes(layout, list);
        for (int k = 0; k < list.count; ++k)
            bits += SegmentBits(layout, list.modes[k], list.lengths[k]);
    }
    segmentCount = list.count;
    return bits;
}

int CRmqrEncoder::StreamBits(const unsigned char* data, int length, int version) {
    if (version < 1 || version > kRmqrVersionCount || length > kMaxRmqrInputBytes) return -1;
    if (length <= 0) return 0;
    if (!gs1) {
        SegmentList runs{runModes, runLengths, 0};
        ClassifyRuns(data, length, true, runs);
        runCount = runs.count;
    }
    return SegmentFor(version, data, length);
}

// One pass over the sizes by area: a height asked for, a size asked for and its wider ones, or
// that size alone, are the sizes allowed; the first allowed that holds the stream is taken, so
// the smallest area of a height is its narrowest size.
int CRmqrEncoder::Encode(int level, int requestedVersion, int allowLargerVersion,
                         int requestedHeight, const unsigned char* data, int length) {
    if (length < 1 || length > kMaxRmqrInputBytes || !ValidLevel(level) || requestedVersion < 0 ||
        requestedVersion > kRmqrVersionCount || !ValidHeight(requestedHeight)) {
        return 0;
    }
    if (requestedVersion != 0 && requestedHeight != 0 &&
        RmqrSize(requestedVersion).height != requestedHeight) {
        return 0;
    }
    if (!gs1) {
        SegmentList runs{runModes, runLengths, 0};
        ClassifyRuns(data, length, true, runs);
        runCount = runs.count;
    }
    // No segmentation takes fewer bits than the runs' characters in their own modes: merging
    // only ever writes characters in a costlier mode. GS1 data is planned at every size.
    int leastBits = 0;
    for (int k = 0; k < runCount && !gs1; ++k) {
        leastBits += SegmentBits(DATA_BITS_ONLY, runModes[k], runLengths[k]);
    }
    const int slot = RmqrSlotOf(level);
    const int height = requestedVersion != 0 ? RmqrSize(requestedVersion).height : requestedHeight;
    const int leastWidth = requestedVersion != 0 ? RmqrSize(requestedVersion).width : 0;
    int found = 0;
    for (int k = 0; k < kRmqrVersionCount && found == 0; ++k) {
        const int v = BY_AREA.versions[k];
        const RmqrSizeInfo& row = RmqrSize(v);
        if ((height != 0 && row.height != height) || row.width < leastWidth ||
            (requestedVersion != 0 && !allowLargerVersion && v != requestedVersion)) {
            continue;
        }
        const int capacity = 8 * RmqrDataCodewordsAt(row, slot);
        if (capacity >= leastBits && SegmentFor(v, data, length) <= capacity) found = v;
    }
    if (found == 0) return 0;

    version = found;
    this->level = level;
    width = RmqrSize(version).width;
    this->height = RmqrSize(version).height;
    WriteCodewords(data);
    MarkFunctionRows();
    BuildColumnsByBands();
    return 1;
}

// The terminator is cut short where fewer bits remain; after the zero bits up to the next
// codeword boundary, pad codewords fill the data codewords.
void CRmqrEncoder::WriteCodewords(const unsigned char* data) {
    const RmqrSizeInfo& row = RmqrSize(version);
    const int slot = RmqrSlotOf(level);
    const int dataCount = RmqrDataCodewordsAt(row, slot);
    const StreamField fnc1 = {RMQR_FNC1_FIRST_INDICATOR, kRmqrIndicatorBits};
    streamBitCount = WriteStream(dataCodewords, dataCount, &fnc1, gs1 ? 1 : 0, row.layout, data,
                                 SegmentList{segmentModes, segmentLengths, segmentCount}, gs1);
    const int remaining = 8 * dataCount - streamBitCount;
    const int end =
        streamBitCount + (remaining < kRmqrTerminatorBits ? remaining : kRmqrTerminatorBits);
    for (int i = (end + 7) / 8, pad = 0; i < dataCount; ++i, pad ^= 1) {
        dataCodewords[i] = PAD_CODEWORDS[pad];
    }
    const RsBlockSpec& shorter = row.group1Blocks[slot];
    rsDivider.TableGenerator(shorter.blockCodewords - shorter.blockDataCodewords);
    InterleaveBlocks(dataCodewords, shorter, row.group2Blocks[slot], rsDivider, rsWork, codewords);
    std::memset(codewords + RmqrTotalCodewords(row), 0, kCodewordsBeyond);
}

}  // namespace qr

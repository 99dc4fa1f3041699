// The encoding pipeline: version search by groups, reconciliation with the requested version,
// terminator and pad codewords, the block cut, error correction and interleaving.
#include <cstring>

#include "encoder/qr_encoder.h"
#include "encoder/tables.h"

namespace qr {

namespace {

constexpr int kTerminatorBits = 4;
// First version of each version group, and one past the last.
constexpr int GROUP_FIRST_VERSION[kVersionGroupCount + 1] = {1, 10, 27, kMaxVersion + 1};

}  // namespace

// EncodeSegments for each group in turn, with two savings that change no result: the runs of one
// mode do not depend on the group, so they are classified once; and the stream, whose length is
// the cost of the merged segment list, is written only for the group whose version is returned.
int CQrEncoder::SelectVersion(int requestedVersion, const unsigned char* data, int length) {
    if (length > kMaxStreamInputBytes) return 0;  // no group's stream can hold it
    if (!gs1) {
        ClassifyRuns(data, length);
        runCount = segmentCount;
        std::memcpy(runModes, segmentModes, runCount * sizeof runModes[0]);
        std::memcpy(runLengths, segmentLengths, runCount * sizeof runLengths[0]);
    }
    for (int group = VersionGroupOf(requestedVersion); group < kVersionGroupCount; ++group) {
        int bits = HeaderBits();
        if (gs1) {
            bits += PlanGs1(data, length, group);
        } else {
            segmentCount = runCount;
            std::memcpy(segmentModes, runModes, runCount * sizeof runModes[0]);
            std::memcpy(segmentLengths, runLengths, runCount * sizeof runLengths[0]);
            MergeNumericAlphanumeric(group);
            MergeIntoBytes(group);
            for (int k = 0; k < segmentCount; ++k) {
                bits += EstimateSegmentBits(segmentModes[k], segmentLengths[k], group);
            }
        }
        if (bits > kMaxDataBits) continue;
        const int need = (bits + 7) / 8;
        for (int v = GROUP_FIRST_VERSION[group]; v < GROUP_FIRST_VERSION[group + 1]; ++v) {
            if (VERSION_TABLE[v].dataCodewordCount[level] >= need) {
                WriteSegments(data, group);
                return v;
            }
        }
    }
    return 0;
}

int CQrEncoder::Encode(int level, int requestedVersion, int allowLargerVersion, int maskNumber,
                       const unsigned char* data, int length) {
    this->level = level;
    this->maskNumber = maskNumber;
    if (length <= 0) length = static_cast<int>(std::strlen(reinterpret_cast<const char*>(data)));
    if (length == 0) return 0;

    const int found = SelectVersion(requestedVersion, data, length);
    if (found == 0) return 0;
    if (requestedVersion == 0 || found > requestedVersion) {
        if (requestedVersion != 0 && !allowLargerVersion) return 0;
        version = found;
    } else {
        version = requestedVersion;
    }

    const VersionInfo& info = VERSION_TABLE[version];
    const int capacity = info.dataCodewordCount[level];
    streamBitCount = dataBitCount;

    // Terminator: up to 4 zero bits, fewer when fewer remain before the capacity. The bits are
    // already 0, so appending only moves the position.
    const int remaining = capacity * 8 - dataBitCount;
    const int terminator = remaining > kTerminatorBits ? kTerminatorBits : remaining;
    if (terminator > 0) dataBitCount = AppendBits(dataBitCount, 0, terminator);

    // Pad codewords from the first whole byte after the stream.
    for (int i = (dataBitCount + 7) / 8, pad = 0; i < capacity; ++i, pad ^= 1) {
        dataCodewords[i] = PAD_CODEWORDS[pad];
    }

    totalCodewordCount = info.totalCodewords;
    std::memset(finalCodewords, 0, totalCodewordCount);

    const RsBlockSpec& g1 = info.group1Blocks[level];
    const RsBlockSpec& g2 = info.group2Blocks[level];
    const int blocks = g1.blockCount + g2.blockCount;
    const int ecPerBlock = g1.blockCodewords - g1.blockDataCodewords;

    // Every block has the same number of error-correction codewords: the generator's products
    // are tabled once for all of them.
    TableGeneratorProducts(ecPerBlock);
    const unsigned char* blockData = dataCodewords;
    for (int b = 0; b < blocks; ++b) {
        const bool longBlock = b >= g1.blockCount;
        const int k = longBlock ? g2.blockDataCodewords : g1.blockDataCodewords;
        // Data interleaving: column j holds codeword j of every block; the extra codeword of the
        // longer blocks forms a last column of its own.
        for (int j = 0; j < g1.blockDataCodewords; ++j)
            finalCodewords[b + j * blocks] = blockData[j];
        if (longBlock) {
            finalCodewords[g1.blockDataCodewords * blocks + (b - g1.blockCount)] =
                blockData[g1.blockDataCodewords];
        }
        // ComputeEcCodewords of the block, on the products tabled above.
        std::memcpy(rsWork, blockData, k);
        DivideByGenerator(rsWork, k, ecPerBlock);
        for (int j = 0; j < ecPerBlock; ++j) finalCodewords[capacity + b + j * blocks] = rsWork[j];
        blockData += k;
    }

    symbolSize = QrSymbolSize(version);
    BuildSymbol();
    return 1;
}

}  // namespace qr

// Block cut, error correction and interleaving.
#include "encoder/blocks.h"

#include <cstring>

namespace qr {

void InterleaveBlocks(const unsigned char* data, const RsBlockSpec& shorter,
                      const RsBlockSpec& longer, const RsDivider& divider, unsigned char* work,
                      unsigned char* out) {
    const int blocks = shorter.blockCount + longer.blockCount;
    const int ecPerBlock = shorter.blockCodewords - shorter.blockDataCodewords;
    const int dataCount = shorter.blockCount * shorter.blockDataCodewords +
                          longer.blockCount * longer.blockDataCodewords;
    const unsigned char* blockData = data;
    for (int b = 0; b < blocks; ++b) {
        const bool longBlock = b >= shorter.blockCount;
        const int k = longBlock ? longer.blockDataCodewords : shorter.blockDataCodewords;
        for (int j = 0; j < shorter.blockDataCodewords; ++j) out[b + j * blocks] = blockData[j];
        if (longBlock) {
            out[shorter.blockDataCodewords * blocks + (b - shorter.blockCount)] =
                blockData[shorter.blockDataCodewords];
        }
        std::memcpy(work, blockData, k);
        divider.Divide(work, k, ecPerBlock);
        for (int j = 0; j < ecPerBlock; ++j) out[dataCount + b + j * blocks] = work[j];
        blockData += k;
    }
}

}  // namespace qr

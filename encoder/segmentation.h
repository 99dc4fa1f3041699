// Mode segmentation as both encoders use it, on a segment list held by the caller: the input
// classified into runs of one mode, then neighbours merged where the merged form costs fewer bits
// in a stream layout (tables.h). Internal to the encoder.
#pragma once

#include "encoder/tables.h"

namespace qr {

// A segment list in the caller's storage: entry k is `lengths[k]` input bytes of mode `modes[k]`,
// for k below `count`. Every pass leaves entries of one input byte or more that cover the input
// in order.
struct SegmentList {
    unsigned char* modes;
    int* lengths;
    int count;
};

// Bits that one segment of `mode` holding `length` input bytes takes in a stream of `layout`:
// mode indicator, count indicator and data. A mode other than numeric, alphanumeric or byte is
// costed as Kanji. The layout must offer the mode.
inline int SegmentBits(const StreamLayout& layout, int mode, int length) {
    switch (mode) {
        case MODE_NUMERIC:
            return layout.indicatorBits + layout.countBits[MODE_NUMERIC] +
                   ModeDataBits<MODE_NUMERIC>(length);
        case MODE_ALPHANUMERIC:
            return layout.indicatorBits + layout.countBits[MODE_ALPHANUMERIC] +
                   ModeDataBits<MODE_ALPHANUMERIC>(length);
        case MODE_BYTE:
            return layout.indicatorBits + layout.countBits[MODE_BYTE] +
                   ModeDataBits<MODE_BYTE>(length);
        default:
            return layout.indicatorBits + layout.countBits[MODE_KANJI] +
                   ModeDataBits<MODE_KANJI>(length);
    }
}

// Writes into `list` one entry per run of characters of one mode over `length` (>= 1) bytes at
// `data`, and sets its count. Kanji pairs are taken greedily from the left before any single-byte
// class, and only when `pairKanji` is true; a byte that begins no pair is a byte of its own.
void ClassifyRuns(const unsigned char* data, int length, bool pairKanji, SegmentList& list);

// Whether `layout` offers every mode of `list`.
bool OffersEveryMode(const StreamLayout& layout, const SegmentList& list);

// The numeric/alphanumeric pass over `list`, which `layout` must offer every mode of: joins
// numeric and alphanumeric neighbours into one alphanumeric segment, or hands one of them to a
// neighbouring byte segment, where that costs fewer bits in `layout`.
void MergeNumericAlphanumeric(const StreamLayout& layout, SegmentList& list);

// The byte pass over `list`: turns neighbours into byte mode where that costs fewer bits in
// `layout`, counting the headers saved by joining byte neighbours. `layout` must offer byte mode.
void MergeIntoBytes(const StreamLayout& layout, SegmentList& list);

}  // namespace qr

// The data bit stream of a segment list in a stream layout (tables.h), as both encoders write it.
// Internal to the encoder.
#pragma once

#include "encoder/segmentation.h"
#include "encoder/tables.h"

namespace qr {

// One field ahead of the segments: the low `bits` bits (1..16) of `value`.
struct StreamField {
    unsigned value;
    int bits;
};

// Writes into `bytes`, a buffer of `capacityBytes`, the `headerCount` fields at `header`, then each
// segment of `list` over the input at `data`: its mode indicator and count indicator (the low bits
// of its count of characters) as `layout` gives them, then its characters; all as AppendBits would
// write them into a cleared buffer, followed by zero bits to the end of the last byte and one zero
// byte when the buffer has room. `layout` must offer every mode of the list. With `gs1` the data
// is GS1 data (gs1.h), whose alphanumeric segments write a separator as '%' and a '%' as "%%".
// Returns the bits of the stream, or -1 when it would end beyond the buffer; the fields before the
// first that does not fit stay written then.
int WriteStream(unsigned char* bytes, int capacityBytes, const StreamField* header, int headerCount,
                const StreamLayout& layout, const unsigned char* data, const SegmentList& list,
                bool gs1 = false);

}  // namespace qr

// The error-correction blocks of a symbol: the data codewords cut into blocks, each block's
// Reed-Solomon codewords, and both interleaved into the order the symbol lays them in.
// Internal to the encoder.
#pragma once

#include "encoder/reed_solomon.h"
#include "encoder/tables.h"

namespace qr {

// Cuts the data codewords at `data` into `shorter.blockCount` blocks of `shorter`, then
// `longer.blockCount` blocks of `longer` (one data codeword more each; a count of 0 where there
// are none), all with the same number n of error-correction codewords, and writes into `out`
// codeword j of every block in block order for each j (the longer blocks' last data codeword
// after the others), then the n error-correction codewords of the blocks the same way. `divider`
// must hold the products of the generator of n (RsDivider::TableGenerator); `work` holds the
// largest block.
void InterleaveBlocks(const unsigned char* data, const RsBlockSpec& shorter,
                      const RsBlockSpec& longer, const RsDivider& divider, unsigned char* work,
                      unsigned char* out);

}  // namespace qr

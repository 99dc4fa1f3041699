// A quicker zlib stream for long texts (PDF content): one pass, no counts, the fixed codes.
#pragma once

#include <cstddef>
#include <string>

namespace qr {

// The zlib stream of `size` bytes of `data`, appended to `out`: one deflate block in the fixed
// Huffman codes, its repeats of four bytes or more found as they come by a hash of the next four
// bytes that remembers the last place of each. It does what DeflateData does (InflateZlib gives
// the same data back from both) at a fraction of the instructions, in somewhat more bytes than
// codes made for the text would take. `size` is below 2^32 - 2^16 (places are kept in 32 bits).
// Throws std::bad_alloc when no memory can be had.
void DeflateFast(const unsigned char* data, std::size_t size, std::string* out);

}  // namespace qr

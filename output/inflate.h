// Compressed streams read back: the zlib streams (RFC 1950) of PNG images, their deflate blocks
// (RFC 1951) stored, in fixed codes or in codes of their own. Every length and every write is
// checked against what the caller allows, so any bytes may come in.
#pragma once

#include <cstddef>
#include <vector>

namespace qr {

// Inflates the zlib stream of `size` bytes at `data` into `out`, replacing its content. Returns
// false when the stream is malformed or cut short, asks for a preset dictionary, its Adler-32
// differs from its data, or its data would be longer than `limit` bytes; `out` then holds what
// was inflated before the fault. Throws std::bad_alloc when no memory can be had.
bool InflateZlib(const unsigned char* data, std::size_t size, std::size_t limit,
                 std::vector<unsigned char>* out);

}  // namespace qr

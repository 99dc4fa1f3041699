// Compression of whole texts (PDF content) into zlib streams, over output/deflate.h.
#pragma once

#include <cstddef>
#include <string>

namespace qr {

// The zlib stream of `size` bytes of `data` (text such as PDF content), its repeats found by a
// hash of three bytes that remembers the last place of each, appended to `out`.
void DeflateData(const unsigned char* data, std::size_t size, std::string* out);

}  // namespace qr

// Compression of whole texts (PDF content) into zlib streams, over output/deflate.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace qr {

// The zlib stream of `size` bytes of `data` (text such as PDF content), its repeats found by a
// hash of three bytes that remembers the last place of each, appended to `out`.
void DeflateData(const unsigned char* data, std::size_t size, std::string* out);

// The number of bytes from `a` and `b` on that are equal, at most `most`; eight compared at a
// time.
inline std::size_t MatchLength(const unsigned char* a, const unsigned char* b, std::size_t most) {
    std::size_t length = 0;
    while (length + 8 <= most) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, a + length, sizeof x);
        std::memcpy(&y, b + length, sizeof y);
        const std::uint64_t differ = x ^ y;
        if (differ != 0) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
            return length + static_cast<std::size_t>(__builtin_clzll(differ) / 8);
#else
            return length + static_cast<std::size_t>(__builtin_ctzll(differ) / 8);
#endif
        }
        length += 8;
    }
    while (length < most && a[length] == b[length]) ++length;
    return length;
}

}  // namespace qr

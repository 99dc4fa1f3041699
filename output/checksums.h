// The checksums of compressed streams: the Adler-32 that closes a zlib stream and the CRC-32 of
// PNG chunks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qr {

// The Adler-32 checksum of a zlib stream's data, appended to piece by piece.
class Adler32 {
public:
    // Appends `size` bytes of `data`: 32 at a time in vector registers where the processor has
    // them (SSE2 on x86-64), the rest as AppendPlain does.
    void Append(const unsigned char* data, std::size_t size);
    // The same sums four bytes at a time with no vector registers, the reference for Append.
    // Contract: any sequence of Append and AppendPlain calls gives the same Value().
    void AppendPlain(const unsigned char* data, std::size_t size);
    // Appends the `size` bytes of `data` `times` times over, at the cost of appending them once.
    void AppendRepeated(const unsigned char* data, std::size_t size, std::size_t times);
    std::uint32_t Value() const { return b_ << 16 | a_; }

private:
    std::uint32_t a_ = 1;
    std::uint32_t b_ = 0;
};

// The CRC-32 of PNG chunks (polynomial 0xEDB88320, reflected), continued from `crc` (0 at the
// start) over `size` bytes of `data`.
std::uint32_t Crc32(std::uint32_t crc, const unsigned char* data, std::size_t size);

}  // namespace qr

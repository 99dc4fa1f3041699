// The parts every PNG file is made of: its signature, and chunks of a length, a type, data and
// the CRC-32 of type and data, numbers big-endian.
#pragma once

#include <cstdint>
#include <string>

namespace qr {

constexpr unsigned char kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr int kPngChunkHeaderSize = 8;  // length and type
constexpr int kPngCrcSize = 4;
constexpr int kPngUnitMetre = 1;  // of pHYs

// Appends `value` big-endian.
void PutBig32(std::string* out, std::uint32_t value);

// The big-endian number at `p`.
inline std::uint32_t Big32(const unsigned char* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// Appends the chunk of type `type` (four letters) holding `data`.
void AppendPngChunk(std::string* out, const char* type, const std::string& data);

// The data of a pHYs chunk of `dpi` pixels per inch, in pixels per metre both ways.
std::string PngResolution(int dpi);

}  // namespace qr

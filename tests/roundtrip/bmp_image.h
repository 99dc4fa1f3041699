// Reads the 1-bit BMP files that tessera writes back into grey pixels, so that QR readers see the
// file itself and not the encoder's matrix.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qr::test {

// An 8-bit grey image, rows top-down without padding: 0 black, 255 white.
struct GrayImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width * height bytes

    std::uint8_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Parses `size` bytes at `file` as an uncompressed bottom-up 1-bit BMP with a 14-byte file
// header, a 40-byte information header and a two-colour table ahead of the rows, each row padded
// to 32 bits. Every header field must be consistent with the file's length; each pixel becomes
// the grey value of its colour-table entry. Returns true and fills `image`, or returns false with
// the first field that does not hold in `error`.
bool ParseBmp(const std::uint8_t* file, std::size_t size, GrayImage* image, std::string* error);

}  // namespace qr::test

// Reads the 1-bit BMP files that tessera writes back into grey pixels, so that QR readers see the
// file itself and not the encoder's matrix.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/gray_image.h"

namespace qr::test {

// Parses `size` bytes at `file` as an uncompressed bottom-up 1-bit BMP with a 14-byte file
// header, a 40-byte information header and a two-colour table ahead of the rows, each row padded
// to 32 bits. Every header field must be consistent with the file's length; each pixel becomes
// the grey value of its colour-table entry. Returns true and fills `image`, or returns false with
// the first field that does not hold in `error`.
bool ParseBmp(const std::uint8_t* file, std::size_t size, GrayImage* image, std::string* error);

}  // namespace qr::test

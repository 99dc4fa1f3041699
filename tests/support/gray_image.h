// An 8-bit grey image as the suites hand pictures to QR readers and compare them: rows from the
// top without padding, 0 black and 255 white.
#pragma once

#include <cstdint>
#include <vector>

namespace qr::test {

struct GrayImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width * height bytes

    std::uint8_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    bool operator==(const GrayImage& other) const {
        return width == other.width && height == other.height && pixels == other.pixels;
    }
};

}  // namespace qr::test

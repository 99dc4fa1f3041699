#include "tests/roundtrip/bmp_image.h"

#include <cstddef>

namespace qr::test {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kColourCount = 2;
constexpr std::size_t kColourEntrySize = 4;  // blue, green, red, reserved
constexpr std::size_t kRowsOffset =
    kFileHeaderSize + kInfoHeaderSize + kColourCount * kColourEntrySize;  // 62
constexpr std::uint32_t kNoCompression = 0;
// The largest side accepted; tessera's largest image is 3700 pixels.
constexpr std::int32_t kMaxSide = 1 << 15;

std::uint32_t U16(const std::uint8_t* p) {
    return p[0] | (p[1] << 8);
}
std::uint32_t U32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t S32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(U32(p));
}

// Grey level of a colour-table entry (blue, green, red), weighted as luminance.
std::uint8_t GrayOf(const std::uint8_t* entry) {
    return static_cast<std::uint8_t>((114 * entry[0] + 587 * entry[1] + 299 * entry[2] + 500) /
                                     1000);
}

bool Fail(std::string* error, const std::string& what) {
    *error = what;
    return false;
}

}  // namespace

bool ParseBmp(const std::uint8_t* file, std::size_t size, GrayImage* image, std::string* error) {
    if (size < kRowsOffset) return Fail(error, "shorter than the 62 header bytes");
    if (file[0] != 'B' || file[1] != 'M') return Fail(error, "file type is not 'BM'");
    if (U32(file + 2) != size) return Fail(error, "file size field differs from the length");
    if (U16(file + 6) != 0 || U16(file + 8) != 0) return Fail(error, "reserved fields not 0");
    if (U32(file + 10) != kRowsOffset) return Fail(error, "pixel rows not at offset 62");
    const std::uint8_t* info = file + kFileHeaderSize;
    if (U32(info) != kInfoHeaderSize) return Fail(error, "information header is not 40 bytes");
    const std::int32_t width = S32(info + 4);
    const std::int32_t height = S32(info + 8);
    if (width <= 0 || width > kMaxSide) return Fail(error, "width out of range");
    if (height <= 0 || height > kMaxSide) return Fail(error, "height not a bottom-up count");
    if (U16(info + 12) != 1) return Fail(error, "planes is not 1");
    if (U16(info + 14) != 1) return Fail(error, "not 1 bit per pixel");
    if (U32(info + 16) != kNoCompression) return Fail(error, "compressed");
    const std::size_t rowSize = (static_cast<std::size_t>(width) + 31) / 32 * 4;
    const std::size_t imageSize = rowSize * static_cast<std::size_t>(height);
    if (U32(info + 20) != imageSize) return Fail(error, "image size field differs from rows");
    const std::uint32_t coloursUsed = U32(info + 32);
    if (coloursUsed != 0 && coloursUsed != kColourCount) return Fail(error, "not two colours");
    if (size != kRowsOffset + imageSize) return Fail(error, "length is not headers plus rows");

    const std::uint8_t* table = info + kInfoHeaderSize;
    const std::uint8_t gray[kColourCount] = {GrayOf(table), GrayOf(table + kColourEntrySize)};
    image->width = width;
    image->height = height;
    image->pixels.assign(static_cast<std::size_t>(width) * height, 0);
    for (std::int32_t y = 0; y < height; ++y) {
        // The first stored row is the bottom row of the image.
        const std::uint8_t* row = file + kRowsOffset + (height - 1 - y) * rowSize;
        std::uint8_t* out = image->pixels.data() + static_cast<std::size_t>(y) * width;
        for (std::int32_t x = 0; x < width; ++x) out[x] = gray[(row[x / 8] >> (7 - x % 8)) & 1];
    }
    return true;
}

}  // namespace qr::test

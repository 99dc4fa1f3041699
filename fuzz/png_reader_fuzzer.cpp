// Logos read from fuzzed PNG files and zlib streams. Input: one flag byte, then the bytes.
//   flag bit 0 clear: the bytes are a PNG file whose chunks' CRCs are first made right (so that
//                     mutations reach the header, the palette and the image data), read with a
//                     side of at most 64 pixels;
//   flag bit 0 set:   the bytes are a zlib stream, inflated to at most 64 KiB.
// A read must end in a verdict: a decoded image has the size its header states, within the limit,
// and a refusal names why; an inflated stream never exceeds its limit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "output/checksums.h"
#include "output/inflate.h"
#include "output/png_chunks.h"
#include "output/png_reader.h"

namespace {

constexpr int kMaxSide = 64;
constexpr std::size_t kInflateLimit = 1 << 16;

void Expect(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "png reader fuzzer: %s\n", what);
        std::abort();
    }
}

// Rewrites the CRC of every whole chunk after the signature.
void FixCrcs(std::vector<unsigned char>* png) {
    std::size_t at = sizeof qr::kPngSignature;
    while (png->size() - at >= qr::kPngChunkHeaderSize + qr::kPngCrcSize && at < png->size()) {
        const std::uint32_t length = qr::Big32(png->data() + at);
        if (length > png->size() - at - qr::kPngChunkHeaderSize - qr::kPngCrcSize) return;
        unsigned char* type = png->data() + at + 4;
        const std::uint32_t crc = qr::Crc32(0, type, 4 + length);
        for (int i = 0; i < 4; ++i)
            type[4 + length + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
        at += qr::kPngChunkHeaderSize + length + qr::kPngCrcSize;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::vector<unsigned char> bytes(data + 1, data + size);
    if ((data[0] & 1) != 0) {
        std::vector<unsigned char> out;
        qr::InflateZlib(bytes.data(), bytes.size(), kInflateLimit, &out);
        Expect(out.size() <= kInflateLimit, "inflated beyond the limit");
        return 0;
    }
    if (bytes.size() >= sizeof qr::kPngSignature) FixCrcs(&bytes);
    qr::PngPixels image;
    std::string why;
    if (qr::ReadPng(bytes.data(), bytes.size(), kMaxSide, &image, &why)) {
        Expect(image.width >= 1 && image.width <= kMaxSide && image.height >= 1 &&
                   image.height <= kMaxSide,
               "a side out of range");
        Expect(image.pixels.size() == static_cast<std::size_t>(image.width) * image.height,
               "pixels and size disagree");
    } else {
        Expect(!why.empty(), "a refusal without a reason");
    }
    return 0;
}

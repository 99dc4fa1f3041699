// Adler-32 with vector registers against the four-bytes-a-step sums and the byte-by-byte rule.
#include "output/checksums.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace qr::test {
namespace {

// Adler-32 one byte at a time, straight from its definition.
std::uint32_t AdlerByBytes(const unsigned char* data, std::size_t size) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

TEST(Checksums, AdlerInVectorRegistersEqualsThePlainSums) {
    const unsigned seed = 0xAD1E;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    constexpr std::size_t kBlock = 5552;  // bytes between reductions
    std::vector<unsigned char> noise(3 * kBlock + 64);
    for (unsigned char& byte : noise) byte = static_cast<unsigned char>(random());
    const std::vector<unsigned char> full(noise.size(), 0xFF);  // the largest sums
    std::vector<std::size_t> sizes;
    for (std::size_t size = 0; size <= 100; ++size) sizes.push_back(size);
    for (const std::size_t edge : {kBlock, 2 * kBlock, 3 * kBlock}) {
        for (std::size_t size = edge - 33; size <= edge + 33; ++size) sizes.push_back(size);
    }
    for (const std::vector<unsigned char>* bytes : {&std::as_const(noise), &full}) {
        for (const std::size_t size : sizes) {
            const std::size_t offset = size % 16;  // odd alignments
            SCOPED_TRACE(std::to_string(size) + " bytes at " + std::to_string(offset) +
                         (bytes == &full ? " of 0xFF" : " of noise"));
            const unsigned char* data = bytes->data() + offset;
            Adler32 plain;
            plain.AppendPlain(data, size);
            Adler32 wide;
            wide.Append(data, size);
            Adler32 pieces;  // pieces of random sizes, each way in turn
            for (std::size_t at = 0; at < size;) {
                const std::size_t piece = std::min<std::size_t>(random() % 300, size - at);
                if (at % 2 == 0) {
                    pieces.Append(data + at, piece);
                } else {
                    pieces.AppendPlain(data + at, piece);
                }
                at += piece;
            }
            const std::uint32_t expected = AdlerByBytes(data, size);
            EXPECT_EQ(plain.Value(), expected);
            EXPECT_EQ(wide.Value(), expected);
            EXPECT_EQ(pieces.Value(), expected);
        }
    }
}

}  // namespace
}  // namespace qr::test

// Adler-32 four bytes at a time with the sums reduced once a block, and CRC-32 four bytes at a time
// from four tables.
#include "output/checksums.h"

#include <algorithm>
#include <array>

namespace qr {

namespace {

constexpr std::uint32_t kAdlerModulus = 65521;
// Bytes that may be summed before the sums must be reduced: 255 * n(n+1)/2 + (n+1)(M-1) < 2^32.
constexpr std::size_t kAdlerBlock = 5552;
// Bytes and repeats up to which AppendRepeated's sums need no reducing before the products.
constexpr std::size_t kShortRepeat = std::size_t{1} << 16;

// CRC_TABLES[0][b] is the CRC of byte b; CRC_TABLES[k][b] that of byte b followed by k zero bytes,
// so that four bytes are taken at once.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 4>;
constexpr CrcTables MakeCrcTables() {
    CrcTables tables{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        tables[0][n] = c;
    }
    for (std::size_t k = 1; k < 4; ++k) {
        for (std::size_t n = 0; n < 256; ++n)
            tables[k][n] = tables[0][tables[k - 1][n] & 0xFF] ^ (tables[k - 1][n] >> 8);
    }
    return tables;
}
constexpr CrcTables CRC_TABLES = MakeCrcTables();

}  // namespace

void Adler32::Append(const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const std::size_t n = std::min(size, kAdlerBlock);
        std::uint32_t a = a_;
        std::uint32_t b = b_;
        std::size_t i = 0;
        for (; i + 4 <= n; i += 4) {  // b grows by four times a and 4, 3, 2 and 1 of each byte
            b += 4 * a + 4u * data[i] + 3u * data[i + 1] + 2u * data[i + 2] + data[i + 3];
            a += std::uint32_t{data[i]} + data[i + 1] + data[i + 2] + data[i + 3];
        }
        for (; i < n; ++i) {
            a += data[i];
            b += a;
        }
        a_ = a % kAdlerModulus;
        b_ = b % kAdlerModulus;
        data += n;
        size -= n;
    }
}

void Adler32::AppendRepeated(const unsigned char* data, std::size_t size, std::size_t times) {
    // Appending bytes x_0..x_{n-1} adds their sum S to a, and n * a + sum of (n - i) x_i to b.
    // Each x_i is in the running sum from step i on, so summing the running sums gives W; four
    // bytes at a time, W grows by four running sums before them and 4, 3, 2 and 1 of each.
    std::uint64_t sum = 0;
    std::uint64_t weighted = 0;
    std::size_t i = 0;
    for (; i + 4 <= size; i += 4) {
        weighted += 4 * sum + 4u * data[i] + 3u * data[i + 1] + 2u * data[i + 2] + data[i + 3];
        sum += std::uint64_t{data[i]} + data[i + 1] + data[i + 2] + data[i + 3];
    }
    for (; i < size; ++i) {
        sum += data[i];
        weighted += sum;
    }
    // `times` appends: a grows by times * S, b by times * (n * a + W) + n * S * times(times - 1)/2.
    const std::uint64_t m = kAdlerModulus;
    if (size <= kShortRepeat && times <= kShortRepeat) {
        // S < 2^24, W < 2^40 and n * a < 2^32: no product below passes 2^64 unreduced.
        const std::uint64_t pairs = times * (times - 1) / 2;
        b_ = static_cast<std::uint32_t>(
            (b_ + (size * a_ + weighted) % m * times + size * sum % m * pairs) % m);
        a_ = static_cast<std::uint32_t>((a_ + times * sum) % m);
        return;
    }
    sum %= m;
    weighted %= m;
    const std::uint64_t n = size % m;
    const std::uint64_t t = times % m;
    const std::uint64_t pairs = times % 2 == 0 ? (times / 2 % m) * ((times - 1) % m) % m
                                               : (times % m) * ((times - 1) / 2 % m) % m;
    b_ = static_cast<std::uint32_t>((b_ + t * ((n * a_ + weighted) % m) + n * sum % m * pairs) % m);
    a_ = static_cast<std::uint32_t>((a_ + t * sum) % m);
}

std::uint32_t Crc32(std::uint32_t crc, const unsigned char* data, std::size_t size) {
    crc = ~crc;
    std::size_t i = 0;
    for (; i + 4 <= size; i += 4) {
        crc ^= std::uint32_t{data[i]} | std::uint32_t{data[i + 1]} << 8 |
               std::uint32_t{data[i + 2]} << 16 | std::uint32_t{data[i + 3]} << 24;
        crc = CRC_TABLES[3][crc & 0xFF] ^ CRC_TABLES[2][(crc >> 8) & 0xFF] ^
              CRC_TABLES[1][(crc >> 16) & 0xFF] ^ CRC_TABLES[0][crc >> 24];
    }
    for (; i < size; ++i) crc = CRC_TABLES[0][(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

}  // namespace qr

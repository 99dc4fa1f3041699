// Adler-32 with the sums reduced once a block, 32 bytes a step in vector registers where there are
// some and four bytes a step otherwise; CRC-32 four bytes at a time from four tables.
#include "output/checksums.h"

#include <algorithm>
#include <array>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Adds `size` bytes of `data` to the sums `a` and `b`, unreduced: a grows by each byte and b by a
// after each.
void SumFours(const unsigned char* data, std::size_t size, std::uint32_t* a, std::uint32_t* b) {
    std::uint32_t sum = *a;
    std::uint32_t weighted = *b;
    std::size_t i = 0;
    for (; i + 4 <= size; i += 4) {  // b grows by four times a and 4, 3, 2 and 1 of each byte
        weighted += 4 * sum + 4u * data[i] + 3u * data[i + 1] + 2u * data[i + 2] + data[i + 3];
        sum += std::uint32_t{data[i]} + data[i + 1] + data[i + 2] + data[i + 3];
    }
    for (; i < size; ++i) {
        sum += data[i];
        weighted += sum;
    }
    *a = sum;
    *b = weighted;
}

#if defined(__SSE2__)
constexpr std::size_t kWideStep = 32;

// The four 32-bit lanes of `v` added.
std::uint32_t LaneTotal(__m128i v) {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0x4E));  // lanes 2, 3, 0, 1
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0xB1));  // lanes 1, 0, 3, 2
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
}

// SumFours of the first `size` / kWideStep steps of kWideStep bytes, as many as at most a block
// holds; returns the bytes added. A step adds its bytes' sum to a, and to b kWideStep times a
// before it and 32, 31, ... 1 times each byte: the bytes' sums (by differences from zero), the
// running sums before each step and the weighted bytes (bytes widened to 16 bits, multiplied and
// added in pairs) gather in lanes, which are added once at the end. Each lane is a part of the
// block's unreduced a or b, so none overflows where those do not.
std::size_t SumWide(const unsigned char* data, std::size_t size, std::uint32_t* a,
                    std::uint32_t* b) {
    const std::size_t steps = size / kWideStep;
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights[4] = {_mm_setr_epi16(32, 31, 30, 29, 28, 27, 26, 25),
                                _mm_setr_epi16(24, 23, 22, 21, 20, 19, 18, 17),
                                _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9),
                                _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1)};
    __m128i sums = zero;
    __m128i before = zero;  // the running sums before each step
    __m128i weighted = zero;
    for (std::size_t k = 0; k < steps; ++k) {
        const auto* at = reinterpret_cast<const __m128i*>(data + kWideStep * k);
        const __m128i first = _mm_loadu_si128(at);
        const __m128i second = _mm_loadu_si128(at + 1);
        before = _mm_add_epi32(before, sums);
        sums = _mm_add_epi32(sums,
                             _mm_add_epi32(_mm_sad_epu8(first, zero), _mm_sad_epu8(second, zero)));
        const __m128i products = _mm_add_epi32(
            _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(first, zero), weights[0]),
                          _mm_madd_epi16(_mm_unpackhi_epi8(first, zero), weights[1])),
            _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(second, zero), weights[2]),
                          _mm_madd_epi16(_mm_unpackhi_epi8(second, zero), weights[3])));
        weighted = _mm_add_epi32(weighted, products);
    }
    const auto bytes = static_cast<std::uint32_t>(kWideStep * steps);
    *b += bytes * *a + static_cast<std::uint32_t>(kWideStep) * LaneTotal(before) +
          LaneTotal(weighted);
    *a += LaneTotal(sums);
    return bytes;
}
#else
std::size_t SumWide(const unsigned char*, std::size_t, std::uint32_t*, std::uint32_t*) {
    return 0;
}
#endif

// Adds `size` bytes of `data` to the sums `a` and `b` (each below the modulus), reducing them after
// each block; the first bytes of each block by SumWide when `wide`.
void SumBlocks(const unsigned char* data, std::size_t size, bool wide, std::uint32_t* a,
               std::uint32_t* b) {
    while (size > 0) {
        const std::size_t n = std::min(size, kAdlerBlock);
        const std::size_t done = wide ? SumWide(data, n, a, b) : 0;
        SumFours(data + done, n - done, a, b);
        *a %= kAdlerModulus;
        *b %= kAdlerModulus;
        data += n;
        size -= n;
    }
}

}  // namespace

void Adler32::Append(const unsigned char* data, std::size_t size) {
    SumBlocks(data, size, true, &a_, &b_);
}

void Adler32::AppendPlain(const unsigned char* data, std::size_t size) {
    SumBlocks(data, size, false, &a_, &b_);
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

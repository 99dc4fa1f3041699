// Reed-Solomon error correction over GF(256) as both encoders use it: the products of a generator
// polynomial tabled once, then the division of any number of blocks by it. Internal to the encoder.
#pragma once

#include "encoder/tables.h"

namespace qr {

class RsDivider {
public:
    // Tables the products for the generator of `n` error-correction codewords (an n that
    // RS_GENERATOR_EXPONENTS has): row c (0..15) holds c times each coefficient of the generator
    // (below the leading 1, highest power first), row 16 + c holds 16 * c times them; bytes
    // beyond n are 0. Does nothing when the last table was of the same n: a record kept between
    // encodes of one size tables its generator once.
    void TableGenerator(int n);

    // Replaces the `k` (1 or more) data codewords at the start of `work` (followed by `n` bytes)
    // with the `n` error-correction codewords of the block, highest power first, and k zero bytes
    // after them, on the products of the last TableGenerator(n).
    void Divide(unsigned char* work, int k, int n) const;

private:
    // Divide() with rows of kChunks chunks of sixteen bytes, the data at `data`, the remainder in
    // `remainder`.
    template <int kChunks>
    void DivideIn(const unsigned char* data, int k, unsigned char* remainder) const;

    // Bytes per row of the products, a multiple of 16 above the largest degree.
    static constexpr int kProductStride = 80;
    // Rows of products per half of a codeword: c * g for the 16 values of its low four bits, and
    // again for its high four bits.
    static constexpr int kHalfProducts = 16;

    unsigned char products_[2 * kHalfProducts][kProductStride];
    int tabledDegree_ = 0;  // the n of products_, 0 before the first table
};

}  // namespace qr

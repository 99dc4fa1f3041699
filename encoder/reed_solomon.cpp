// Reed-Solomon error correction over GF(256): the remainder of the data polynomial times x^n
// divided by the generator polynomial.
//
// The division is the usual one, one data codeword at a time: the leading coefficient c of the
// running remainder is divided out by subtracting c times the generator. The products c * g for
// every c are tabled first, so that each step is a shift of the remainder and one XOR of a
// tabled row, eight bytes at a time.
#include <cstdint>
#include <cstring>

#include "encoder/qr_encoder.h"
#include "encoder/tables.h"

namespace qr {

namespace {

constexpr unsigned kFieldPolynomial = 0x11D;

// x times the field element `a`.
unsigned char TimesX(unsigned char a) {
    return static_cast<unsigned char>((a << 1) ^ ((a & 0x80) ? kFieldPolynomial : 0));
}

}  // namespace

void CQrEncoder::TableGeneratorProducts(int n) {
    static_assert(kRsProductStride >= kMaxGeneratorDegree && kRsProductStride % 8 == 0,
                  "rows hold every coefficient in whole words");
    const unsigned char* exponents = RS_GENERATOR_EXPONENTS[n];
    std::memset(rsProducts[0], 0, kRsProductStride);
    std::memset(rsProducts[1], 0, kRsProductStride);
    for (int j = 0; j < n; ++j) rsProducts[1][j] = GF_EXP[exponents[j]];
    // Powers of two by repeated multiplication by x, then every other c as the sum (XOR) of the
    // rows of its bits: c * g = (c - lowest bit of c) * g + (lowest bit of c) * g.
    for (int c = 2; c < 256; c <<= 1) {
        for (int j = 0; j < kRsProductStride; ++j) rsProducts[c][j] = TimesX(rsProducts[c / 2][j]);
    }
    for (int c = 3; c < 256; ++c) {
        const int low = c & -c;
        if (low == c) continue;
        for (int j = 0; j < kRsProductStride; ++j) {
            rsProducts[c][j] = rsProducts[c - low][j] ^ rsProducts[low][j];
        }
    }
}

void CQrEncoder::DivideByGenerator(unsigned char* work, int k, int n) const {
    // The remainder, highest power first, with zero bytes after it so that a step may read one
    // word beyond it.
    constexpr int kWord = 8;
    unsigned char remainder[kRsProductStride + kWord] = {};
    const int words = (n + kWord - 1) / kWord;
    for (int i = 0; i < k; ++i) {
        const unsigned char lead = static_cast<unsigned char>(work[i] ^ remainder[0]);
        const unsigned char* product = rsProducts[lead];
        // remainder = (remainder shifted up one power) - lead * generator; each word is read one
        // byte ahead before the step writes it.
        for (int w = 0; w < words; ++w) {
            std::uint64_t next, subtrahend;
            std::memcpy(&next, remainder + w * kWord + 1, kWord);
            std::memcpy(&subtrahend, product + w * kWord, kWord);
            next ^= subtrahend;
            std::memcpy(remainder + w * kWord, &next, kWord);
        }
    }
    // The data codewords have all been divided out: the block ends in k zero bytes.
    std::memcpy(work, remainder, n);
    std::memset(work + n, 0, k);
}

void CQrEncoder::ComputeEcCodewords(unsigned char* work, int k, int n) {
    if (k <= 0) return;
    TableGeneratorProducts(n);
    DivideByGenerator(work, k, n);
}

}  // namespace qr

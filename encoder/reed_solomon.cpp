// Reed-Solomon error correction over GF(256): the remainder of the data polynomial times x^n
// divided by the generator polynomial.
//
// The division is the usual one, one data codeword at a time: the leading coefficient c of the
// running remainder is divided out by subtracting c times the generator. The product c * g is the
// sum (XOR) of (c & 0x0F) * g and (c & 0xF0) * g, and the 32 products of the two halves are tabled
// once per generator, so that each step is a shift of the remainder and the XOR of two tabled
// rows, sixteen bytes at a time. XOR and the byte-wise products do not depend on the order of the
// bytes in a word.
#include "encoder/reed_solomon.h"

#include <cstring>

#include "encoder/cell_words.h"
#include "encoder/qr_encoder.h"
#include "encoder/tables.h"

namespace qr {

namespace {

using cells::LoadSixteen;
using cells::Sixteen;
using cells::StoreSixteen;
constexpr int kChunkBytes = sizeof(Sixteen);
constexpr cells::Word kEachByte = cells::kEachByte;

// x times each of the sixteen field elements in `b`: each doubled, and the field polynomial's low
// bits, x^4 + x^3 + x^2 + 1, added where the doubling carried out of the byte. Words, not bytes,
// so that builds without vector registers need two operations, not sixteen.
Sixteen TimesX(Sixteen b) {
    const Sixteen carried = (b >> 7) & kEachByte;
    return ((b & (0x7F * kEachByte)) << 1) ^ (carried << 4) ^ (carried << 3) ^ (carried << 2) ^
           carried;
}

// Bytes of a row of products for `n` coefficients: whole chunks.
constexpr int RowWidth(int n) {
    return (n + kChunkBytes - 1) / kChunkBytes * kChunkBytes;
}

}  // namespace

void RsDivider::TableGenerator(int n) {
    static_assert(kProductStride >= kMaxGeneratorDegree && kProductStride % kChunkBytes == 0,
                  "rows hold every coefficient in whole chunks");
    if (n == tabledDegree_) return;
    tabledDegree_ = n;
    const unsigned char* exponents = RS_GENERATOR_EXPONENTS[n];
    const int width = RowWidth(n);
    unsigned char(*low)[kProductStride] = products_;
    unsigned char(*high)[kProductStride] = products_ + kHalfProducts;
    std::memset(low[0], 0, width);
    std::memset(high[0], 0, width);
    std::memset(low[1], 0, width);
    for (int j = 0; j < n; ++j) low[1][j] = GF_EXP[exponents[j]];
    // The powers of two, x^0 .. x^7 times g, by repeated multiplication by x: x^4 * g is high[1].
    for (int w = 0; w < width; w += kChunkBytes) {
        Sixteen power = LoadSixteen(low[1] + w);
        for (int c = 2; c < kHalfProducts; c <<= 1) {
            power = TimesX(power);
            StoreSixteen(low[c] + w, power);
        }
        for (int c = 1; c < kHalfProducts; c <<= 1) {
            power = TimesX(power);
            StoreSixteen(high[c] + w, power);
        }
    }
    // The other rows: c * g is (c without its lowest bit) * g plus (its lowest bit) * g.
    for (int c = 3; c < kHalfProducts; ++c) {
        const int lowest = c & -c;
        if (lowest == c) continue;
        for (int w = 0; w < width; w += kChunkBytes) {
            StoreSixteen(low[c] + w,
                         LoadSixteen(low[c - lowest] + w) ^ LoadSixteen(low[lowest] + w));
            StoreSixteen(high[c] + w,
                         LoadSixteen(high[c - lowest] + w) ^ LoadSixteen(high[lowest] + w));
        }
    }
}

// Each step: remainder = (remainder shifted up one power) - lead * generator, on rows of kChunks
// chunks, with lead * generator given as the products of its low and high half; each chunk is
// read one byte ahead of where the step writes it.
template <int kChunks>
void RsDivider::DivideIn(const unsigned char* data, int k, unsigned char* remainder) const {
    constexpr int kHalfBits = 4;
    static_assert(kHalfProducts == 1 << kHalfBits, "a half of a codeword indexes its row");
    for (int i = 0; i < k; ++i) {
        const int lead = data[i] ^ remainder[0];
        const unsigned char* lowProduct = products_[lead & (kHalfProducts - 1)];
        const unsigned char* highProduct = products_[kHalfProducts + (lead >> kHalfBits)];
        for (int w = 0; w < kChunks * kChunkBytes; w += kChunkBytes) {
            StoreSixteen(remainder + w, LoadSixteen(remainder + w + 1) ^
                                            LoadSixteen(lowProduct + w) ^
                                            LoadSixteen(highProduct + w));
        }
    }
}

void RsDivider::Divide(unsigned char* work, int k, int n) const {
    // The remainder, highest power first, with zero bytes after it so that a step may read one
    // chunk beyond it. Rows of the products are zero beyond n, so those bytes stay zero.
    unsigned char remainder[kProductStride + kChunkBytes] = {};
    static_assert(RowWidth(kMaxGeneratorDegree) / kChunkBytes == 5, "rows of up to five chunks");
    switch (RowWidth(n) / kChunkBytes) {
        case 1:
            DivideIn<1>(work, k, remainder);
            break;
        case 2:
            DivideIn<2>(work, k, remainder);
            break;
        case 3:
            DivideIn<3>(work, k, remainder);
            break;
        case 4:
            DivideIn<4>(work, k, remainder);
            break;
        default:
            DivideIn<5>(work, k, remainder);
            break;
    }
    // The data codewords have all been divided out: the block ends in k zero bytes.
    std::memcpy(work, remainder, n);
    std::memset(work + n, 0, k);
}

void CQrEncoder::TableGeneratorProducts(int n) {
    rsDivider.TableGenerator(n);
}

void CQrEncoder::DivideByGenerator(unsigned char* work, int k, int n) {
    rsDivider.Divide(work, k, n);
}

void CQrEncoder::ComputeEcCodewords(unsigned char* work, int k, int n) {
    if (k <= 0) return;
    TableGeneratorProducts(n);
    DivideByGenerator(work, k, n);
}

}  // namespace qr

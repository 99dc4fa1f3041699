// Reed-Solomon error correction over GF(256): the remainder of the data polynomial times x^n
// divided by the generator polynomial.
//
// The division is the usual one, one data codeword at a time: the leading coefficient c of the
// running remainder is divided out by subtracting c times the generator. The product c * g is the
// sum (XOR) of (c & 0x0F) * g and (c & 0xF0) * g, and the 32 products of the two halves are tabled
// once per generator, so that each step is a shift of the remainder and the XOR of two tabled
// rows, eight bytes at a time. XOR and the byte-wise products do not depend on the order of the
// bytes in a word.
#include "encoder/reed_solomon.h"

#include <cstdint>
#include <cstring>

#include "encoder/cell_words.h"
#include "encoder/qr_encoder.h"
#include "encoder/tables.h"

namespace qr {

namespace {

using cells::Word;
constexpr int kWordBytes = 8;
constexpr Word kEachByte = cells::kEachByte;
constexpr unsigned kFieldPolynomialLowBits = 0x1D;  // x^8 = x^4 + x^3 + x^2 + 1

// x times each of the eight field elements in `w`.
Word TimesX(Word w) {
    return ((w & (0x7F * kEachByte)) << 1) ^ (((w >> 7) & kEachByte) * kFieldPolynomialLowBits);
}

// Bytes of a row of products for `n` coefficients: whole words.
int RowWidth(int n) {
    return (n + kWordBytes - 1) / kWordBytes * kWordBytes;
}

}  // namespace

void RsDivider::TableGenerator(int n) {
    static_assert(kProductStride >= kMaxGeneratorDegree && kProductStride % kWordBytes == 0,
                  "rows hold every coefficient in whole words");
    const unsigned char* exponents = RS_GENERATOR_EXPONENTS[n];
    const int width = RowWidth(n);
    unsigned char(*low)[kProductStride] = products_;
    unsigned char(*high)[kProductStride] = products_ + kHalfProducts;
    std::memset(low[0], 0, width);
    std::memset(high[0], 0, width);
    std::memset(low[1], 0, width);
    for (int j = 0; j < n; ++j) low[1][j] = GF_EXP[exponents[j]];
    // The powers of two, x^0 .. x^7 times g, by repeated multiplication by x: x^4 * g is high[1].
    for (int w = 0; w < width; w += kWordBytes) {
        Word power = cells::LoadEight(low[1] + w);
        for (int c = 2; c < kHalfProducts; c <<= 1) {
            power = TimesX(power);
            cells::StoreEight(low[c] + w, power);
        }
        for (int c = 1; c < kHalfProducts; c <<= 1) {
            power = TimesX(power);
            cells::StoreEight(high[c] + w, power);
        }
    }
    // The other rows: c * g is (c without its lowest bit) * g plus (its lowest bit) * g.
    for (int c = 3; c < kHalfProducts; ++c) {
        const int lowest = c & -c;
        if (lowest == c) continue;
        for (int w = 0; w < width; w += kWordBytes) {
            cells::StoreEight(low[c] + w, cells::LoadEight(low[c - lowest] + w) ^
                                              cells::LoadEight(low[lowest] + w));
            cells::StoreEight(high[c] + w, cells::LoadEight(high[c - lowest] + w) ^
                                               cells::LoadEight(high[lowest] + w));
        }
    }
}

namespace {

// remainder = (remainder shifted up one power) - lead * generator, on rows of kWords words, with
// lead * generator given as the products of its low and high half; each word is read one byte
// ahead of where the step writes it.
template <int kWords>
void ShiftAndSubtract(unsigned char* remainder, const unsigned char* lowProduct,
                      const unsigned char* highProduct) {
    for (int w = 0; w < kWords * kWordBytes; w += kWordBytes) {
        cells::StoreEight(remainder + w, cells::LoadEight(remainder + w + 1) ^
                                             cells::LoadEight(lowProduct + w) ^
                                             cells::LoadEight(highProduct + w));
    }
}

}  // namespace

void RsDivider::Divide(unsigned char* work, int k, int n) const {
    // The remainder, highest power first, with zero bytes after it so that a step may read one
    // word beyond it. Rows of the products are zero beyond n, so those bytes stay zero.
    unsigned char remainder[kProductStride + kWordBytes] = {};
    const int width = RowWidth(n);
    void (*step)(unsigned char*, const unsigned char*, const unsigned char*) = nullptr;
    switch (width / kWordBytes) {
        case 1:
            step = ShiftAndSubtract<1>;
            break;
        case 2:
            step = ShiftAndSubtract<2>;
            break;
        case 3:
            step = ShiftAndSubtract<3>;
            break;
        case 4:
            step = ShiftAndSubtract<4>;
            break;
        case 5:
            step = ShiftAndSubtract<5>;
            break;
        case 6:
            step = ShiftAndSubtract<6>;
            break;
        case 7:
            step = ShiftAndSubtract<7>;
            break;
        case 8:
            step = ShiftAndSubtract<8>;
            break;
        default:  // the largest degree, 68, takes nine words
            static_assert((kMaxGeneratorDegree + kWordBytes - 1) / kWordBytes == 9, "rows");
            step = ShiftAndSubtract<9>;
            break;
    }
    constexpr int kHalfBits = 4;
    static_assert(kHalfProducts == 1 << kHalfBits, "a half of a codeword indexes its row");
    for (int i = 0; i < k; ++i) {
        const int lead = work[i] ^ remainder[0];
        step(remainder, products_[lead & (kHalfProducts - 1)],
             products_[kHalfProducts + (lead >> kHalfBits)]);
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

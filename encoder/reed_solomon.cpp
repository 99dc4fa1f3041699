// Reed-Solomon error correction over GF(256): the remainder of the data polynomial times x^n
// divided by the generator polynomial, computed in place.
#include <cstring>

#include "encoder/qr_encoder.h"
#include "encoder/tables.h"

namespace qr {

void CQrEncoder::ComputeEcCodewords(unsigned char* work, int k, int n) {
    if (k <= 0) return;
    const unsigned char* exponents = RS_GENERATOR_EXPONENTS[n];
    const int total = k + n;
    for (int pass = 0; pass < k; ++pass) {
        const unsigned char lead = work[0];
        if (lead == 0) {
            std::memmove(work, work + 1, total - 1);
            continue;
        }
        const int lg = GF_LOG[lead];
        // Ascending: work[j + 1] is read before this pass overwrites it.
        for (int j = 0; j < n; ++j) work[j] = work[j + 1] ^ GF_EXP[(exponents[j] + lg) % 255];
        std::memmove(work + n, work + n + 1, total - n - 1);
    }
}

}  // namespace qr

// The fixed codes of deflate, bit for bit as RFC 1951 (3.2.6) lists them, first bit on the left.
#include "output/huffman_code.h"

#include <gtest/gtest.h>

#include <string>

namespace qr::test {
namespace {

// `code`'s symbol as the bits it writes, in the order it writes them.
std::string Written(const DeflateCode& code, int symbol) {
    std::string bits;
    for (int i = 0; i < code.lengths[symbol]; ++i)
        bits += (code.codes[symbol] >> i & 1) ? '1' : '0';
    return bits;
}

TEST(HuffmanCode, FixedCodesAreTheListedOnes) {
    struct Case {
        const DeflateCode& code;
        int symbol;
        const char* bits;
    };
    for (const Case& c : {
             Case{FIXED_LITERAL_CODE, 0, "00110000"},
             Case{FIXED_LITERAL_CODE, 143, "10111111"},
             Case{FIXED_LITERAL_CODE, 144, "110010000"},
             Case{FIXED_LITERAL_CODE, 255, "111111111"},
             Case{FIXED_LITERAL_CODE, 256, "0000000"},
             Case{FIXED_LITERAL_CODE, 279, "0010111"},
             Case{FIXED_LITERAL_CODE, 280, "11000000"},
             Case{FIXED_LITERAL_CODE, 287, "11000111"},
             Case{FIXED_DISTANCE_CODE, 0, "00000"},
             Case{FIXED_DISTANCE_CODE, 29, "11101"},
         }) {
        SCOPED_TRACE(c.symbol);
        EXPECT_EQ(Written(c.code, c.symbol), c.bits);
    }
}

}  // namespace
}  // namespace qr::test

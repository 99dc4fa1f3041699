// Reed-Solomon codewords against the worked block and an independent long division.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "encoder/tables.h"
#include "tests/support/test_support.h"

namespace qr {
namespace {

using test::Bytes;

using test::SlowGfMultiply;

// The remainder of data(x) * x^n divided by the generator with roots 2^0 .. 2^(n-1), by schoolbook
// polynomial division.
Bytes SlowRemainder(const Bytes& data, int n) {
    std::vector<int> g = {1};
    for (int i = 0, root = 1; i < n; ++i, root = SlowGfMultiply(root, 2)) {
        std::vector<int> next(g.size() + 1, 0);
        for (std::size_t j = 0; j < g.size(); ++j) {
            next[j] ^= g[j];
            next[j + 1] ^= SlowGfMultiply(g[j], root);
        }
        g = next;
    }
    std::vector<int> r(data.begin(), data.end());
    r.resize(data.size() + n, 0);
    for (std::size_t i = 0; i < data.size(); ++i) {
        const int factor = r[i];
        for (std::size_t j = 0; j < g.size(); ++j) r[i + j] ^= SlowGfMultiply(g[j], factor);
    }
    return Bytes(r.end() - n, r.end());
}

// The codewords by the encoder's division, on a new encoder or on `kept` (its tables as an earlier
// call left them).
Bytes Compute(const Bytes& data, int n, Bytes* whole = nullptr, CQrEncoder* kept = nullptr) {
    std::unique_ptr<CQrEncoder> made = kept == nullptr ? std::make_unique<CQrEncoder>() : nullptr;
    CQrEncoder* const encoder = kept == nullptr ? made.get() : kept;
    std::memset(encoder->rsWork, 0, sizeof encoder->rsWork);
    std::memcpy(encoder->rsWork, data.data(), data.size());
    encoder->ComputeEcCodewords(encoder->rsWork, static_cast<int>(data.size()), n);
    if (whole != nullptr) whole->assign(encoder->rsWork, encoder->rsWork + kMaxBlockCodewords);
    return Bytes(encoder->rsWork, encoder->rsWork + n);
}

TEST(ReedSolomon, WorkedBlockOfVersionOneLevelM) {
    const Bytes input = test::FromHex("10200c566180ec11ec11ec11ec11ec11");
    EXPECT_EQ(test::ToHex(Compute(input, 10).data(), 10), "a524d4c1ed36c7872c55");
}

TEST(ReedSolomon, EdgeBlocks) {
    struct Case {
        const char* name;
        Bytes data;
        int n;
    };
    Bytes full(123);
    for (int i = 0; i < 123; ++i) full[i] = static_cast<unsigned char>(i * 37 + 11);
    for (const Case& c : std::vector<Case>{
             {"all zero", Bytes(19, 0), 7},
             {"leading zeros", test::FromHex("000000000001ff80"), 10},
             {"one data codeword", Bytes{0x9A}, 30},
             {"one zero codeword", Bytes{0x00}, 7},
             {"longest block", full, 30},
         }) {
        SCOPED_TRACE(c.name);
        Bytes whole;
        EXPECT_EQ(Compute(c.data, c.n, &whole), SlowRemainder(c.data, c.n));
        const std::size_t end = c.data.size() + c.n;
        for (std::size_t i = c.n; i < end; ++i) EXPECT_EQ(whole[i], 0) << i;
    }
    EXPECT_EQ(Compute(Bytes(19, 0), 7), Bytes(7, 0));
}

TEST(ReedSolomon, BytesBeyondTheBlockAreNotTouched) {
    auto encoder = std::make_unique<CQrEncoder>();
    std::memset(encoder->rsWork, 0xA5, sizeof encoder->rsWork);
    const Bytes data = test::FromHex("4012345678");
    std::memcpy(encoder->rsWork, data.data(), data.size());
    std::memset(encoder->rsWork + data.size(), 0, 10);
    encoder->ComputeEcCodewords(encoder->rsWork, 5, 10);
    for (int i = 15; i < kMaxBlockCodewords; ++i) EXPECT_EQ(encoder->rsWork[i], 0xA5) << i;
    EXPECT_EQ(Bytes(encoder->rsWork, encoder->rsWork + 10), SlowRemainder(data, 10));
}

// On one encoder, each length twice in a row: tabled anew, then as tabled before.
TEST(ReedSolomon, RandomBlocksOfEveryUsedLengthMatchLongDivision) {
    const unsigned seed = 20261208;
    std::mt19937 random(seed);
    const int counts[] = {7, 10, 13, 15, 16, 17, 18, 20, 22, 24, 26, 28, 30};
    auto kept = std::make_unique<CQrEncoder>();
    for (int trial = 0; trial < 400; ++trial) {
        const int n = counts[trial / 2 % 13];
        const int k = 1 + static_cast<int>(random() % (kMaxBlockCodewords - n));
        Bytes data(k);
        for (auto& b : data) b = static_cast<unsigned char>(random() % 4 == 0 ? 0 : random());
        SCOPED_TRACE("seed " + std::to_string(seed) + " trial " + std::to_string(trial));
        EXPECT_EQ(Compute(data, n, nullptr, kept.get()), SlowRemainder(data, n));
    }
}

TEST(ReedSolomon, NoDataCodewordsLeavesTheBufferAlone) {
    auto encoder = std::make_unique<CQrEncoder>();
    std::memset(encoder->rsWork, 0x5A, sizeof encoder->rsWork);
    encoder->ComputeEcCodewords(encoder->rsWork, 0, 10);
    for (int i = 0; i < kMaxBlockCodewords; ++i) EXPECT_EQ(encoder->rsWork[i], 0x5A);
}

}  // namespace
}  // namespace qr

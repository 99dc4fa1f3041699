// Encode allocates nothing: every global operator new of this test program is counted, and a
// run of encodes of every kind (every version group, every mode, automatic and fixed masks, inputs
// that do not fit) must leave the count where it was. Through the API, once the first call has
// made the records that calls keep, an encode makes only the symbol it hands out.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "encoder/micro_encoder.h"
#include "encoder/rmqr_encoder.h"
#include "module/symbol.h"
#include "module/tessera_api.h"
#include "tests/support/test_support.h"

namespace {

std::atomic<long> allocations{0};
std::atomic<std::size_t> largest{0};  // the largest block asked for since it was set to 0

void Count(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    std::size_t seen = largest.load();
    while (size > seen && !largest.compare_exchange_weak(seen, size)) {
    }
}

void* CountedAllocation(std::size_t size) {
    Count(size);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

}  // namespace

// The replacements cover every form the program can call; deletion frees as usual.
void* operator new(std::size_t size) {
    return CountedAllocation(size);
}
void* operator new[](std::size_t size) {
    return CountedAllocation(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    Count(size);
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    Count(size);
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace qr {
namespace {

struct Case {
    std::string name;
    test::Bytes data;
    int level;
    int version;
    int allowLarger;
    int mask;
    int expected;
};

std::vector<Case> Cases() {
    std::vector<Case> cases;
    cases.push_back(
        {"url", test::ToBytes("https://example.org/products/item?id=123"), LEVEL_M, 0, 1, -1, 1});
    cases.push_back({"7089 digits", test::Bytes(kMaxInputBytes, '7'), LEVEL_L, 0, 1, -1, 1});
    cases.push_back({"7090 digits", test::Bytes(kMaxInputBytes + 1, '7'), LEVEL_L, 0, 1, -1, 0});
    test::Bytes mixed;
    for (int i = 0; i < 600; ++i) mixed.push_back(static_cast<unsigned char>("7Ab"[i % 3]));
    cases.push_back({"mixed modes", mixed, LEVEL_Q, 0, 1, 3, 1});
    test::Bytes kanji;
    for (int i = 0; i < 300; ++i) {
        kanji.push_back(0x93);
        kanji.push_back(static_cast<unsigned char>(0x40 + i % 0xBC));
    }
    cases.push_back({"kanji", kanji, LEVEL_H, 20, 1, -1, 1});
    test::Bytes alternating;
    for (int i = 0; i < kMaxInputBytes; ++i) alternating.push_back(i % 2 ? 'x' : '5');
    cases.push_back({"alternating", alternating, LEVEL_L, 0, 1, -1, 0});
    cases.push_back({"too large for version 1", test::ToBytes("0123456789ABCDEFGHIJ0123456789"),
                     LEVEL_H, 1, 0, -1, 0});
    return cases;
}

TEST(NoAllocation, EncodeAllocatesNothing) {
    const std::vector<Case> cases = Cases();
    auto encoder = std::make_unique<CQrEncoder>();
    const long before = allocations.load();
    int encoded = 0;
    for (const Case& c : cases) {
        const int result = encoder->Encode(c.level, c.version, c.allowLarger, c.mask, c.data.data(),
                                           static_cast<int>(c.data.size()));
        EXPECT_EQ(result, c.expected) << c.name;
        encoded += result;
    }
    const long during = allocations.load() - before;
    EXPECT_EQ(during, 0);
    EXPECT_EQ(encoded, 4);
}

TEST(NoAllocation, MicroEncodeAllocatesNothing) {
    struct Case {
        std::string data;
        int level, version, mask, expected;
    };
    const std::vector<Case> cases = {
        {"01234", kMicroNoLevel, 0, -1, 1},
        {"HELLO WORLD", LEVEL_M, 0, 2, 1},
        {"ab12\x93\x5f", LEVEL_Q, 4, -1, 1},
        {std::string(kMaxMicroInputBytes, '9'), LEVEL_L, 0, -1, 1},
        {std::string(kMaxMicroInputBytes + 1, '9'), LEVEL_L, 0, -1, 0},
        {"abcdefghijklmnop", LEVEL_L, 0, -1, 0},
    };
    auto encoder = std::make_unique<CMicroEncoder>();
    const long before = allocations.load();
    int encoded = 0;
    for (const Case& c : cases) {
        const int result = encoder->Encode(c.level, c.version, 1, c.mask,
                                           reinterpret_cast<const unsigned char*>(c.data.data()),
                                           static_cast<int>(c.data.size()));
        EXPECT_EQ(result, c.expected) << c.data;
        encoded += result;
        encoder->StreamBits(reinterpret_cast<const unsigned char*>(c.data.data()),
                            static_cast<int>(c.data.size()), 4);
    }
    EXPECT_EQ(allocations.load() - before, 0);
    EXPECT_EQ(encoded, 4);
}

// rMQR, plain and GS1 (its plan has its own scratch), and GS1 in QR Code.
TEST(NoAllocation, RmqrAndGs1EncodeAllocateNothing) {
    const std::string gs1 =
        "01095011015300031726123110AB%C\x1d"
        "21abc";
    const std::string digits(kMaxRmqrInputBytes, '7');
    auto rmqr = std::make_unique<CRmqrEncoder>();
    auto qrCode = std::make_unique<CQrEncoder>();
    const auto* g = reinterpret_cast<const unsigned char*>(gs1.data());
    const int n = static_cast<int>(gs1.size());
    const long before = allocations.load();
    int encoded =
        rmqr->Encode(LEVEL_M, 0, 0, 0, reinterpret_cast<const unsigned char*>(digits.data()),
                     kMaxRmqrInputBytes);
    rmqr->gs1 = qrCode->gs1 = true;
    encoded += rmqr->Encode(LEVEL_H, 0, 0, 9, g, n) + qrCode->Encode(LEVEL_Q, 0, 1, -1, g, n);
    EXPECT_EQ(allocations.load() - before, 0);
    EXPECT_EQ(encoded, 3);
}

TEST(NoAllocation, AnApiEncodeAfterTheFirstMakesOnlyTheSymbolItHandsOut) {
    int encoded = 0;
    for (const Case& c : Cases()) {
        if (c.expected == 0) continue;
        SCOPED_TRACE(c.name);
        tessera_settings settings;
        tessera_settings_init(&settings);
        settings.level = c.level;
        settings.version = c.version;
        settings.strict_version = c.allowLarger == 0;
        settings.mask = c.mask < 0 ? TESSERA_DEFAULT : c.mask;
        tessera_symbol* symbol = nullptr;
        ASSERT_EQ(tessera_encode(c.data.data(), c.data.size(), &settings, &symbol), TESSERA_OK);
        tessera_symbol_free(symbol);
        const long before = allocations.load();
        largest = 0;
        ASSERT_EQ(tessera_encode(c.data.data(), c.data.size(), &settings, &symbol), TESSERA_OK);
        const auto size = static_cast<std::size_t>(tessera_symbol_size(symbol));
        tessera_symbol_free(symbol);
        EXPECT_EQ(allocations.load() - before, 1);
        EXPECT_LE(largest.load(), sizeof(SymbolFacts) + size * size);
        ++encoded;
    }
    EXPECT_EQ(encoded, 4);
}

// The counter itself works: the check above could not pass by counting nothing.
TEST(NoAllocation, TheCounterSeesAnAllocation) {
    const long before = allocations.load();
    largest = 0;
    auto probe = std::make_unique<int>(7);
    EXPECT_EQ(allocations.load() - before, 1);
    EXPECT_EQ(largest.load(), sizeof(int));
    EXPECT_EQ(*probe, 7);
}

}  // namespace
}  // namespace qr

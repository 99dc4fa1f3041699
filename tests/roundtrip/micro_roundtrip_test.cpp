// Micro QR round trips through zxing-cpp (zbar reads no Micro QR): CMicroEncoder makes the symbol,
// the BMP writer draws it with a quiet zone of 2 modules, the file is parsed back into pixels and
// zxing-cpp, limited to Micro QR, must return exactly the bytes that were given. Every version and
// level, every content the version takes (each mode alone, and mixed runs), every mask and the
// automatic one, at 1 to 4 pixels per module; random data from a fixed seed.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "encoder/micro_encoder.h"
#include "output/render_options.h"
#include "tests/roundtrip/bmp_image.h"
#include "tests/roundtrip/qr_readers.h"
#include "tests/roundtrip/symbol_cases.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

constexpr std::uint32_t kSeed = 0x16C0DE;
constexpr int kCasesPerMask = 3;
constexpr int kMaxTestScale = 4;
// Units (characters) drawn before the data is cut to what the symbol holds.
constexpr int kMaxUnits = 40;
constexpr int kMaxMixedRun = 6;

enum Kind { kNumeric, kAlphanumeric, kByte, kKanji, kMixed };
const char* const KIND_NAMES[] = {"numeric", "alphanumeric", "byte", "Kanji", "mixed"};

struct Symbol {
    int version;
    int level;
    std::vector<Kind> kinds;  // the contents the version takes
};

const std::vector<Symbol>& Symbols() {
    static const std::vector<Symbol> symbols = {
        {1, kMicroNoLevel, {kNumeric}},
        {2, LEVEL_L, {kNumeric, kAlphanumeric, kMixed}},
        {2, LEVEL_M, {kNumeric, kAlphanumeric, kMixed}},
        {3, LEVEL_L, {kNumeric, kAlphanumeric, kByte, kKanji, kMixed}},
        {3, LEVEL_M, {kNumeric, kAlphanumeric, kByte, kKanji, kMixed}},
        {4, LEVEL_L, {kNumeric, kAlphanumeric, kByte, kKanji, kMixed}},
        {4, LEVEL_M, {kNumeric, kAlphanumeric, kByte, kKanji, kMixed}},
        {4, LEVEL_Q, {kNumeric, kAlphanumeric, kByte, kKanji, kMixed}},
    };
    return symbols;
}

int Draw(std::mt19937& random, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
}

// One unit of `kind`; mixed runs in M2 draw numeric and alphanumeric units only.
Bytes Unit(Kind kind, std::mt19937& random) {
    static const std::string kAlphanumericSet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
    switch (kind) {
        case kNumeric:
            return {static_cast<unsigned char>('0' + Draw(random, 0, 9))};
        case kAlphanumeric:
            return {static_cast<unsigned char>(
                kAlphanumericSet[Draw(random, 0, static_cast<int>(kAlphanumericSet.size()) - 1)])};
        case kByte:
            return {static_cast<unsigned char>(Draw(random, 0, 255))};
        default: {
            const auto& pairs = JisX0208ShiftJisPairs();
            const auto& pair = pairs[Draw(random, 0, static_cast<int>(pairs.size()) - 1)];
            return {pair[0], pair[1]};
        }
    }
}

// Random data of `kind` that `symbol` holds: up to kMaxUnits units, cut from the end until the
// stream fits the version's data bits at the level.
Bytes RandomData(const Symbol& symbol, Kind kind, std::mt19937& random, CMicroEncoder& encoder) {
    std::vector<Bytes> units;
    const int count = Draw(random, 1, kMaxUnits);
    const int mixedKinds = symbol.version == 2 ? kAlphanumeric : kKanji;
    while (static_cast<int>(units.size()) < count) {
        const Kind of = kind == kMixed ? static_cast<Kind>(Draw(random, 0, mixedKinds)) : kind;
        const int run = kind == kMixed ? Draw(random, 1, kMaxMixedRun) : 1;
        for (int i = 0; i < run; ++i) units.push_back(Unit(of, random));
    }
    const int capacity = MicroDataBits(symbol.version, symbol.level);
    for (;;) {
        Bytes data;
        for (const Bytes& unit : units) data.insert(data.end(), unit.begin(), unit.end());
        const int bits =
            encoder.StreamBits(data.data(), static_cast<int>(data.size()), symbol.version);
        if (bits != -1 && bits <= capacity) return data;
        units.pop_back();
    }
}

TEST(MicroRoundTrip, ZxingReadsEveryVersionLevelMaskAndContent) {
    std::mt19937 random(kSeed);
    auto encoder = std::make_unique<CMicroEncoder>();
    int symbols = 0, decoded = 0, neededPure = 0;
    for (const Symbol& symbol : Symbols()) {
        for (const Kind kind : symbol.kinds) {
            for (int mask = -1; mask < kMicroMaskCount; ++mask) {
                for (int i = 0; i < kCasesPerMask; ++i) {
                    const Bytes data = RandomData(symbol, kind, random, *encoder);
                    const int scale = Draw(random, 1, kMaxTestScale);
                    SCOPED_TRACE("seed " + std::to_string(kSeed) + " M" +
                                 std::to_string(symbol.version) + " level " +
                                 std::to_string(symbol.level) + " mask " + std::to_string(mask) +
                                 " " + KIND_NAMES[kind] + " scale " + std::to_string(scale) +
                                 " data " + ToHex(data.data(), data.size()));
                    ASSERT_EQ(encoder->Encode(symbol.level, symbol.version, 0, mask, data.data(),
                                              static_cast<int>(data.size())),
                              1);
                    const std::string file =
                        Rendered(encoder->symbolSize, encoder->modules, ImageFormat::kBmp, scale,
                                 kMicroQuietZoneModules);
                    GrayImage image;
                    std::string error;
                    ASSERT_TRUE(ParseBmp(reinterpret_cast<const std::uint8_t*>(file.data()),
                                         file.size(), &image, &error))
                        << error;
                    ++symbols;
                    std::optional<Bytes> read =
                        ReadMicroWithZxing(image, ZxingDetection::kSearch, &error);
                    if (!read) {
                        read = ReadMicroWithZxing(image, ZxingDetection::kPure, &error);
                        neededPure += read ? 1 : 0;
                    }
                    ASSERT_TRUE(read.has_value()) << error;
                    EXPECT_EQ(ToHex(read->data(), read->size()), ToHex(data.data(), data.size()));
                    decoded += *read == data ? 1 : 0;
                }
            }
        }
    }
    EXPECT_EQ(decoded, symbols);
    std::printf("[ MicroRoundTrip ] zxing-cpp read %d of %d symbols (%d only as a pure image)\n",
                decoded, symbols, neededPure);
}

}  // namespace
}  // namespace qr::test

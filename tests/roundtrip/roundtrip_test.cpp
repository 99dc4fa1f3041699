// Round trips through real readers: the exported tessera writes a BMP file, the file is parsed
// back into pixels and decoded by zxing-cpp and by zbar, and both must return exactly the bytes
// that were given. The inputs are random from a fixed seed and spread over every version, level,
// mask, scale from 1 to 4 and content kind (see symbol_cases.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#include "module/tessera.h"
#include "tests/roundtrip/bmp_image.h"
#include "tests/roundtrip/qr_readers.h"
#include "tests/roundtrip/symbol_cases.h"
#include "tests/support/test_support.h"

namespace qr::test {
namespace {

constexpr std::uint64_t kSeed = 0x7E55E4A20B5EEDull;
constexpr int kShardsPerKind = 4;
constexpr int kCasesPerShard = 105;  // 5 kinds x 4 shards x 105 = 2100 symbols
// A soak run sets these two to draw other and more cases.
constexpr const char* kSeedVariable = "TESSERA_ROUNDTRIP_SEED";
constexpr const char* kCasesVariable = "TESSERA_ROUNDTRIP_CASES";

// Light margin around the symbol, in modules, on every side.
constexpr int kQuietZoneModules = 4;
// Modules per side of a symbol of `version` (ISO/IEC 18004).
constexpr int SymbolSide(int version) {
    return 4 * version + 17;
}
// zbar misses most symbols drawn at 1 pixel per module, so it is tried from 2 on.
constexpr int kZbarMinScale = 2;
// Bytes of context shown around the first difference of two byte strings.
constexpr std::size_t kContextBytes = 8;

std::uint64_t Seed() {
    const char* text = std::getenv(kSeedVariable);
    return text != nullptr ? std::strtoull(text, nullptr, 0) : kSeed;
}

int CasesPerShard() {
    const char* text = std::getenv(kCasesVariable);
    const int count = text != nullptr ? std::atoi(text) : 0;
    return count > 0 ? count : kCasesPerShard;
}

// What the readers did over a run of cases.
struct Tally {
    int symbols = 0;
    int zxingDecoded = 0;
    int zxingNeededPure = 0;  // read only when told the image is a pure symbol
    int zbarTried = 0;        // symbols at 2 or more pixels per module
    int zbarDecoded = 0;
    int mixedMode = 0;  // symbols of more than one segment
    int zbarMixedModeDecoded = 0;
    int zbarMixedModeBug = 0;  // zbar failed a mixed-mode symbol that zxing-cpp read

    void Add(const Tally& other) {
        symbols += other.symbols;
        zxingDecoded += other.zxingDecoded;
        zxingNeededPure += other.zxingNeededPure;
        zbarTried += other.zbarTried;
        zbarDecoded += other.zbarDecoded;
        mixedMode += other.mixedMode;
        zbarMixedModeDecoded += other.zbarMixedModeDecoded;
        zbarMixedModeBug += other.zbarMixedModeBug;
    }
    std::string Text() const {
        char text[320];
        std::snprintf(text, sizeof text,
                      "%d symbols (%d mixed-mode); zxing-cpp decoded %d (%d of them only as a pure "
                      "image); zbar decoded %d of %d at scale 2 or more (%d mixed-mode), %d known "
                      "mixed-mode failures",
                      symbols, mixedMode, zxingDecoded, zxingNeededPure, zbarDecoded, zbarTried,
                      zbarMixedModeDecoded, zbarMixedModeBug);
        return text;
    }
};

Tally& SuiteTally() {
    static Tally tally;
    return tally;
}

// Prints the counts of every shard run in this process once all tests are done.
class TallyPrinter : public ::testing::Environment {
public:
    void TearDown() override {
        if (SuiteTally().symbols > 0) std::printf("Round trips: %s\n", SuiteTally().Text().c_str());
    }
};
::testing::Environment* const kTallyPrinter = ::testing::AddGlobalTestEnvironment(new TallyPrinter);

std::string Hex(const Bytes& bytes, std::size_t from, std::size_t to) {
    to = std::min(to, bytes.size());
    return from < to ? ToHex(bytes.data() + from, to - from) : std::string();
}

// Where `got` first differs from `expected`, with some bytes of context.
std::string Difference(const Bytes& expected, const Bytes& got) {
    std::size_t at = 0;
    while (at < expected.size() && at < got.size() && expected[at] == got[at]) ++at;
    const std::size_t from = at > kContextBytes ? at - kContextBytes : 0;
    return "got " + std::to_string(got.size()) + " bytes for " + std::to_string(expected.size()) +
           "; first difference at byte " + std::to_string(at) + ": expected ..." +
           Hex(expected, from, at + kContextBytes) + "..., got ..." +
           Hex(got, from, at + kContextBytes) + "...";
}

// Writes, reads back and decodes one case; every fault is a test failure naming the case.
void RoundTripOne(const SymbolCase& c, std::uint64_t seed, const TempDir& dir, Tally* tally) {
    const std::string out = dir.File("symbol.bmp");
    std::remove(out.c_str());
    const auto options = c.OptionsFor(out);
    const int result =
        tessera(options[0].c_str(), options[1].c_str(), options[2].c_str(), options[3].c_str());
    const bool mixed = c.segmentCount > 1;
    ++tally->symbols;
    tally->mixedMode += mixed;
    if (result != TESSERA_WRITTEN) {
        ADD_FAILURE() << "tessera returned " << result << "; " << c.Describe(seed);
        return;
    }
    Bytes file;
    GrayImage image;
    std::string error;
    if (!ReadFile(out, &file) || !ParseBmp(file.data(), file.size(), &image, &error)) {
        ADD_FAILURE() << "the BMP file does not parse: " << error << "; " << c.Describe(seed);
        return;
    }
    const int side = c.scale * (SymbolSide(c.version) + 2 * kQuietZoneModules);
    if (image.width != side || image.height != side) {
        ADD_FAILURE() << "image " << image.width << "x" << image.height << ", expected " << side
                      << " for the version; " << c.Describe(seed);
        return;
    }

    std::string zxingError;
    std::optional<Bytes> zxing = ReadWithZxing(image, ZxingDetection::kSearch, &zxingError);
    if (!zxing) {
        zxing = ReadWithZxing(image, ZxingDetection::kPure, &zxingError);
        if (zxing) {
            ++tally->zxingNeededPure;
            std::printf("zxing-cpp found the symbol only as a pure image (%s): %s\n",
                        zxingError.c_str(), c.Describe(seed).c_str());
        }
    }
    const bool zxingRead = zxing && *zxing == c.data;
    if (!zxing) {
        ADD_FAILURE() << "zxing-cpp read nothing, searching or as a pure image (" << zxingError
                      << "); " << c.Describe(seed);
    } else if (!zxingRead) {
        ADD_FAILURE() << "zxing-cpp " << Difference(c.data, *zxing) << "; " << c.Describe(seed);
    } else {
        ++tally->zxingDecoded;
    }

    if (c.scale < kZbarMinScale) return;
    ++tally->zbarTried;
    std::string zbarError;
    const std::optional<Bytes> zbar = ReadWithZbar(image, &zbarError);
    if (zbar && *zbar == c.data) {
        ++tally->zbarDecoded;
        tally->zbarMixedModeDecoded += mixed;
        return;
    }
    const std::string what = zbar ? Difference(c.data, *zbar) : "read nothing (" + zbarError + ")";
    if (zxingRead && mixed) {
        // zbar 0.23.92 misreads some symbols of several segments; fixed upstream in 0.23.93.
        ++tally->zbarMixedModeBug;
        std::printf("zbar %s on a mixed-mode symbol that zxing-cpp read: %s\n", what.c_str(),
                    c.Describe(seed).c_str());
        return;
    }
    ADD_FAILURE() << "zbar " << what << "; " << c.Describe(seed);
}

class RoundTrip : public ::testing::TestWithParam<std::tuple<ContentKind, int>> {};

TEST_P(RoundTrip, BothReadersReturnTheBytes) {
    const ContentKind kind = std::get<0>(GetParam());
    const int shard = std::get<1>(GetParam());
    const std::uint64_t seed = Seed();
    const int count = CasesPerShard();
    char trace[128];
    std::snprintf(trace, sizeof trace, "seed 0x%llx, %s cases %d to %d",
                  static_cast<unsigned long long>(seed), ContentKindName(kind), shard * count,
                  (shard + 1) * count - 1);
    SCOPED_TRACE(trace);
    auto sizer = std::make_unique<CQrEncoder>();
    TempDir dir;
    Tally tally;
    for (int index = shard * count; index < (shard + 1) * count; ++index) {
        SymbolCase c;
        if (!MakeCase(seed, kind, index, sizer.get(), &c)) {
            ADD_FAILURE() << "no data of " << ContentKindName(kind) << " case " << index
                          << " lands on its version; "
                          << PlanCase(seed, kind, index).Describe(seed);
            continue;
        }
        RoundTripOne(c, seed, dir, &tally);
    }
    std::printf("%s shard %d: %s\n", ContentKindName(kind), shard, tally.Text().c_str());
    SuiteTally().Add(tally);
}

INSTANTIATE_TEST_SUITE_P(
    AllContent, RoundTrip,
    ::testing::Combine(::testing::Values(ContentKind::kNumeric, ContentKind::kAlphanumeric,
                                         ContentKind::kByte, ContentKind::kKanji,
                                         ContentKind::kMixed),
                       ::testing::Range(0, kShardsPerKind)),
    [](const ::testing::TestParamInfo<RoundTrip::ParamType>& info) {
        return std::string(ContentKindName(std::get<0>(info.param))) + "_" +
               std::to_string(std::get<1>(info.param));
    });

// The fixed plan reaches every setting the suite promises, so that a change to the case drawing
// cannot quietly narrow what the readers see.
TEST(RoundTripPlan, ReachesEveryVersionLevelMaskScaleAndRequest) {
    const int perKind = kShardsPerKind * kCasesPerShard;
    EXPECT_GE(perKind * kContentKindCount, 2000);
    std::set<std::pair<int, int>> versionLevels;
    for (int k = 0; k < kContentKindCount; ++k) {
        const auto kind = static_cast<ContentKind>(k);
        SCOPED_TRACE(ContentKindName(kind));
        std::set<int> versions, levels, masks, scales;
        std::set<VersionRequest> requests;
        for (int index = 0; index < perKind; ++index) {
            const SymbolCase c = PlanCase(kSeed, kind, index);
            versions.insert(c.version);
            levels.insert(c.level);
            masks.insert(c.mask);
            scales.insert(c.scale);
            requests.insert(c.request);
            versionLevels.insert({c.version, c.level});
        }
        EXPECT_EQ(versions.size(), static_cast<std::size_t>(kMaxVersion));
        EXPECT_EQ(levels.size(), static_cast<std::size_t>(kLevelCount));
        EXPECT_EQ(masks.size(), static_cast<std::size_t>(kMaskCount + 1));  // and automatic
        EXPECT_EQ(scales.size(), static_cast<std::size_t>(kMaxTestScale));
        EXPECT_EQ(requests.size(), 3u);
    }
    EXPECT_EQ(versionLevels.size(), static_cast<std::size_t>(kMaxVersion * kLevelCount));
}

}  // namespace
}  // namespace qr::test

// The mask trial against the plain rules: on random symbols of every version, each mask scores
// and finishes exactly as ApplyMask, PlaceFormatInformation, ScoreMask and FlattenModules do,
// with the processor's population count and without it, and all eight at once (several masks in
// one register where the processor has them) from whatever format the planes hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace qr {
namespace {

// A symbol of `version` and `level` as PlaceCodewords leaves it, holding random codewords.
std::unique_ptr<CQrEncoder> Unmasked(int version, int level, std::mt19937& random) {
    auto encoder = std::make_unique<CQrEncoder>();
    encoder->version = version;
    encoder->level = level;
    encoder->symbolSize = 4 * version + 17;
    encoder->totalCodewordCount = VERSION_TABLE[version].totalCodewords;
    for (int i = 0; i < encoder->totalCodewordCount; ++i) {
        encoder->finalCodewords[i] = static_cast<unsigned char>(random());
    }
    std::memset(encoder->modules, 0, sizeof encoder->modules);
    encoder->PlaceFunctionPatterns();
    encoder->PlaceCodewords();
    return encoder;
}

TEST(MaskTrial, ScoresAndSymbolsEqualThePlainRulesOnEveryVersion) {
    const unsigned seed = 2024;
    std::mt19937 random(seed);
    for (int version = kMinVersion; version <= kMaxVersion; ++version) {
        const int level = static_cast<int>(random() % kLevelCount);
        SCOPED_TRACE("seed " + std::to_string(seed) + " version " + std::to_string(version));
        auto trial = Unmasked(version, level, random);
        const auto unmasked = std::make_unique<CQrEncoder>(*trial);
        trial->PackTrialPlanes();
        int together[kMaskCount];
        trial->ScoreTrialMasks(together);
        // The masks in a shuffled order: each trial draws its format over the one before.
        std::vector<int> masks = {0, 1, 2, 3, 4, 5, 6, 7};
        std::shuffle(masks.begin(), masks.end(), random);
        for (int mask : masks) {
            SCOPED_TRACE("mask " + std::to_string(mask));
            auto plain = std::make_unique<CQrEncoder>(*unmasked);
            plain->ApplyMask(mask);
            plain->PlaceFormatInformation(mask);
            const int score = plain->ScoreMask();
            EXPECT_EQ(trial->ScoreTrialMask(mask), score);
            EXPECT_EQ(trial->ScoreTrialMask(mask, true), score);  // counted without popcnt
            EXPECT_EQ(together[mask], score);
            EXPECT_EQ(std::memcmp(trial->modules, unmasked->modules, sizeof trial->modules), 0);

            plain->FlattenModules();
            auto finished = std::make_unique<CQrEncoder>(*unmasked);
            finished->WriteMaskedSymbol(mask);
            EXPECT_EQ(test::MatrixText(*finished), test::MatrixText(*plain));
        }
        int again[kMaskCount];  // with the last mask's format drawn in the planes
        trial->ScoreTrialMasks(again);
        EXPECT_EQ(std::vector<int>(again, again + kMaskCount),
                  std::vector<int>(together, together + kMaskCount));
    }
}

}  // namespace
}  // namespace qr

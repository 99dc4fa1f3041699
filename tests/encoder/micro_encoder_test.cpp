// The Micro QR encoder: a whole symbol as a picture, the capacities of every version and level,
// the version and level search, the stream's length, the format words, the mask choice over
// random data and the arguments it refuses. The matrices themselves are held against an
// independent encoder in micro_oracle_test.cpp.
#include "encoder/micro_encoder.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "encoder/masking.h"
#include "tests/encoder/pictures.h"
#include "tests/support/test_support.h"

namespace qr {
namespace {

using test::Bytes;

int EncodeText(CMicroEncoder& encoder, int level, int version, int allowLarger, int mask,
               const std::string& text) {
    return encoder.Encode(level, version, allowLarger, mask,
                          reinterpret_cast<const unsigned char*>(text.data()),
                          static_cast<int>(text.size()));
}

// The score of the finished symbol, recounted from its cells: SUM1 the dark cells of the right
// column and SUM2 those of the bottom row, each without the timing cell at its start.
int EdgeScore(const CMicroEncoder& encoder) {
    const int edge = encoder.symbolSize - 1;
    int sum1 = 0, sum2 = 0;
    for (int i = 1; i <= edge; ++i) {
        sum1 += encoder.modules[edge][i];
        sum2 += encoder.modules[i][edge];
    }
    const int smaller = sum1 < sum2 ? sum1 : sum2;
    const int larger = sum1 < sum2 ? sum2 : sum1;
    return smaller * 16 + larger;
}

TEST(MicroEncoder, DrawsOneFinderTimingOnTheEdgesAndOneFormatCopy) {
    auto encoder = std::make_unique<CMicroEncoder>();
    ASSERT_EQ(EncodeText(*encoder, kMicroNoLevel, 0, 1, -1, "01234"), 1);
    EXPECT_EQ(encoder->version, 1);
    EXPECT_EQ(encoder->level, kMicroNoLevel);
    EXPECT_EQ(encoder->symbolSize, 11);
    EXPECT_EQ(encoder->streamBitCount, 20);  // count 101, then 012 and 34 in 10 and 7 bits
    // Masks 0 to 3 score 40, 103, 69 and 56 (SUM1 and SUM2 8 and 2, 6 and 7, 5 and 4, 8 and 3).
    EXPECT_EQ(encoder->maskNumber, 1);
    EXPECT_EQ(EdgeScore(*encoder), 103);
    // Format information of M1 with mask 1: 100000101110010, bit 0 at (8, 1), bit 14 at (1, 8).
    EXPECT_EQ(MicroFormatInfoWord(0, 1), 0b100000101110010);
    EXPECT_EQ(test::Picture(*encoder), R"(
#######.#.#
#.....#...#
#.###.#.###
#.###.#..#.
#.###.#....
#.....#.#.#
#######.#.#
........###
##.....#...
....###.#.#
###.#.####.
)");
}

TEST(MicroEncoder, HoldsTheLargestInputOfEachModeAndNotOneMore) {
    struct Case {
        int version, level;
        int numeric, alphanumeric, byte, kanji;  // characters; 0 where the version has no mode
    };
    const Bytes kanjiPair = test::FromHex("935f");
    for (const Case& c : std::vector<Case>{
             {1, kMicroNoLevel, 5, 0, 0, 0},
             {2, LEVEL_L, 10, 6, 0, 0},
             {2, LEVEL_M, 8, 5, 0, 0},
             {3, LEVEL_L, 23, 14, 9, 6},
             {3, LEVEL_M, 18, 11, 7, 4},
             {4, LEVEL_L, 35, 21, 15, 9},
             {4, LEVEL_M, 30, 18, 13, 8},
             {4, LEVEL_Q, 21, 13, 9, 5},
         }) {
        const int most[kModeCount] = {c.numeric, c.alphanumeric, c.byte, c.kanji};
        for (int mode = 0; mode < kModeCount; ++mode) {
            SCOPED_TRACE("M" + std::to_string(c.version) + " level " + std::to_string(c.level) +
                         " mode " + std::to_string(mode));
            auto encoder = std::make_unique<CMicroEncoder>();
            // The most characters fit; one more does not, nor one of a mode the version lacks.
            for (const int characters : {most[mode], most[mode] + 1}) {
                if (characters == 0) continue;
                Bytes data;
                for (int i = 0; i < characters; ++i) {
                    if (mode == MODE_KANJI) {
                        data.insert(data.end(), kanjiPair.begin(), kanjiPair.end());
                    } else {
                        data.push_back(static_cast<unsigned char>("7Ka"[mode]));
                    }
                }
                EXPECT_EQ(encoder->Encode(c.level, c.version, 0, -1, data.data(),
                                          static_cast<int>(data.size())),
                          characters <= most[mode] ? 1 : 0)
                    << characters << " characters";
            }
        }
    }
}

TEST(MicroEncoder, OffersEachLevelInItsVersionsOnly) {
    struct Case {
        int version, level, bits;
    };
    for (const Case& c : std::vector<Case>{
             {1, kMicroNoLevel, 20},
             {1, LEVEL_L, 0},
             {2, kMicroNoLevel, 0},
             {2, LEVEL_L, 40},
             {2, LEVEL_M, 32},
             {2, LEVEL_Q, 0},
             {3, LEVEL_L, 84},
             {3, LEVEL_M, 68},
             {4, LEVEL_L, 128},
             {4, LEVEL_M, 112},
             {4, LEVEL_Q, 80},
             {4, LEVEL_H, 0},
             {0, LEVEL_L, 0},
             {5, LEVEL_L, 0},
             {4, -2, 0},
         }) {
        EXPECT_EQ(MicroDataBits(c.version, c.level), c.bits)
            << "M" << c.version << " level " << c.level;
    }
}

TEST(MicroEncoder, TakesTheSmallestVersionThatOffersTheLevelAndHoldsTheData) {
    struct Case {
        const char* data;
        int level, requested, allowLarger;
        int result, version, level_;
    };
    for (const Case& c : std::vector<Case>{
             {"12345", kMicroNoLevel, 0, 0, 1, 1, kMicroNoLevel},
             {"123456", kMicroNoLevel, 0, 0, 1, 2, LEVEL_L},  // too long for M1
             {"A", kMicroNoLevel, 0, 0, 1, 2, LEVEL_L},       // M1 has no alphanumeric mode
             {"a", kMicroNoLevel, 0, 0, 1, 3, LEVEL_L},       // M2 has no byte mode
             {"1", LEVEL_L, 0, 0, 1, 2, LEVEL_L},             // M1 offers no level L
             {"1", LEVEL_M, 0, 0, 1, 2, LEVEL_M},
             {"1", LEVEL_Q, 0, 0, 1, 4, LEVEL_Q},
             {"1", LEVEL_H, 0, 1, 0, 0, 0},
             {"1", kMicroNoLevel, 3, 0, 1, 3, LEVEL_L},
             {"1", LEVEL_M, 1, 0, 0, 0, 0},  // M1 offers no level M
             {"1", LEVEL_M, 1, 1, 1, 2, LEVEL_M},
             {"ABCDEFG", LEVEL_L, 2, 0, 0, 0, 0},
             {"ABCDEFG", LEVEL_L, 2, 1, 1, 3, LEVEL_L},
             {"abcdefghij", LEVEL_M, 3, 1, 1, 4, LEVEL_M},
             {"abcdefghijklmnop", LEVEL_L, 0, 0, 0, 0, 0},  // 16 bytes fit no Micro QR symbol
         }) {
        SCOPED_TRACE(std::string(c.data) + " level " + std::to_string(c.level) + " M" +
                     std::to_string(c.requested) + (c.allowLarger ? " or larger" : ""));
        auto encoder = std::make_unique<CMicroEncoder>();
        ASSERT_EQ(EncodeText(*encoder, c.level, c.requested, c.allowLarger, -1, c.data), c.result);
        if (c.result == 1) {
            EXPECT_EQ(encoder->version, c.version);
            EXPECT_EQ(encoder->level, c.level_);
            EXPECT_EQ(encoder->symbolSize, 2 * c.version + 9);
        }
    }
}

TEST(MicroEncoder, RefusesArgumentsOutsideTheirRanges) {
    auto encoder = std::make_unique<CMicroEncoder>();
    const unsigned char digit = '1';
    const Bytes tooLong(kMaxMicroInputBytes + 1, '1');
    EXPECT_EQ(encoder->Encode(kMicroNoLevel, 0, 1, -1, &digit, 0), 0);
    EXPECT_EQ(encoder->Encode(kMicroNoLevel, 0, 1, -1, tooLong.data(), kMaxMicroInputBytes + 1), 0);
    EXPECT_EQ(encoder->Encode(-2, 0, 1, -1, &digit, 1), 0);
    EXPECT_EQ(encoder->Encode(4, 0, 1, -1, &digit, 1), 0);
    EXPECT_EQ(encoder->Encode(LEVEL_L, 5, 1, -1, &digit, 1), 0);
    EXPECT_EQ(encoder->Encode(LEVEL_L, -1, 1, -1, &digit, 1), 0);
    EXPECT_EQ(encoder->Encode(LEVEL_L, 0, 1, 4, &digit, 1), 0);
    EXPECT_EQ(encoder->Encode(LEVEL_L, 0, 1, -2, &digit, 1), 0);
    EXPECT_EQ(encoder->Encode(LEVEL_L, 0, 1, 3, &digit, 1), 1);
    EXPECT_EQ(encoder->maskNumber, 3);
    EXPECT_EQ(encoder->StreamBits(tooLong.data(), kMaxMicroInputBytes + 1, 4), -1);
    EXPECT_EQ(encoder->StreamBits(&digit, 1, 0), -1);
    EXPECT_EQ(encoder->StreamBits(&digit, 1, 5), -1);
}

TEST(MicroEncoder, CountsTheStreamInEachVersionsWidths) {
    struct Case {
        const char* hex;
        int bits[kMicroVersionCount];  // M1..M4; -1 where the version lacks a mode
    };
    for (const Case& c : std::vector<Case>{
             // "01234": indicator, count 3/4/5/6 bits, 17 data bits
             {"3031323334", {20, 22, 24, 26}},
             // "AB": indicator, count -/3/4/5 bits, 11 data bits
             {"4142", {-1, 15, 17, 19}},
             // "a": indicator, count -/-/4/5 bits, 8 data bits
             {"61", {-1, -1, 14, 16}},
             // one Kanji pair: indicator, count -/-/3/4 bits, 13 data bits
             {"935f", {-1, -1, 18, 20}},
             // "A1234567": alphanumeric and numeric apart cost less than joined
             {"4131323334353637", {-1, 39, 43, 47}},
             // "ab1234567": byte and numeric, each with its header
             {"616231323334353637", {-1, -1, 53, 57}},
             // "a1b": one byte segment costs less than three segments
             {"613162", {-1, -1, 30, 32}},
         }) {
        SCOPED_TRACE(c.hex);
        const Bytes data = test::FromHex(c.hex);
        auto encoder = std::make_unique<CMicroEncoder>();
        for (int v = 1; v <= kMicroVersionCount; ++v) {
            EXPECT_EQ(encoder->StreamBits(data.data(), static_cast<int>(data.size()), v),
                      c.bits[v - 1])
                << "M" << v;
        }
    }
}

// The bits of the finished symbol in walk order, unmasked: column pairs from the right, upwards and
// downwards in turn, right cell first, past the finder with its separator, the timing cells and the
// format cells.
std::string WalkedBits(const CMicroEncoder& encoder) {
    const int s = encoder.symbolSize;
    auto isFunction = [](int x, int y) { return x == 0 || y == 0 || (x <= 8 && y <= 8); };
    std::string bits;
    bool upwards = true;
    for (int right = s - 1; right >= 1; right -= 2) {
        for (int i = 0; i < s; ++i) {
            const int y = upwards ? s - 1 - i : i;
            for (const int x : {right, right - 1}) {
                if (isFunction(x, y)) continue;
                const bool dark = encoder.modules[x][y] != 0;
                bits += dark != MaskCondition(MICRO_MASK_CONDITIONS[encoder.maskNumber], x, y)
                            ? '1'
                            : '0';
            }
        }
        upwards = !upwards;
    }
    return bits;
}

// `hex` as bits, the first digit highest.
std::string BitsOfHex(const std::string& hex) {
    std::string bits;
    for (const char c : hex) {
        const int v = std::stoi(std::string(1, c), nullptr, 16);
        for (int b = 3; b >= 0; --b) bits += (v >> b) & 1 ? '1' : '0';
    }
    return bits;
}

// The data bits of each version and level as the standard pads them, read back from the matrix:
// the stream, the terminator, zero bits to a codeword boundary (none where the terminator ends on
// one), then 11101100 and 00010001 in turn in every whole codeword left, M3's included, and 0000
// in the 4-bit last codeword of M1 and M3. After them the error-correction codewords of the data,
// recomputed here by polynomial division.
TEST(MicroEncoder, LaysThePaddedDataAndThenItsErrorCorrection) {
    struct Case {
        const char* data;
        int version, level;
        const char* dataHex;  // the data bits; M1 and M3 end with a 4-bit digit
        int ecCodewords;
    };
    for (const Case& c : std::vector<Case>{
             {"01234", 1, kMicroNoLevel, "a0622", 2},
             {"1", 1, kMicroNoLevel, "22000", 2},
             {"1234", 2, LEVEL_L, "20f680ec11", 5},  // the terminator ends on a boundary
             {"AB", 2, LEVEL_M, "a39a00ec", 6},
             {"9", 3, LEVEL_L, "032000ec11ec11ec11ec0", 6},
             {"9", 3, LEVEL_M, "032000ec11ec11ec0", 8},
             {"12345678", 3, LEVEL_L, "103db9138000ec11ec110", 6},
             {"8492", 4, LEVEL_Q, "026a2400ec11ec11ec11", 14},  // ends on a boundary
             {"a", 4, LEVEL_M, "41610000ec11ec11ec11ec11ec11", 10},
         }) {
        SCOPED_TRACE(std::string(c.data) + " in M" + std::to_string(c.version) + " level " +
                     std::to_string(c.level));
        auto encoder = std::make_unique<CMicroEncoder>();
        ASSERT_EQ(EncodeText(*encoder, c.level, c.version, 0, -1, c.data), 1);
        const std::string dataBits = BitsOfHex(c.dataHex);
        ASSERT_EQ(static_cast<int>(dataBits.size()), MicroDataBits(c.version, c.level));
        // The data codewords as bytes, the 4-bit one as the high half of the last.
        std::vector<int> message;
        for (std::size_t i = 0; i < dataBits.size(); i += 8) {
            message.push_back(std::stoi((dataBits.substr(i, 8) + "0000").substr(0, 8), nullptr, 2));
        }
        std::vector<int> generator = {1};  // highest power first; roots 2^0 .. 2^(n-1)
        for (int i = 0, root = 1; i < c.ecCodewords; ++i, root = test::SlowGfMultiply(root, 2)) {
            std::vector<int> next(generator.size() + 1, 0);
            for (std::size_t j = 0; j < generator.size(); ++j) {
                next[j] ^= generator[j];
                next[j + 1] ^= test::SlowGfMultiply(generator[j], root);
            }
            generator = next;
        }
        std::vector<int> remainder(message);
        remainder.resize(message.size() + c.ecCodewords, 0);
        for (std::size_t i = 0; i < message.size(); ++i) {
            const int lead = remainder[i];
            for (std::size_t j = 0; j < generator.size(); ++j) {
                remainder[i + j] ^= test::SlowGfMultiply(generator[j], lead);
            }
        }
        std::string ecBits;
        for (std::size_t i = message.size(); i < remainder.size(); ++i) {
            for (int b = 7; b >= 0; --b) ecBits += (remainder[i] >> b) & 1 ? '1' : '0';
        }
        EXPECT_EQ(WalkedBits(*encoder), dataBits + ecBits);
    }
}

TEST(MicroEncoder, FormatWordsAreTheSymbolNumberAndMaskWithTheirBchRemainder) {
    for (int symbol = 0; symbol < 8; ++symbol) {
        for (int mask = 0; mask < kMicroMaskCount; ++mask) {
            SCOPED_TRACE("symbol " + std::to_string(symbol) + " mask " + std::to_string(mask));
            const int word = MicroFormatInfoWord(symbol, mask) ^ 0x4445;
            EXPECT_EQ(word >> 10, symbol << 2 | mask);
            // The whole word, as a polynomial, is a multiple of the generator x^10 + x^8 + x^5 +
            // x^4 + x^2 + x + 1.
            int rest = word;
            for (int power = 14; power >= 10; --power) {
                if (rest & (1 << power)) rest ^= 0x537 << (power - 10);
            }
            EXPECT_EQ(rest, 0);
        }
    }
}

TEST(MicroEncoder, ChoosesTheMaskOfTheHighestScoreAndTheLowestOfEqualScores) {
    const unsigned seed = 0x16;
    std::mt19937 random(seed);
    const int levels[] = {kMicroNoLevel, LEVEL_L, LEVEL_M, LEVEL_Q};
    int ties = 0;
    for (int trial = 0; trial < 400; ++trial) {
        const int level = levels[trial % 4];
        Bytes data;
        const int length = 1 + static_cast<int>(random() % 5);
        for (int i = 0; i < length; ++i)
            data.push_back(static_cast<unsigned char>('0' + random() % 10));
        SCOPED_TRACE("seed " + std::to_string(seed) + " trial " + std::to_string(trial) + " data " +
                     std::string(data.begin(), data.end()));
        auto chosen = std::make_unique<CMicroEncoder>();
        ASSERT_EQ(chosen->Encode(level, 0, 1, -1, data.data(), length), 1);
        int best = -1, bestMask = -1, bestCount = 0;
        auto fixed = std::make_unique<CMicroEncoder>();
        for (int m = 0; m < kMicroMaskCount; ++m) {
            ASSERT_EQ(fixed->Encode(level, 0, 1, m, data.data(), length), 1);
            const int score = EdgeScore(*fixed);
            if (score > best) {
                best = score;
                bestMask = m;
                bestCount = 1;
            } else if (score == best) {
                ++bestCount;
            }
            if (m == chosen->maskNumber) {
                EXPECT_EQ(test::Picture(*fixed), test::Picture(*chosen));
            }
        }
        EXPECT_EQ(chosen->maskNumber, bestMask);
        ties += bestCount > 1 ? 1 : 0;
    }
    // The tie-break was exercised.
    EXPECT_GT(ties, 0);
    std::printf("[ MicroMask ] %d of 400 symbols had tied highest scores\n", ties);
}

}  // namespace
}  // namespace qr

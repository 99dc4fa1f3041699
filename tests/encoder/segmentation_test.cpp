// Classification, runs and the two merge passes: the worked segment lists of each version group,
// the Kanji pairing rules, and properties over random inputs.
#include "encoder/segmentation.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace qr {
namespace {

using test::Bytes;

struct Segmented {
    std::string segments;
    int bits;
};

Segmented Segment(const Bytes& input, int group) {
    auto encoder = std::make_unique<CQrEncoder>();
    encoder->EncodeSegments(input.data(), static_cast<int>(input.size()), group);
    return {test::SegmentsText(*encoder), encoder->dataBitCount};
}

Bytes Text(const std::string& s) {
    return test::ToBytes(s);
}

TEST(Segmentation, MergesRunsByBitCostInEachGroup) {
    struct Case {
        Bytes input;
        int group;
        const char* segments;
        int bits;
    };
    const Bytes kanjiBetweenDigits = test::FromHex(
        "313181408140"
        "31");
    for (const Case& c : std::vector<Case>{
             {Text("123ABC"), 0, "1:6", 46},
             {Text("abc123456789"), 0, "2:3,0:9", 80},
             {Text("a1b"), 0, "2:3", 36},
             {Text("aaA111111"), 0, "2:3,0:6", 70},
             {Text("a111111Aaa"), 0, "2:1,0:6,2:3", 90},
             {Text("a111111Aaa"), 1, "2:10", 100},
             {Text("a111111Aaa"), 2, "2:10", 100},
             {Text("12345678A"), 0, "0:8,1:1", 60},
             {Text("12345678A"), 1, "0:8,1:1", 64},
             {Text("12345678A"), 2, "1:9", 67},
             {kanjiBetweenDigits, 0, "2:7", 68},
             {kanjiBetweenDigits, 1, "0:2,3:4,0:1", 83},
             {Text("aaA11"), 0, "2:5", 52},
             {Text("abc"), 0, "2:3", 36},
             {Text("7"), 0, "0:1", 18},
             {Text("Z"), 2, "1:1", 23},
         }) {
        SCOPED_TRACE(test::ToHex(c.input.data(), c.input.size()) + " group " +
                     std::to_string(c.group));
        const Segmented s = Segment(c.input, c.group);
        EXPECT_EQ(s.segments, c.segments);
        EXPECT_EQ(s.bits, c.bits);
    }
}

// The shared passes in a Micro QR version's layout: the segment list as "mode:length,..." and the
// bits of its stream, or "refused" where the version lacks a mode of the runs.
std::string SegmentMicro(const std::string& input, int version, int* bits) {
    const StreamLayout& layout = MICRO_VERSION_TABLE[version].layout;
    unsigned char modes[64];
    int lengths[64];
    SegmentList list{modes, lengths, 0};
    ClassifyRuns(reinterpret_cast<const unsigned char*>(input.data()),
                 static_cast<int>(input.size()), true, list);
    *bits = -1;
    if (!OffersEveryMode(layout, list)) return "refused";
    MergeNumericAlphanumeric(layout, list);
    if (layout.countBits[MODE_BYTE] != 0) MergeIntoBytes(layout, list);
    std::string text;
    *bits = 0;
    for (int k = 0; k < list.count; ++k) {
        text += (k ? "," : "") + std::to_string(modes[k]) + ":" + std::to_string(lengths[k]);
        *bits += SegmentBits(layout, modes[k], lengths[k]);
    }
    return text;
}

TEST(Segmentation, MergesByTheWidthsAndModesOfEachMicroVersion) {
    struct Case {
        const char* input;
        int version;
        const char* segments;
        int bits;
    };
    for (const Case& c : std::vector<Case>{
             {"12345", 1, "0:5", 20},
             {"1A", 1, "refused", -1},  // M1 is numeric only
             {"1A", 2, "1:2", 15},
             {"A123", 2, "1:1,0:3", 25},  // 10 + 15 bits, where joined takes 1 + 3 + 22
             {"A12", 2, "1:3", 21},
             {"a", 2, "refused", -1},  // M2 has no byte mode
             {"a1b", 3, "2:3", 30},
             {"ab1234567", 3, "2:2,0:7", 53},
             {"abABC", 3, "2:2,1:3", 45},  // M3's headers are cheaper than M4's
             {"abABC", 4, "2:5", 48},
             {"\x93\x5f\x93\x5f", 3, "3:4", 31},
             {"\x93\x5f\x93\x5f", 2, "refused", -1},
         }) {
        SCOPED_TRACE(std::string(c.input) + " in M" + std::to_string(c.version));
        int bits = 0;
        EXPECT_EQ(SegmentMicro(c.input, c.version, &bits), c.segments);
        EXPECT_EQ(bits, c.bits);
    }
}

TEST(Segmentation, KanjiPairsAreTakenGreedilyWithTheirBounds) {
    struct Case {
        const char* hex;
        const char* segments;
    };
    for (const Case& c : std::vector<Case>{
             {"8140", "3:2"},
             {"9ffc", "3:2"},
             {"9ffd", "2:2"},
             {"ebbf", "3:2"},
             {"ebc0", "2:2"},
             {"813f", "2:2"},
             {"a040", "2:2"},
             {"ec40", "2:2"},
             {"9f7f", "3:2"},
             {"eb7f", "3:2"},
             {"81ff", "3:2"},
             {"e040", "3:2"},
             {"616281", "2:3"},  // a trailing lead byte is a byte
             {"8141", "3:2"},    // "A" after a lead byte is the second half
             {"81408140", "3:4"},
             {"813f40", "2:3"},  // after a refused pair the next byte stands alone
         }) {
        SCOPED_TRACE(c.hex);
        EXPECT_EQ(Segment(test::FromHex(c.hex), 0).segments, c.segments);
    }
}

TEST(Segmentation, CostsEveryModeAsItIsWritten) {
    auto encoder = std::make_unique<CQrEncoder>();
    struct Case {
        int mode, length, group, bits;
    };
    for (const Case& c : std::vector<Case>{
             {MODE_NUMERIC, 3, 0, 24},
             {MODE_NUMERIC, 4, 0, 28},
             {MODE_NUMERIC, 5, 1, 33},
             {MODE_NUMERIC, 8, 2, 45},
             {MODE_ALPHANUMERIC, 1, 0, 19},
             {MODE_ALPHANUMERIC, 6, 1, 48},
             {MODE_ALPHANUMERIC, 9, 2, 67},
             {MODE_BYTE, 3, 0, 36},
             {MODE_BYTE, 3, 1, 44},
             {MODE_BYTE, 2953, 2, 23644},
             {MODE_KANJI, 4, 0, 38},
             {MODE_KANJI, 10, 2, 81},
             {7, 4, 0, 38},  // an unknown mode is costed as Kanji
         }) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " length " + std::to_string(c.length));
        EXPECT_EQ(encoder->EstimateSegmentBits(c.mode, c.length, c.group), c.bits);
    }
}

bool IsAlphanumeric(unsigned char b) {
    return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') ||
           std::string(" $%*+-./:").find(static_cast<char>(b)) != std::string::npos;
}

Bytes RandomMixedInput(std::mt19937& random) {
    static const std::string kAlnum = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
    Bytes input;
    const int runs = 1 + static_cast<int>(random() % 30);
    for (int r = 0; r < runs; ++r) {
        const int length = 1 + static_cast<int>(random() % 12);
        const int kind = static_cast<int>(random() % 5);
        for (int i = 0; i < length; ++i) {
            switch (kind) {
                case 0:
                    input.push_back(static_cast<unsigned char>('0' + random() % 10));
                    break;
                case 1:
                    input.push_back(static_cast<unsigned char>(kAlnum[random() % kAlnum.size()]));
                    break;
                case 2:
                    input.push_back(static_cast<unsigned char>('a' + random() % 26));
                    break;
                case 3:
                    input.push_back(static_cast<unsigned char>(
                        random() % 2 ? 0x81 + random() % 31 : 0xE0 + random() % 12));
                    input.push_back(static_cast<unsigned char>(0x40 + random() % 0xC0));
                    break;
                default:
                    input.push_back(static_cast<unsigned char>(random()));
                    break;
            }
        }
    }
    return input;
}

TEST(Segmentation, RandomInputsKeepTheSegmentInvariants) {
    const unsigned seed = 42;
    std::mt19937 random(seed);
    for (int trial = 0; trial < 1500; ++trial) {
        const Bytes input = RandomMixedInput(random);
        const int group = trial % kVersionGroupCount;
        SCOPED_TRACE("seed " + std::to_string(seed) + " trial " + std::to_string(trial) +
                     " input " + test::ToHex(input.data(), input.size()));
        auto encoder = std::make_unique<CQrEncoder>();
        ASSERT_EQ(encoder->EncodeSegments(input.data(), static_cast<int>(input.size()), group), 1);
        int offset = 0;
        int bits = 0;
        for (int k = 0; k < encoder->segmentCount; ++k) {
            const int mode = encoder->segmentModes[k];
            const int length = encoder->segmentLengths[k];
            ASSERT_GT(length, 0);
            if (k > 0 && mode != MODE_BYTE) {
                EXPECT_NE(mode, encoder->segmentModes[k - 1]) << "neighbours of one mode";
            }
            for (int i = offset; i < offset + length; ++i) {
                if (mode == MODE_NUMERIC) {
                    EXPECT_TRUE(input[i] >= '0' && input[i] <= '9');
                } else if (mode == MODE_ALPHANUMERIC) {
                    EXPECT_TRUE(IsAlphanumeric(input[i]));
                }
            }
            if (mode == MODE_KANJI) {
                EXPECT_EQ(length % 2, 0);
                for (int i = offset; i < offset + length; i += 2) {
                    const unsigned char b0 = input[i];
                    const unsigned char b1 = input[i + 1];
                    EXPECT_TRUE(((b0 >= 0x81 && b0 <= 0x9F) || (b0 >= 0xE0 && b0 <= 0xEB)) &&
                                b1 >= 0x40 && !(b0 == 0x9F && b1 > 0xFC) &&
                                !(b0 == 0xEB && b1 > 0xBF));
                }
            }
            bits += encoder->EstimateSegmentBits(mode, length, group);
            offset += length;
        }
        EXPECT_EQ(offset, static_cast<int>(input.size()));
        EXPECT_EQ(encoder->dataBitCount, bits);
    }
}

TEST(Segmentation, AlternatingDigitsAndCapitalsJoinIntoOneSegment) {
    Bytes input;
    for (int i = 0; i < 4296; ++i)
        input.push_back(static_cast<unsigned char>(i % 2 ? 'A' + i % 26 : '0' + i % 10));
    const Segmented s = Segment(input, 2);
    EXPECT_EQ(s.segments, "1:4296");
    EXPECT_EQ(s.bits, 4 + 13 + 11 * 2148);
}

TEST(Segmentation, EveryRunOfTheLongestInputHasAnEntry) {
    // 7090 bytes alternating between a digit and a lower-case letter: 7090 runs, all merged into
    // byte mode by the second pass.
    Bytes input;
    for (int i = 0; i < kMaxStreamInputBytes; ++i)
        input.push_back(static_cast<unsigned char>(i % 2 ? 'x' : '5'));
    const Segmented s = Segment(input, 0);
    EXPECT_EQ(s.segments, "2:7090");
    EXPECT_EQ(s.bits, -1);
    Bytes longer(kMaxStreamInputBytes + 1, '7');
    EXPECT_EQ(Segment(longer, 0).bits, -1);
}

}  // namespace
}  // namespace qr

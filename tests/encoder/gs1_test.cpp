// GS1 data: element strings accepted and turned into data, those refused with the line that says
// why, and the segmentation's cost against every segmentation of short random data. Whole symbols
// are held against an independent encoder in rmqr_oracle_test.cpp and read back in the reader
// suites.
#include "encoder/gs1.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace qr {
namespace {

// ParseGs1 of `text`: the data, or "refused: " and DescribeGs1Report's line.
std::string Parsed(const std::string& text) {
    std::vector<unsigned char> out(text.size());
    Gs1Report report;
    const int length = ParseGs1(reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()), out.data(), &report);
    if (length >= 0) return std::string(out.begin(), out.begin() + length);
    char line[160];
    DescribeGs1Report(report, line, sizeof line);
    return "refused: " + std::string(line);
}

TEST(Gs1, TurnsElementStringsIntoDataOrSaysWhyNot) {
    struct Case {
        std::string text, expected;
    };
    for (const Case& c : std::vector<Case>{
             // (01) and (17) have predefined lengths; (10) is last.
             {"[01]09501101530003[17]261231[10]ABC", "01095011015300031726123110ABC"},
             {"[00]106141411234567897", "00106141411234567897"},  // SSCC
             {"[10]AB%C[21]12",
              "10AB%C\x1d"
              "2112"},
             {"[3103]000189[8005]000365[422]250",
              "3103000189"
              "8005000365\x1d"
              "422250"},
             {"[414]0950110153007[253]0950110153007AB",
              "4140950110153007"
              "2530950110153007AB"},
             {"01]09501101530003",
              "refused: GS1 data begins with an application identifier in "
              "brackets, such as [01]"},
             {"[1]23", "refused: GS1 [1: an application identifier is 2 to 4 digits in brackets"},
             {"[12345]6",
              "refused: GS1 [1234: an application identifier is 2 to 4 digits in "
              "brackets"},
             {"[0A]12", "refused: GS1 [0A: an application identifier is 2 to 4 digits in brackets"},
             {"[310]0001890",
              "refused: GS1 (310): application identifiers that begin 31 have 4 "
              "digits"},
             {"[10]ABC[21]", "refused: GS1 (21) has no data"},
             {"[10]AB C",
              "refused: GS1 (10) holds byte 0x20, which is not one of GS1's 82 "
              "characters"},
             {"[17]2612AB", "refused: GS1 (17) takes digits only"},
             {"[01]0950110153000", "refused: GS1 (01) takes 14 digits, not 13"},
             {"[253]12345", "refused: GS1 (253) takes at least 13 digits, not 5"},
             {"[8017]1234567890123456AB", "refused: GS1 (8017) takes digits only"},
             {"[01]09501101530004", "refused: GS1 (01): the check digit is 3, not 4"},
             {"[00]106141411234567890", "refused: GS1 (00): the check digit is 7, not 0"},
         }) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Parsed(c.text), c.expected);
    }
}

// The bits of one segment of `mode` over `data` by the rules of the modes: 10 bits per 3 digits
// (4 and 7 for 1 and 2 left), 11 per 2 alphanumeric characters (6 for 1), 8 per byte; a '%' is
// two alphanumeric characters. -1 where the mode cannot hold a byte.
int SegmentCost(const StreamLayout& layout, int mode, const std::string& data) {
    int characters = 0;
    for (const char c : data) {
        const bool digit = c >= '0' && c <= '9';
        if (mode == MODE_NUMERIC && !digit) return -1;
        if (mode == MODE_ALPHANUMERIC && c == 'a') return -1;
        characters += mode == MODE_ALPHANUMERIC && c == '%' ? 2 : 1;
    }
    const int bits[3] = {characters / 3 * 10 + (characters % 3 == 0   ? 0
                                                : characters % 3 == 1 ? 4
                                                                      : 7),
                         characters / 2 * 11 + characters % 2 * 6, characters * 8};
    return layout.indicatorBits + layout.countBits[mode] + bits[mode];
}

// Random data of digits, 'A', '%', separators and 'a': the plan costs what its segments cost, and
// no assignment of a mode to each byte costs less.
TEST(Gs1, PlansTheCheapestSegmentation) {
    const StreamLayout& layout = QR_STREAM_LAYOUTS[0];
    const unsigned seed = 29;
    std::mt19937 random(seed);
    const std::string alphabet =
        "0123456789A%\x1d"
        "a";
    for (int round = 0; round < 300; ++round) {
        std::string data(1 + random() % 7, ' ');
        for (char& c : data) c = alphabet[random() % alphabet.size()];
        SCOPED_TRACE("seed " + std::to_string(seed) + " data " +
                     test::ToHex(reinterpret_cast<const unsigned char*>(data.data()), data.size()));
        int least = 1 << 30;
        int assignments = 1;
        for (std::size_t i = 0; i < data.size(); ++i) assignments *= 3;
        for (int a = 0; a < assignments; ++a) {
            int cost = 0, code = a;
            for (std::size_t begin = 0; begin < data.size() && cost >= 0;) {
                const int mode = code % 3;
                std::size_t end = begin + 1;
                for (code /= 3; end < data.size() && code % 3 == mode; ++end) code /= 3;
                const int bits = SegmentCost(layout, mode, data.substr(begin, end - begin));
                cost = bits < 0 ? -1 : cost + bits;
                begin = end;
            }
            if (cost >= 0 && cost < least) least = cost;
        }
        unsigned char modes[8];
        int lengths[8];
        SegmentList list{modes, lengths, 0};
        Gs1Trace trace[8];
        const int bits = PlanGs1Segments(reinterpret_cast<const unsigned char*>(data.data()),
                                         static_cast<int>(data.size()), layout, trace, list);
        EXPECT_EQ(bits, least);
        int cost = 0, at = 0;
        for (int k = 0; k < list.count; ++k) {
            cost += SegmentCost(layout, modes[k], data.substr(at, lengths[k]));
            at += lengths[k];
            if (k > 0) {
                EXPECT_NE(modes[k], modes[k - 1]);
            }
        }
        EXPECT_EQ(cost, bits);
        EXPECT_EQ(at, static_cast<int>(data.size()));
    }
}

}  // namespace
}  // namespace qr

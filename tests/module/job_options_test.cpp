// Option parsing: numbers read as strtol reads them, every letter, the first-data rule, and the
// %XX decoding of text.
#include "module/job_options.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace qr {
namespace {

using test::Bytes;

TEST(JobOptions, NumbersAreReadLikeStrtolWithin32Bits) {
    struct Case {
        const char* text;
        long long value;
    };
    for (const Case& c : std::vector<Case>{
             {"12", 12},
             {" 12", 12},
             {"\t\n\v\f\r+12", 12},
             {"12px", 12},
             {"-3", -3},
             {"", 0},
             {"px", 0},
             {"+", 0},
             {"- 3", 0},
             {"+-3", 0},
             {"007", 7},
             {"2147483647", INT_MAX},
             {"2147483648", INT_MAX},
             {"99999999999", INT_MAX},
             {"4294967297", INT_MAX},
             {"-2147483648", INT_MIN},
             {"-2147483649", INT_MIN},
             {"-99999999999999999999999", INT_MIN},
             {"18446744073709551620", INT_MAX},
         }) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseNumber(c.text), c.value);
    }
}

struct Parsed {
    int level, version, larger, mask, scale;
};

Parsed Parse(const std::vector<const char*>& options) {
    JobOptions o;
    for (const char* option : options) o.ParseOption(option);
    return {o.level, o.requestedVersion, o.allowLargerVersion, o.maskNumber, o.scale};
}

TEST(JobOptions, EveryLetterWithItsRangeAndDefault) {
    struct Case {
        std::vector<const char*> options;
        Parsed expected;
    };
    for (const Case& c : std::vector<Case>{
             {{}, {1, 0, 1, -1, 4}},
             {{"/L"}, {0, 0, 1, -1, 4}},
             {{"/M"}, {1, 0, 1, 0, 4}},
             {{"/S"}, {1, 0, 1, -1, 4}},
             {{"/V"}, {1, 0, 1, -1, 4}},
             {{"/S 12"}, {1, 0, 1, -1, 12}},
             {{"/S+12"}, {1, 0, 1, -1, 12}},
             {{"/s12px"}, {1, 0, 1, -1, 12}},
             {{"/S20", "/S21"}, {1, 0, 1, -1, 4}},
             {{"/S-3"}, {1, 0, 1, -1, 4}},
             {{"/S99999999999"}, {1, 0, 1, -1, 4}},
             {{"/S4294967297"}, {1, 0, 1, -1, 4}},
             {{"/S1"}, {1, 0, 1, -1, 1}},
             {{"/L3", "/L7"}, {1, 0, 1, -1, 4}},
             {{"/l3"}, {3, 0, 1, -1, 4}},
             {{"/L2/V5"}, {2, 0, 1, -1, 4}},
             {{"/V40", "/v1"}, {1, 1, 1, -1, 4}},
             {{"/V41"}, {1, 0, 1, -1, 4}},
             {{"/M7"}, {1, 0, 1, 7, 4}},
             {{"/m8"}, {1, 0, 1, -1, 4}},
             {{"/M-1"}, {1, 0, 1, -1, 4}},
             {{"/EN"}, {1, 0, 0, -1, 4}},
             {{"/en"}, {1, 0, 0, -1, 4}},
             {{"/ENo"}, {1, 0, 0, -1, 4}},
             {{"/E"}, {1, 0, 1, -1, 4}},
             {{"/EY"}, {1, 0, 1, -1, 4}},
             {{"/E1"}, {1, 0, 1, -1, 4}},
             {{"/EN", "/EY"}, {1, 0, 0, -1, 4}},
             {{"L3", " /L3", "/", "/X3"}, {1, 0, 1, -1, 4}},
             {{"/\xCC"
               "3",
               "/\xEC"
               "3"},
              {1, 0, 1, -1, 4}},
             {{nullptr, "/L0", nullptr}, {0, 0, 1, -1, 4}},
         }) {
        std::string trace;
        for (const char* o : c.options) trace += std::string(o ? o : "(null)") + " ";
        SCOPED_TRACE(trace);
        const Parsed p = Parse(c.options);
        EXPECT_EQ(p.level, c.expected.level);
        EXPECT_EQ(p.version, c.expected.version);
        EXPECT_EQ(p.larger, c.expected.larger);
        EXPECT_EQ(p.mask, c.expected.mask);
        EXPECT_EQ(p.scale, c.expected.scale);
    }
}

Bytes Input(const std::vector<std::string>& options, bool* present = nullptr) {
    JobOptions o;
    for (const std::string& option : options) o.ParseOption(option.c_str());
    if (present != nullptr) *present = o.inputData != nullptr;
    if (o.inputData == nullptr) return {};
    // The block keeps a spare zero byte after the data.
    EXPECT_EQ(o.inputData[o.inputLength], 0);
    return Bytes(o.inputData, o.inputData + o.inputLength);
}

TEST(JobOptions, TextEscapesDecodeByTheirTwoDigits) {
    struct Case {
        std::string value;
        const char* hex;
    };
    for (const Case& c : std::vector<Case>{
             {"abc", "616263"},
             {"%41%62c", "416263"},
             {"%4", "40"},
             {"%", "00"},
             {"%G1", "01"},
             {"%%41", "0431"},
             {"a+b", "612b62"},
             {"%00x", "0078"},
             {"%fF%Ff", "ffff"},
             {"x%", "7800"},
             {"x%a", "78a0"},
             {"%zz", "00"},
             {"%1%2", "1032"},  // the second % is a digit of the first escape
         }) {
        SCOPED_TRACE(c.value);
        const Bytes in = Input({"/T" + c.value});
        EXPECT_EQ(test::ToHex(in.data(), in.size()), c.hex);
    }
}

TEST(JobOptions, TheFirstDataWinsAndEmptyDataCanBeReplaced) {
    test::TempDir dir;
    const std::string file = dir.File("data.txt");
    const std::string empty = dir.File("empty.txt");
    ASSERT_TRUE(test::WriteFile(file, test::ToBytes("from file")));
    ASSERT_TRUE(test::WriteFile(empty, {}));
    struct Case {
        std::vector<std::string> options;
        bool present;
        std::string data;
    };
    for (const Case& c : std::vector<Case>{
             {{"/Tabc", "/Tdef"}, true, "abc"},
             {{"/Tabc", "/I" + file}, true, "abc"},
             {{"/I" + file, "/Tabc"}, true, "from file"},
             {{"/i" + file}, true, "from file"},
             {{"/I" + dir.File("missing.txt"), "/Tabc"}, true, "abc"},
             {{"/I" + dir.File("missing.txt")}, false, ""},
             {{"/I" + empty}, false, ""},
             {{"/I" + empty, "/Tabc"}, true, "abc"},
             {{"/I" + dir.path()}, false, ""},
             {{"/I/dev/null"}, false, ""},
             {{"/T", "/Tabc"}, true, "abc"},
             {{"/T"}, true, ""},
             {{"/T", "/I" + file}, true, "from file"},
             {{"/T", "/I" + dir.File("missing.txt")}, true, ""},
             {{"/t%00"}, true, std::string(1, '\0')},
         }) {
        std::string trace;
        for (const auto& o : c.options) trace += o + " ";
        SCOPED_TRACE(trace);
        bool present = false;
        const Bytes in = Input(c.options, &present);
        EXPECT_EQ(present, c.present);
        EXPECT_EQ(std::string(in.begin(), in.end()), c.data);
    }
}

TEST(JobOptions, InputBeyondTheLargestSymbolIsKeptOnlyAsFarAsItCanMatter) {
    test::TempDir dir;
    const std::string file = dir.File("big.txt");
    ASSERT_TRUE(test::WriteFile(file, Bytes(100000, '9')));
    EXPECT_EQ(Input({"/I" + file}).size(), static_cast<std::size_t>(kMaxInputBytes + 1));
    EXPECT_EQ(Input({"/T" + std::string(50000, '7')}).size(),
              static_cast<std::size_t>(kMaxInputBytes + 1));
    EXPECT_EQ(Input({"/T" + std::string(kMaxInputBytes, '7')}).size(),
              static_cast<std::size_t>(kMaxInputBytes));
    ASSERT_TRUE(test::WriteFile(file, Bytes(kMaxInputBytes, '9')));
    EXPECT_EQ(Input({"/I" + file}).size(), static_cast<std::size_t>(kMaxInputBytes));
}

TEST(JobOptions, OutputPathsUpTo258CharactersAndTheLastOneWins) {
    const std::string exact(258, 'p');
    const std::string longer(259, 'p');
    struct Case {
        std::vector<std::string> options;
        std::string path;
        bool tooLong;
    };
    for (const Case& c : std::vector<Case>{
             {{"/Oa.bmp"}, "a.bmp", false},
             {{"/Oa.bmp", "/ob.bmp"}, "b.bmp", false},
             {{"/O" + exact}, exact, false},
             {{"/O" + longer}, "", true},
             {{"/O" + longer, "/Oc.bmp"}, "c.bmp", false},
             {{"/Oc.bmp", "/O" + std::string(300, 'q')}, "", true},
             {{"/Oc.bmp", "/O"}, "", false},
         }) {
        SCOPED_TRACE(c.options.back().substr(0, 20));
        JobOptions o;
        for (const auto& option : c.options) o.ParseOption(option.c_str());
        EXPECT_EQ(std::string(o.outputPath), c.path);
        EXPECT_EQ(o.outputPathTooLong, c.tooLong);
        EXPECT_EQ(o.HasOutputPath(), !c.path.empty() || c.tooLong);
    }
}

}  // namespace
}  // namespace qr

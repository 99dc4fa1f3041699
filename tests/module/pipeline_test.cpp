// The pipeline's own rules: which bytes are UTF-8, what Micro QR offers, the names and columns
// of its messages, and the records it keeps between calls.
#include "module/pipeline.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "encoder/tables.h"
#include "module/payload_limits.h"

namespace qr {
namespace {

TEST(Road, Utf8IsWellFormedOrNamesTheFirstBadByte) {
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t bad;     // the offset FindNonUtf8 gives, npos for none
        std::size_t badCut;  // the same when the data may be cut short
    };
    const std::size_t none = std::string::npos;
    for (const Case& c : std::vector<Case>{
             {"ASCII", "plain", none, none},
             {"two, three and four bytes", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", none, none},
             {"Latin-1", "caf\xe9!", 3, 3},
             {"a lone continuation", "a\x80", 1, 1},
             {"overlong slash", "\xc0\xaf", 0, 0},
             {"overlong three bytes", "\xe0\x80\xaf", 0, 0},
             {"overlong four bytes", "\xf0\x80\x80\xaf", 0, 0},
             {"a surrogate", "ab\xed\xa0\x80", 2, 2},
             {"the last code point", "\xf4\x8f\xbf\xbf", none, none},
             {"above U+10FFFF", "\xf4\x90\x80\x80", 0, 0},
             {"F5 and up", "\xf5\x80\x80\x80", 0, 0},
             {"a sequence cut by the end", "ok\xe2\x82", 2, none},
             {"a sequence broken before the end", "\xe2\x82x", 0, 0},
         }) {
        SCOPED_TRACE(c.what);
        const auto* data = reinterpret_cast<const unsigned char*>(c.bytes.data());
        const std::size_t n = c.bytes.size();
        EXPECT_EQ(FindNonUtf8(data, n, false), c.bad == none ? n : c.bad);
        EXPECT_EQ(FindNonUtf8(data, n, true), c.badCut == none ? n : c.badCut);
    }
}

TEST(Road, MicroQrOffersTheseLevels) {
    // Each version (0: the smallest that holds the data) at L, M, Q and H: '.' offered, 'x' not.
    const std::string expected = R"(
any . . . x
M1  x x x x
M2  . . x x
M3  . . x x
M4  . . . x
)";
    std::string levels = "\n";
    for (int version = 0; version <= kMicroVersionCount; ++version) {
        levels += version == 0 ? "any" : "M" + std::to_string(version) + " ";
        for (int level = LEVEL_L; level <= LEVEL_H; ++level) {
            EncodeSettings s;
            s.micro = true;
            s.version = version;
            s.level = level;
            levels += CheckMicroSettings(s) == MicroRefusal::kNone ? " ." : " x";
        }
        levels += "\n";
    }
    EXPECT_EQ(levels, expected);
}

TEST(Road, DataIsUtf8TextWhenItIsUtf8AndNotPlainAscii) {
    struct Case {
        std::string bytes;
        bool cut;
        bool text;
    };
    for (const Case& c : std::vector<Case>{
             {"plain ASCII", false, false},
             {"\xd0\x96 and \xc3\x84", false, true},
             {"caf\xe9", false, false},           // Latin-1
             {"\x82\xa0\x93\xfa", false, false},  // Shift JIS
             {"ok\xe2\x82", false, false},        // cut by the end of the data ...
             {"ok\xe2\x82", true, true},          // ... as data that goes on may be
         }) {
        SCOPED_TRACE(c.bytes);
        const auto* data = reinterpret_cast<const unsigned char*>(c.bytes.data());
        EXPECT_EQ(IsUtf8Text(data, c.bytes.size(), c.cut), c.text);
    }
}

TEST(Road, EachWriteFailureHasAnErrorNumberThatMeansIt) {
    using platform::WriteFailure;
    for (const WriteFailure failure :
         {WriteFailure::kNoSpace, WriteFailure::kPermission, WriteFailure::kMissingFolder,
          WriteFailure::kNotAFile, WriteFailure::kTooLarge, WriteFailure::kBrokenPipe,
          WriteFailure::kNoMemory, WriteFailure::kOther}) {
        SCOPED_TRACE(WriteFailureText(failure));
        EXPECT_EQ(platform::WriteFailureOfErrno(ErrorNumberOf(failure)), failure);
    }
    EXPECT_EQ(ErrorNumberOf(WriteFailure::kNone), 0);
}

TEST(Road, NamesInMessagesCannotDriveTheTerminal) {
    EXPECT_EQ(PrintableName("a b/c.png"), "'a b/c.png'");
    EXPECT_EQ(PrintableName("x\x1b[2Jy\n\x7f"), "'x\\x1b[2Jy\\x0a\\x7f'");
    EXPECT_EQ(PrintableName("caf\xc3\xa9"), "'caf\xc3\xa9'");
}

// Encoders keep their records for later ones: the structured-append header that the last part
// of a set left in a record counts in no later explanation.
TEST(Road, ARecordKeptFromASetExplainsAsANewOneWould) {
    const std::string set = "0123456789ABCDEFGHIJ, one text in three symbols";
    {
        Encoder encoder;
        std::vector<std::unique_ptr<Symbol>> parts;
        std::string why;
        ASSERT_EQ(encoder.EncodeStructured(reinterpret_cast<const unsigned char*>(set.data()),
                                           set.size(), EncodeSettings(), 3, &parts, &why),
                  TESSERA_OK);
    }
    Encoder encoder;  // the record the set was made with
    const std::string big(1274, 'a');
    EncodeSettings high;
    high.level = LEVEL_H;
    EXPECT_EQ(
        encoder.ExplainFailure(reinterpret_cast<const unsigned char*>(big.data()), big.size(),
                               high),
        "the data cannot be encoded: it needs 10212 bits and version 40 at level H holds at most "
        "10208");
}

// Version 13 at level M holds 331 bytes: one more needs version 14.
TEST(Road, ALargestVersionRefusesLargerSymbols) {
    const std::string fits(331, 'a'), over(332, 'a');
    const auto* bytes = reinterpret_cast<const unsigned char*>(over.data());
    EncodeSettings capped;
    capped.maxVersion = 13;
    Encoder encoder;
    const auto symbol = std::make_unique<Symbol>();
    ASSERT_EQ(encoder.Encode(bytes, fits.size(), capped, symbol.get()), TESSERA_OK);
    EXPECT_EQ(symbol->version, 13);
    EXPECT_EQ(encoder.Encode(bytes, over.size(), capped, symbol.get()),
              TESSERA_ERROR_CANNOT_ENCODE);
    EXPECT_EQ(encoder.ExplainFailure(bytes, over.size(), capped),
              "the data cannot be encoded: it needs 2676 bits and version 13 at level M holds "
              "2672 (a larger version is not allowed)");
    capped.maxVersion = 14;
    ASSERT_EQ(encoder.Encode(bytes, over.size(), capped, symbol.get()), TESSERA_OK);
    EXPECT_EQ(symbol->version, 14);

    struct Case {
        int version, maxVersion;
        bool micro, structured;
        const char* refusal;
    };
    for (const Case& c : {
             Case{0, 41, false, false, "the largest version must be 1 to 40 (0 for any), not '41'"},
             Case{14, 13, false, false,
                  "the largest version must be 14 to 40 (0 for any), not '13'"},
             Case{0, -1, false, false, "the largest version must be 1 to 40 (0 for any), not '-1'"},
             Case{2, 3, true, false, "a largest version is for one QR Code symbol only"},
             Case{0, 13, false, true, "a largest version is for one QR Code symbol only"},
         }) {
        SCOPED_TRACE(c.refusal);
        EncodeSettings settings;
        settings.version = c.version;
        settings.maxVersion = c.maxVersion;
        settings.micro = c.micro;
        EXPECT_EQ(CheckEncodeSettings(settings, c.structured), c.refusal);
    }
}

// A payload that sets limits (a payment) takes its level, no ECI, no boost and its largest
// version; one that sets none leaves the settings as they are.
TEST(Road, APayloadsLimitsSetTheSettingsOrRefuseThem) {
    const payload::SymbolLimits payment{'M', 13};
    struct Case {
        int level;
        bool boost, utf8, micro;
        int version;
        const char* refusal;
    };
    for (const Case& c : {
             Case{kDefaultSetting, false, false, false, 0, ""},
             Case{LEVEL_M, false, false, false, 13, ""},
             Case{LEVEL_H, false, false, false, 0, "the payload's symbol is level M, not H"},
             Case{kDefaultSetting, true, false, false, 0,
                  "the payload's symbol is level M: it is not boosted"},
             Case{kDefaultSetting, false, true, false, 0,
                  "the payload's symbol is level M with its text as bytes: no UTF-8 mark (ECI)"},
             Case{kDefaultSetting, false, false, true, 0,
                  "the payload's symbol is level M: Micro QR is not read for it"},
             Case{kDefaultSetting, false, false, false, 14,
                  "the payload's symbol is level M of version 13 at most, not 14"},
             Case{9, false, false, false, 0, "the level must be L, M, Q or H (0 to 3), not '9'"},
         }) {
        SCOPED_TRACE(c.refusal);
        EncodeSettings settings;
        settings.level = c.level;
        settings.boost = c.boost;
        settings.utf8 = c.utf8;
        settings.micro = c.micro;
        settings.version = c.version;
        settings.utf8WhenText = true;
        EXPECT_EQ(ApplyLimits(payment, &settings), c.refusal);
        if (*c.refusal != '\0') continue;
        EXPECT_EQ(settings.level, LEVEL_M);
        EXPECT_EQ(settings.maxVersion, 13);
        EXPECT_FALSE(settings.utf8WhenText);
    }
    EncodeSettings free;
    free.level = LEVEL_H;
    free.boost = true;
    free.utf8WhenText = true;
    EXPECT_EQ(ApplyLimits(payload::SymbolLimits(), &free), "");
    EXPECT_EQ(free.level, LEVEL_H);
    EXPECT_TRUE(free.boost && free.utf8WhenText);
    EXPECT_EQ(free.maxVersion, 0);
}

}  // namespace
}  // namespace qr

// One symbol from data and settings: which bytes are UTF-8, and the records kept between calls.
#include "module/encode.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "module/structured.h"
#include "module/symbol.h"

namespace qr {
namespace {

// The first byte that is not UTF-8, and whether the data is UTF-8 text (UTF-8, not plain ASCII),
// for data that ends where it ends and for data that may go on (cut short).
TEST(Encode, Utf8IsWellFormedOrNamesTheFirstBadByte) {
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t bad, badCut;  // the offset FindNonUtf8 gives, npos for none
        bool text, textCut;
    };
    const std::size_t none = std::string::npos;
    for (const Case& c : std::vector<Case>{
             {"ASCII", "plain", none, none, false, false},
             {"two, three and four bytes", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", none, none, true,
              true},
             {"Latin-1", "caf\xe9!", 3, 3, false, false},
             {"Shift JIS", "\x82\xa0\x93\xfa", 0, 0, false, false},
             {"a lone continuation", "a\x80", 1, 1, false, false},
             {"overlong slash", "\xc0\xaf", 0, 0, false, false},
             {"overlong three bytes", "\xe0\x80\xaf", 0, 0, false, false},
             {"overlong four bytes", "\xf0\x80\x80\xaf", 0, 0, false, false},
             {"a surrogate", "ab\xed\xa0\x80", 2, 2, false, false},
             {"the last code point", "\xf4\x8f\xbf\xbf", none, none, true, true},
             {"above U+10FFFF", "\xf4\x90\x80\x80", 0, 0, false, false},
             {"F5 and up", "\xf5\x80\x80\x80", 0, 0, false, false},
             {"a sequence cut by the end", "ok\xe2\x82", 2, none, false, true},
             {"a sequence broken before the end", "\xe2\x82x", 0, 0, false, false},
         }) {
        SCOPED_TRACE(c.what);
        const auto* data = reinterpret_cast<const unsigned char*>(c.bytes.data());
        const std::size_t n = c.bytes.size();
        EXPECT_EQ(FindNonUtf8(data, n, false), c.bad == none ? n : c.bad);
        EXPECT_EQ(FindNonUtf8(data, n, true), c.badCut == none ? n : c.badCut);
        EXPECT_EQ(IsUtf8Text(data, n, false), c.text);
        EXPECT_EQ(IsUtf8Text(data, n, true), c.textCut);
    }
}

// Encoders keep their records for later ones: the structured-append header that the last part
// of a set left in a record counts in no later explanation.
TEST(Encode, ARecordKeptFromASetExplainsAsANewOneWould) {
    const std::string set = "0123456789ABCDEFGHIJ, one text in three symbols";
    {
        Encoder encoder;
        SymbolSet parts;
        std::string why;
        ASSERT_EQ(EncodeStructured(&encoder, reinterpret_cast<const unsigned char*>(set.data()),
                                   set.size(), EncodeSettings(), 3, &parts, &why),
                  TESSERA_OK);
    }
    Encoder encoder;  // the record the set was made with
    SymbolRecord symbol;
    const std::string big(1274, 'a');
    EncodeSettings high;
    high.level = TESSERA_LEVEL_H;
    std::string why;
    EXPECT_EQ(encoder.Encode(reinterpret_cast<const unsigned char*>(big.data()), big.size(), high,
                             symbol.get(), false, &why),
              TESSERA_ERROR_CANNOT_ENCODE);
    EXPECT_EQ(why,
              "the data cannot be encoded: it needs 10212 bits and version 40 at level H holds at "
              "most 10208");
}

// Version 13 at level M holds 331 bytes: one more needs version 14.
TEST(Encode, ALargestVersionRefusesLargerSymbols) {
    const std::string fits(331, 'a'), over(332, 'a');
    const auto* bytes = reinterpret_cast<const unsigned char*>(over.data());
    EncodeSettings capped;
    capped.maxVersion = 13;
    Encoder encoder;
    SymbolRecord symbol;
    ASSERT_EQ(encoder.Encode(bytes, fits.size(), capped, symbol.get()), TESSERA_OK);
    EXPECT_EQ(symbol.get()->version, 13);
    std::string why;
    EXPECT_EQ(encoder.Encode(bytes, over.size(), capped, symbol.get(), false, &why),
              TESSERA_ERROR_CANNOT_ENCODE);
    EXPECT_EQ(why,
              "the data cannot be encoded: it needs 2676 bits and version 13 at level M holds "
              "2672 (a larger version is not allowed)");
    capped.maxVersion = 14;
    ASSERT_EQ(encoder.Encode(bytes, over.size(), capped, symbol.get()), TESSERA_OK);
    EXPECT_EQ(symbol.get()->version, 14);

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
        EXPECT_EQ(CheckEncodeSettings(settings, c.structured, &why), TESSERA_ERROR_BAD_ARGUMENT);
        EXPECT_EQ(why, c.refusal);
    }
}

// A payload that sets limits (a payment) takes its level, no ECI, no boost and its largest
// version; one that sets none leaves the settings as they are.
TEST(Encode, APayloadsLimitsSetTheSettingsOrRefuseThem) {
    struct Case {
        int level;
        bool boost, utf8, micro;
        int version;
        const char* refusal;
        bool rmqr = false;
        int fitWidth = 0;
    };
    for (const Case& c : {
             Case{kDefaultSetting, false, false, false, 0, ""},
             Case{TESSERA_LEVEL_M, false, false, false, 13, ""},
             Case{TESSERA_LEVEL_H, false, false, false, 0,
                  "the payload's symbol is level M, not H"},
             Case{kDefaultSetting, true, false, false, 0,
                  "the payload's symbol is level M: it is not boosted"},
             Case{kDefaultSetting, false, true, false, 0,
                  "the payload's symbol is level M with its text as bytes: no UTF-8 mark (ECI)"},
             Case{kDefaultSetting, false, false, true, 0,
                  "the payload's symbol is level M: Micro QR is not read for it"},
             Case{kDefaultSetting, false, false, false, 0,
                  "the payload's symbol is level M: rMQR is not read for it", true},
             Case{kDefaultSetting, false, false, false, 0,
                  "the payload's symbol is level M: no box to fit, which may choose Micro QR or "
                  "rMQR",
                  false, 139},
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
        settings.rmqr = c.rmqr;
        settings.fitWidth = settings.fitHeight = c.fitWidth;
        settings.version = c.version;
        settings.utf8WhenText = true;
        std::string why;
        EXPECT_EQ(ApplyPayloadLimits(TESSERA_LEVEL_M, 13, &settings, &why),
                  *c.refusal == '\0' ? TESSERA_OK : TESSERA_ERROR_BAD_ARGUMENT);
        EXPECT_EQ(why, c.refusal);
        if (*c.refusal != '\0') continue;
        EXPECT_EQ(settings.level, TESSERA_LEVEL_M);
        EXPECT_EQ(settings.maxVersion, 13);
        EXPECT_FALSE(settings.utf8WhenText);
    }
    EncodeSettings free;
    free.level = TESSERA_LEVEL_H;
    free.boost = true;
    free.utf8WhenText = true;
    EXPECT_EQ(ApplyPayloadLimits(kDefaultSetting, 0, &free, nullptr), TESSERA_OK);
    EXPECT_EQ(free.level, TESSERA_LEVEL_H);
    EXPECT_TRUE(free.boost && free.utf8WhenText);
    EXPECT_EQ(free.maxVersion, 0);
}

}  // namespace
}  // namespace qr

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

TEST(Encode, Utf8IsWellFormedOrNamesTheFirstBadByte) {
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

TEST(Encode, DataIsUtf8TextWhenItIsUtf8AndNotPlainAscii) {
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

}  // namespace
}  // namespace qr

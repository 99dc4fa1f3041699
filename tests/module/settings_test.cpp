// The table of rules and the checks of settings: every range the table lists is the one the
// checks apply, and what Micro QR offers.
#include "module/settings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "module/limits.h"

namespace qr {
namespace {

// The table's rows by name, as the C API lists them.
std::map<std::string, long long> Rows() {
    std::map<std::string, long long> rows;
    LimitRow row;
    for (int index = 0; LimitRowAt(index, &row); ++index) {
        EXPECT_TRUE(rows.emplace(row.name, row.value).second) << "twice: " << row.name;
    }
    return rows;
}

TEST(Settings, MicroQrOffersTheseLevels) {
    // Each version (0: the smallest that holds the data) at L, M, Q and H: '.' offered, 'x' not,
    // as the checks refuse them and as the table's rows list them.
    const std::string expected = R"(
any . . . x
M1  x x x x  none
M2  . . x x  LM
M3  . . x x  LM
M4  . . . x  LMQ
)";
    const std::map<std::string, long long> rows = Rows();
    std::string levels = "\n";
    for (int version = 0; version <= kLimits.microVersion.high; ++version) {
        levels += version == 0 ? "any" : "M" + std::to_string(version) + " ";
        for (int level = TESSERA_LEVEL_L; level <= TESSERA_LEVEL_H; ++level) {
            EncodeSettings s;
            s.micro = true;
            s.version = version;
            s.level = level;
            levels += CheckMicroSettings(s) == MicroRefusal::kNone ? " ." : " x";
        }
        if (version > 0) {
            const long long bits = rows.at("micro.levels." + std::to_string(version));
            std::string letters;
            for (int level = 0; level < 4; ++level) {
                if (bits >> level & 1) letters += "LMQH"[level];
            }
            levels += "  " + (letters.empty() ? "none" : letters);
        }
        levels += "\n";
    }
    EXPECT_EQ(levels, expected);
}

// Each range of the table, from its rows, is what the checks take: its ends are taken, and one
// past the end is refused in words that give the range.
TEST(Settings, TheChecksTakeTheRangesOfTheTable) {
    const std::map<std::string, long long> rows = Rows();
    enum class Checked { kEncode, kOutput, kCount };
    struct Case {
        const char* range;  // the rows' prefix
        Checked checked;
        void (*set)(int value, EncodeSettings* encode, OutputSettings* output);
    };
    const std::vector<Case> cases = {
        {"level", Checked::kEncode,
         [](int v, EncodeSettings* e, OutputSettings*) { e->level = v; }},
        {"version", Checked::kEncode,
         [](int v, EncodeSettings* e, OutputSettings*) { e->version = v; }},
        {"mask", Checked::kEncode, [](int v, EncodeSettings* e, OutputSettings*) { e->mask = v; }},
        {"micro.version", Checked::kEncode,
         [](int v, EncodeSettings* e, OutputSettings*) {
             e->micro = true;
             e->version = v;
         }},
        {"micro.mask", Checked::kEncode,
         [](int v, EncodeSettings* e, OutputSettings*) {
             e->micro = true;
             e->mask = v;
         }},
        {"structured", Checked::kCount, nullptr},
        {"scale", Checked::kOutput,
         [](int v, EncodeSettings*, OutputSettings* o) { o->scale = v; }},
        {"margin", Checked::kOutput,
         [](int v, EncodeSettings*, OutputSettings* o) { o->margin = v; }},
        {"dpi", Checked::kOutput, [](int v, EncodeSettings*, OutputSettings* o) { o->dpi = v; }},
    };
    for (const Case& c : cases) {
        const int low = static_cast<int>(rows.at(std::string(c.range) + ".low"));
        const int high = static_cast<int>(rows.at(std::string(c.range) + ".high"));
        for (const int value : {low, high, high + 1}) {
            SCOPED_TRACE(std::string(c.range) + " " + std::to_string(value));
            EncodeSettings encode;
            OutputSettings output;
            if (c.set != nullptr) c.set(value, &encode, &output);
            std::string why;
            const Status status = c.checked == Checked::kOutput ? CheckOutputSettings(output, &why)
                                  : c.checked == Checked::kCount
                                      ? CheckStructuredCount(value, 1, &why)
                                      : CheckEncodeSettings(encode, false, &why);
            EXPECT_EQ(status, value <= high ? TESSERA_OK : TESSERA_ERROR_BAD_ARGUMENT);
            EXPECT_EQ(
                why.find(std::to_string(low) + " to " + std::to_string(high)) != std::string::npos,
                value > high)
                << why;
        }
    }
}

}  // namespace
}  // namespace qr

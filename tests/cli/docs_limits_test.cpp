// The ranges and defaults that --help, the man page and the docs state, held against the library's
// table of limits (tessera_limit): each row of CLAIMS is a phrase of a page with the table's rows
// in braces, and the page must say that phrase with the table's values. A number typed by hand
// that disagrees fails naming the row; a phrase reworded fails until its row here follows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "module/tessera_api.h"
#include "tests/cli/command_runner.h"

namespace qr::test {
namespace {

// A phrase of `page` ("--help" is the command's). In braces: {row} a number (commas allowed),
// {level:row} a level letter, {rmqr:row} an rMQR size name, {hex:row} a colour's RRGGBB.
struct Claim {
    const char* page;
    const char* phrase;
};

constexpr Claim CLAIMS[] = {
    {"--help", "error correction level (default {level:level.default})"},
    {"--help",
     "version {version.low}-{version.high}, M{micro.version.low}-M{micro.version.high} or an rMQR "
     "size {rmqr:rmqr.version.low}-{rmqr:rmqr.version.high}"},
    {"--help", "mask pattern {mask.low}-{mask.high}"},
    {"--help",
     "pixels per module {scale.low}-{scale.high}, points for EPS and PDF (default "
     "{scale.image}; {scale.text} for text)"},
    {"--help", "quiet zone in modules {margin.low}-{margin.high} (default {margin.default})"},
    {"--help", "(default {hex:dark.default}); for"},
    {"--help", "colour of the light ones (default {hex:light.default})"},
    {"--help", "{dpi.low}-{dpi.high} dots per inch"},
    {"--help", "-m {micro.mask.low}-{micro.mask.high}, margin {margin.micro}"},
    {"--help", "(rectangular, {rmqr:rmqr.version.low}-{rmqr:rmqr.version.high};"},
    {"--help",
     "size N of {rmqr.version.low}-{rmqr.version.high}): -l M or H, no mask, no ECI, "
     "margin {margin.rmqr}"},
    {"--help", "odd height H, {rmqr.height.low}-{rmqr.height.high}"},
    {"--help", "N symbols ({structured.low}-{structured.high})"},
    {"--help",
     "[/L{level.low}-{level.high}] [/V{version.low}-{version.high}] [/EN] "
     "[/M{mask.low}-{mask.high}] [/S{scale.low}-{scale.high}]"},

    {"docs/tessera.1.scd",
     "[*/L*{level.low}-{level.high}] [*/V*{version.low}-{version.high}] "
     "[*/EN*] [*/M*{mask.low}-{mask.high}] [*/S*{scale.low}-{scale.high}]"},
    {"docs/tessera.1.scd", "(at most {input.read} bytes are read)"},
    {"docs/tessera.1.scd", "Error-correction level. Default: {level:level.default}."},
    {"docs/tessera.1.scd",
     "Version {version.low} to {version.high}, or M{micro.version.low} to "
     "M{micro.version.high} for Micro QR."},
    {"docs/tessera.1.scd",
     "Mask pattern {mask.low} to {mask.high} ({micro.mask.low} to "
     "{micro.mask.high} for Micro QR)."},
    {"docs/tessera.1.scd",
     "Pixels per module, {scale.low} to {scale.high} (points for EPS and "
     "PDF, characters for text). Default: {scale.image} for images, "
     "{scale.text} for text."},
    {"docs/tessera.1.scd",
     "The quiet zone in modules, {margin.low} to {margin.high}. Default: "
     "{margin.default} ({margin.micro} for Micro QR)."},
    {"docs/tessera.1.scd", "*#* optional. Default: {hex:dark.default}."},
    {"docs/tessera.1.scd", "The colour of the light modules. Default: {hex:light.default}."},
    {"docs/tessera.1.scd", "{dpi.low} to {dpi.high} dots per inch"},
    {"docs/tessera.1.scd",
     "A Micro QR symbol, M{micro.version.low} to M{micro.version.high} "
     "(*-v M{micro.version.low}* to *-v M{micro.version.high}* imply it): "
     "levels L, M and Q, masks {micro.mask.low} to {micro.mask.high}, a "
     "margin of {margin.micro} by default."},
    {"docs/tessera.1.scd", "rectangular: {rmqr:rmqr.version.low} to {rmqr:rmqr.version.high}"},
    {"docs/tessera.1.scd", "no structured append, a margin of {margin.rmqr} by default."},
    {"docs/tessera.1.scd", "symbols ({structured.low} to {structured.high})"},
    {"docs/tessera.1.scd", "filled in order, at most {structured.high}."},
    {"docs/tessera.1.scd", "at the level of *-l* (default {level:level.default})."},

    {"docs/cli.md", "| error-correction level (either case) | {level:level.default} |"},
    {"docs/cli.md",
     "version {version.low} to {version.high}, `M{micro.version.low}` to "
     "`M{micro.version.high}` for Micro QR, or an rMQR size "
     "`{rmqr:rmqr.version.low}` to `{rmqr:rmqr.version.high}`"},
    {"docs/cli.md",
     "mask pattern {mask.low} to {mask.high} (Micro QR {micro.mask.low} to "
     "{micro.mask.high})"},
    {"docs/cli.md",
     "pixels per module, {scale.low} to {scale.high} (points for EPS and PDF) | "
     "{scale.image} for images, {scale.text} for text |"},
    {"docs/cli.md",
     "the quiet zone in modules, {margin.low} to {margin.high} | {margin.default} |"},
    {"docs/cli.md", "| `{hex:dark.default}` and `{hex:light.default}` |"},
    {"docs/cli.md", "{dpi.low} to {dpi.high} dots per inch"},
    {"docs/cli.md", "`--logo-size PCT` of the symbol's width (default {logo.default})"},
    {"docs/tessera.1.scd",
     "The logo's width in percent of the symbol's, {logo.low} to {logo.high}. Default: "
     "{logo.default}."},
    {"docs/cli.md", "-s takes pixels per module from {scale.low} to {scale.high}, not"},
    {"docs/cli.md", "`--split N` ({structured.low} to {structured.high})"},
    {"docs/cli.md", "the last taking the rest, at most {structured.high};"},
    {"docs/cli.md", "masks {micro.mask.low} to {micro.mask.high}; no"},
    {"docs/cli.md", "a quiet zone of {margin.micro} modules unless"},
    {"docs/cli.md", "a size `{rmqr:rmqr.version.low}` to `{rmqr:rmqr.version.high}` after `-v`"},
    {"docs/cli.md",
     "(rectangular Micro QR): {rmqr.height.low} to {rmqr.height.high} modules high, "
     "27 to 139 wide, levels M and H, one fixed mask, a quiet zone of "
     "{margin.rmqr} modules"},
    {"docs/cli.md", "None for M (Micro QR: {level:micro.level.default});"},
    {"docs/cli.md",
     "version: {version.low}-{version.high}, \"M{micro.version.low}\" to "
     "\"M{micro.version.high}\" (Micro QR), \"{rmqr:rmqr.version.low}\" to "
     "\"{rmqr:rmqr.version.high}\" (rMQR)"},
    {"docs/cli.md", "rmqr_height: {rmqr.height.low}-{rmqr.height.high}, odd"},
    {"docs/cli.md", "count: {structured.low}-{structured.high} symbols"},
    {"docs/cli.md", "scale None: {scale.image} for images, {scale.text} for text"},
    {"docs/cli.md", "the mask must be {mask.low} to {mask.high}, not '9'"},

    {"docs/api.md", "| `TESSERA_LEVEL_L` .. `TESSERA_LEVEL_H` | {level:level.default} |"},
    {"docs/api.md",
     "| `version` | {version.low}-{version.high} (Micro QR: {micro.version.low}-"
     "{micro.version.high} for M{micro.version.low}-M{micro.version.high})"},
    {"docs/api.md", "| `mask` | {mask.low}-{mask.high} |"},
    {"docs/api.md",
     "`version` {micro.version.low}-{micro.version.high} for "
     "M{micro.version.low}-M{micro.version.high}, `mask` {micro.mask.low}-"
     "{micro.mask.high}"},
    {"docs/api.md", "at L above M1"},
    {"docs/api.md",
     "`version` {rmqr.version.low}-{rmqr.version.high} for "
     "{rmqr:rmqr.version.low}-{rmqr:rmqr.version.high}"},
    {"docs/api.md", "a box of {fit.low}-{fit.high} modules each way"},
    {"docs/api.md", "at `level` ({level:level.default} by default)"},
    {"docs/api.md",
     "| `scale` | {scale.low}-{scale.high} pixels (points for EPS and PDF, "
     "characters for text) per module | 0: {scale.image} for images, "
     "{scale.text} for text |"},
    {"docs/api.md",
     "| `margin` | {margin.low}-{margin.high} modules of quiet zone | "
     "`TESSERA_DEFAULT`: {margin.default} (Micro QR and rMQR: {margin.micro}) |"},
    {"docs/api.md", "| `dpi` | {dpi.low}-{dpi.high}, stated"},
    {"docs/api.md", "spreads data over {structured.low}-{structured.high} symbols"},

    {"README.md", "(versions {version.low}-{version.high}, levels"},
    {"README.md", "(rectangular, {rmqr:rmqr.version.low} to {rmqr:rmqr.version.high})"},
    {"README.md", "over up to {structured.high} symbols"},
    {"README.md", "3 = H | {level.low}-{level.high} | {level:level.default} |"},
    {"README.md", "| `/V`n | symbol version | {version.low}-{version.high} |"},
    {"README.md", "| `/M`n | mask pattern | {mask.low}-{mask.high} |"},
    {"README.md", "| `/S`n | pixels per module | {scale.low}-{scale.high} | {scale.image} |"},

    {"docs/dotnet.md",
     "| `version` | {version.low}-{version.high}; Micro QR "
     "{micro.version.low}-{micro.version.high} |"},
    {"docs/dotnet.md",
     "| `mask` | {mask.low}-{mask.high}; Micro QR {micro.mask.low}-"
     "{micro.mask.high} |"},
    {"docs/dotnet.md",
     "| `scale` | {scale.low}-{scale.high} pixels (points for EPS and PDF, "
     "characters for text) per module | 0: {scale.image}, and {scale.text} "
     "for text |"},
    {"docs/dotnet.md",
     "| `margin` | {margin.low}-{margin.high} modules of quiet zone | -1: "
     "{margin.default} (Micro QR: {margin.micro}) |"},
    {"docs/dotnet.md", "| `dpi` | {dpi.low}-{dpi.high}, stated"},
};

long long Limit(const std::string& name) {
    const char* row = nullptr;
    long long value = 0;
    for (int index = 0; tessera_limit(index, &row, &value) != 0; ++index) {
        if (name == row) return value;
    }
    ADD_FAILURE() << "the library lists no limit " << name;
    return -1;
}

// Runs of white space as one space, so that a phrase matches across a wrapped line.
std::string Squeezed(const std::string& text) {
    std::string squeezed;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) == 0) {
            squeezed += c;
        } else if (!squeezed.empty() && squeezed.back() != ' ') {
            squeezed += ' ';
        }
    }
    return squeezed;
}

// One placeholder of a phrase: what the page must read there, and whether it does.
struct Slot {
    std::string kind;  // "", "level", "rmqr" or "hex"
    std::string row;
};

const char* SlotPattern(const std::string& kind) {
    if (kind == "level") return "([LMQH])";
    if (kind == "rmqr") return "(R[0-9]+x[0-9]+)";
    if (kind == "hex") return "([0-9A-Fa-f]{6})";
    return "([0-9][0-9,]*)";
}

// Whether `said` states `value` the way a slot of `kind` writes it.
bool SaysValue(const std::string& kind, std::string said, long long value) {
    if (kind == "level") return said == std::string(1, "LMQH"[value & 3]);
    if (kind == "rmqr") return tessera_rmqr_version(said.c_str()) == value;
    if (kind == "hex")
        return std::stoul(said, nullptr, 16) == (static_cast<unsigned long>(value) >> 8);
    said.erase(std::remove(said.begin(), said.end(), ','), said.end());
    return said == std::to_string(value);
}

// What is wrong with `page` as to `phrase`: nothing, "does not say ...", or each value it says
// that the table does not.
std::vector<std::string> Disagreements(const std::string& page, const std::string& phrase) {
    static const std::regex kSpecial(R"([.^$|()\[\]{}*+?\\])");
    std::string pattern;
    std::vector<Slot> slots;
    const std::string squeezed = Squeezed(phrase);
    std::size_t at = 0;
    while (at < squeezed.size()) {
        const std::size_t open = squeezed.find('{', at);
        const std::size_t close = squeezed.find('}', open);
        const std::string literal =
            squeezed.substr(at, open == std::string::npos ? open : open - at);
        pattern += std::regex_replace(literal, kSpecial, "\\$&");
        if (open == std::string::npos || close == std::string::npos) break;
        const std::string slot = squeezed.substr(open + 1, close - open - 1);
        const std::size_t colon = slot.find(':');
        slots.push_back(colon == std::string::npos
                            ? Slot{"", slot}
                            : Slot{slot.substr(0, colon), slot.substr(colon + 1)});
        pattern += SlotPattern(slots.back().kind);
        at = close + 1;
    }
    std::smatch match;
    const std::string text = Squeezed(page);
    if (!std::regex_search(text, match, std::regex(pattern))) return {"does not say: " + phrase};
    std::vector<std::string> wrong;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const long long value = Limit(slots[i].row);
        if (!SaysValue(slots[i].kind, match[i + 1], value)) {
            wrong.push_back("says " + match[i + 1].str() + " for " + slots[i].row +
                            ", the table says " + std::to_string(value));
        }
    }
    return wrong;
}

// The text of `page`, read once.
const std::string& Page(const std::string& page) {
    static std::map<std::string, std::string> pages;
    auto [at, fresh] = pages.emplace(page, "");
    if (!fresh) return at->second;
    if (page == "--help") {
        at->second = RunCommand({"--help"}).out;
    } else {
        Bytes content;
        EXPECT_TRUE(ReadFile(std::string(TESSERA_SOURCE_DIR) + "/" + page, &content)) << page;
        at->second.assign(content.begin(), content.end());
    }
    return at->second;
}

TEST(DocsLimits, EveryPageStatesTheTablesRangesAndDefaults) {
    for (const Claim& claim : CLAIMS) {
        SCOPED_TRACE(std::string(claim.page) + ": " + claim.phrase);
        EXPECT_EQ(Disagreements(Page(claim.page), claim.phrase), std::vector<std::string>{});
    }
}

// The check on doctored copies of a page: a number typed by hand that disagrees, and a phrase
// that is no longer there.
TEST(DocsLimits, RefusesAPageThatDisagreesWithTheTable) {
    struct Case {
        const char* page;
        const char* phrase;
        std::vector<std::string> expected;
    };
    const std::string mask =
        "mask pattern {mask.low} to {mask.high} (Micro QR {micro.mask.low} "
        "to {micro.mask.high})";
    for (const Case& c : std::vector<Case>{
             {"| mask pattern 0 to 7 (Micro QR 0 to 3) |", mask.c_str(), {}},
             {"| mask pattern 0 to 8 (Micro QR 0 to 3) |",
              mask.c_str(),
              {"says 8 for mask.high, the table says 7"}},
             {"| mask pattern 0 to 7 (Micro QR 1 to\n   4) |",
              mask.c_str(),
              {"says 1 for micro.mask.low, the table says 0",
               "says 4 for micro.mask.high, the table says 3"}},
             {"| mask pattern 0 to 7 |", mask.c_str(), {"does not say: " + mask}},
             {"1 to 100,000 dots", "{dpi.low} to {dpi.high} dots", {}},
             {"1 to 10,000 dots",
              "{dpi.low} to {dpi.high} dots",
              {"says 10,000 for dpi.high, the table says 100000"}},
             {"(default Q)",
              "(default {level:level.default})",
              {"says Q for level.default, the table says 1"}},
             {"size R7x43-R17x99",
              "size {rmqr:rmqr.version.low}-{rmqr:rmqr.version.high}",
              {"says R17x99 for rmqr.version.high, the table says 32"}},
             {"(default 000000)",
              "(default {hex:light.default})",
              {"says 000000 for light.default, the table says 4294967295"}},
         }) {
        SCOPED_TRACE(c.page);
        EXPECT_EQ(Disagreements(c.page, c.phrase), c.expected);
    }
}

}  // namespace
}  // namespace qr::test

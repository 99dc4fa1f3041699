// --help, made from the library's table of limits and its formats.
#include "cli/usage.h"

#include <cstddef>
#include <utility>
#include <vector>

#include "cli/limits.h"
#include "cli/styling.h"
#include "module/messages.h"
#include "module/tessera_api.h"

namespace qr::cli {

namespace {

// The lines of --help: flags in the first 27 columns, their descriptions up to column 88.
constexpr std::size_t kHelpColumn = 27;
constexpr std::size_t kHelpWidth = 88;

}  // namespace

std::string HelpColumn(const std::string& text) {
    std::string lines;
    std::size_t start = 0;
    while (text.size() - start > kHelpWidth - kHelpColumn) {
        const std::size_t end = text.rfind(' ', start + kHelpWidth - kHelpColumn);
        if (end == std::string::npos || end <= start) break;  // a word wider than the column
        lines += text.substr(start, end - start) + "\n" + std::string(kHelpColumn, ' ');
        start = end + 1;
    }
    return lines + text.substr(start) + "\n";
}

std::string PayloadKindList() {
    std::string list;
    for (int i = 0; tessera_payload_kind(i) != nullptr; ++i) {
        const bool last = tessera_payload_kind(i + 1) == nullptr;
        list += std::string(i == 0 ? "" : last ? " or " : ", ") + tessera_payload_kind(i);
    }
    return list;
}

namespace {

std::string Number(const char* row) {
    return std::to_string(Limit(row));
}

// A colour row as six hex digits, without its alpha: "000000".
std::string ColourDigits(const char* row) {
    static const char kHex[] = "0123456789abcdef";
    const auto colour = static_cast<unsigned long long>(Limit(row));
    std::string digits;
    for (int shift = 28; shift >= 8; shift -= 4) digits += kHex[colour >> shift & 0xF];
    return digits;
}

// "M1-M4".
std::string MicroVersions() {
    return "M" + Number("micro.version.low") + "-M" + Number("micro.version.high");
}

// "R7x43-R17x139".
std::string RmqrSizes() {
    return RmqrSizeName(IntLimit("rmqr.version.low")) + "-" +
           RmqrSizeName(IntLimit("rmqr.version.high"));
}

// The levels each Micro QR version offers, as --help says them: "no level in M1, -l L or M in M2
// and M3, L, M or Q in M4".
std::string MicroLevels() {
    std::vector<std::pair<std::string, std::vector<int>>> groups;  // the words, the versions
    for (int version = IntLimit("micro.version.low"); version <= IntLimit("micro.version.high");
         ++version) {
        const std::string names = MicroLevelNames(version);
        if (groups.empty() || groups.back().first != names) groups.push_back({names, {}});
        groups.back().second.push_back(version);
    }
    std::string text;
    bool flagSaid = false;  // "-l" before the first levels
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const std::vector<int>& versions = groups[g].second;
        std::string in;
        for (std::size_t i = 0; i < versions.size(); ++i) {
            in += (i == 0                     ? ""
                   : i + 1 == versions.size() ? " and "
                                              : ", ") +
                  std::string("M") + std::to_string(versions[i]);
        }
        text += g == 0 ? "" : ", ";
        if (groups[g].first.empty()) {
            text += "no level in " + in;
        } else {
            text += (flagSaid ? "" : "-l ") + groups[g].first + " in " + in;
            flagSaid = true;
        }
    }
    return text;
}

std::vector<HelpRow> Rows() {
    std::vector<HelpRow> rows = {
        {"-i, --input FILE", "the data is the whole file"},
        {"-o, --output FILE", "the file to write; - or none: standard output"},
        {"-t, --type TYPE",
         FormatNameList() + " (default: from the extension, BMP when unknown, utf8 on a terminal)"},
        {"-l, --level L|M|Q|H", std::string("error correction level (default ") +
                                    LevelLetter(IntLimit("level.default")) + ")"},
        {"-v, --symbol-version N", "version " + RangeText("version") + ", " + MicroVersions() +
                                       " or an rMQR size " + RmqrSizes() +
                                       " (default: the smallest that holds the data)"},
        {"--strict-version", "fail rather than take a larger version than -v"},
        {"-m, --mask N", "mask pattern " + RangeText("mask") + " (default: the lowest penalty)"},
        {"-s, --scale N", "pixels per module " + RangeText("scale") +
                              ", points for EPS and PDF (default " + Number("scale.image") + "; " +
                              Number("scale.text") + " for text)"},
        {"--margin N", "quiet zone in modules " + RangeText("margin") + " (default " +
                           Number("margin.default") + ")"},
        {"--dark COLOUR",
         "colour of the dark modules, RRGGBB or RRGGBBAA in hex, '#' optional "
         "(default " +
             ColourDigits("dark.default") + "); for " + FormatNamesWith("colours")},
        {"--light COLOUR", "colour of the light ones (default " + ColourDigits("light.default") +
                               "); alpha below FF only for " + FormatNamesWith("alpha")},
        {"--dpi N", "resolution stated in " + FormatNamesWith("dpi") + " files, " +
                        RangeText("dpi") + " dots per inch (default: none; BMP says 96)"},
        {"--utf8",
         "the data is UTF-8 text: marked as such (ECI 26), so readers show it as "
         "Unicode; no Kanji mode. The default for data that is UTF-8 and not plain "
         "ASCII"},
        {"--no-utf8, --kanji",
         "the data as bytes, UTF-8 or not: Shift JIS pairs in Kanji mode, "
         "no ECI (what slash options and Micro QR do)"},
        {"--micro", "a Micro QR symbol (" + MicroVersions() + "; -v " + MicroVersions() +
                        " implies it, and -v N means MN): " + MicroLevels() +
                        " (default: the smallest, M1 included), -m " + RangeText("micro.mask") +
                        ", margin " + Number("margin.micro")},
        {"--rmqr", "an rMQR symbol (rectangular, " + RmqrSizes() +
                       "; -v R11x59 implies it, and -v N means size N of " +
                       RangeText("rmqr.version") + "): -l M or H, no mask, no ECI, margin " +
                       Number("margin.rmqr")},
        {"--rmqr-height H", "rMQR of an odd height H, " + RangeText("rmqr.height") +
                                ": the narrowest that holds the data"},
        {"--gs1",
         "the data is a GS1 element string, [01]09501101530003[10]AB: checked, and written with "
         "FNC1 first (QR Code and rMQR)"},
        {"--fit WxH",
         "the symbol of smallest area among QR Code, Micro QR and rMQR that fits W x "
         "H modules with its quiet zone, at -l (default M); W and H may be lengths in mm, in or "
         "pt, with --dpi"},
        {"--verbose", "say on standard error what symbol was made"},
        {"--boost", "the highest level the chosen version holds"},
        {"--split N", "structured append: N symbols (" + RangeText("structured") +
                          ") of equal parts, written to -o with {n} (the symbol's number)"},
        {"--split-version V", "structured append in symbols of version V, filled in order"},
        {"--batch FILE",
         "one code per line of FILE (- for standard input), written to -o with "
         "{n} (line number) or {line} (the line, made safe for a file name) in "
         "the name, on all cores"},
        {"--payload KIND",
         "with --batch: each line is a JSON object of the fields of KIND: " + PayloadKindList()},
    };
    for (HelpRow& row : StylingHelpRows()) rows.push_back(std::move(row));
    rows.push_back({"-h, --help", "this text"});
    rows.push_back({"--version", "the program's version"});
    return rows;
}

}  // namespace

std::string SlashSynopsis() {
    return "/Ttext|/Ifile /Opath [/L" + RangeText("level") + "] [/V" + RangeText("version") +
           "] [/EN] [/M" + RangeText("mask") + "] [/S" + RangeText("scale") + "]";
}

std::string UsageText() {
    std::string text =
        "usage: tessera [options] [TEXT]\n"
        "       tessera --batch FILE -o 'dir/{n}.png' [options]\n"
        "       tessera TEXT --split N -o 'part-{n}.png' [options]\n"
        "       tessera KIND [--FIELD VALUE ...] [options]   (tessera KIND --help)\n"
        "       tessera --batch FILE --payload KIND -o 'dir/{n}.png' [options]\n"
        "       tessera " +
        SlashSynopsis() +
        " [-t TYPE]\n"
        "\n"
        "Encodes TEXT (or standard input, or -i FILE) as one QR Code symbol.\n"
        "\n";
    for (const HelpRow& row : Rows()) {
        // Flags without a short form line up with the long forms of those with one.
        const std::string flags = (row.flags[1] == '-' ? "      " : "  ") + row.flags;
        // Flags too wide for their column (two spaces at least before the text) take a line.
        text += flags.size() + 2 > kHelpColumn
                    ? flags + "\n" + std::string(kHelpColumn, ' ')
                    : flags + std::string(kHelpColumn - flags.size(), ' ');
        text += HelpColumn(row.text);
    }
    return text +
           "\n"
           "Payloads (KIND): " +
           PayloadKindList() +
           ".\n"
           "tessera KIND --help lists the fields of each.\n"
           "\n"
           "Slash options are passed to the library unchanged, with its lenient rules; -t TYPE\n"
           "among them writes that type instead of BMP.\n"
           "\n"
           "Exit status: 0 written, 1 nothing to do, 2 the data cannot be encoded, 3 the output\n"
           "cannot be written, 64 usage error.\n";
}

}  // namespace qr::cli

// Strict reading of the conventional flags.
#include "cli/command_line.h"

#include <vector>

#include "payload/payload.h"

namespace qr::cli {

namespace {

constexpr int kMaxMask = kMaskCount - 1;
constexpr std::size_t kMaxNumberDigits = 9;  // any more cannot be in range and might overflow
constexpr char kColourPrefix = '#';
constexpr std::size_t kOpaqueColourDigits = 6;  // RRGGBB
constexpr std::size_t kColourDigits = 8;        // RRGGBBAA
// The lines of --help: flags in the first 27 columns, their descriptions up to column 88.
constexpr std::size_t kHelpColumn = 27;
constexpr std::size_t kHelpWidth = 88;

enum class FlagId {
    kInput,
    kOutput,
    kLevel,
    kVersion,
    kMask,
    kScale,
    kType,
    kStrictVersion,
    kBatch,
    kHelp,
    kShowVersion,
    kUtf8,
    kBytes,
    kMargin,
    kDark,
    kLight,
    kDpi,
    kMicro,
    kBoost,
    kSplit,
    kSplitVersion,
    kPayload,
};

struct Flag {
    char shortName;  // '\0' when there is only the long name
    const char* longName;
    bool takesValue;
    FlagId id;
};

constexpr Flag FLAGS[] = {
    {'i', "input", true, FlagId::kInput},
    {'o', "output", true, FlagId::kOutput},
    {'l', "level", true, FlagId::kLevel},
    {'v', "symbol-version", true, FlagId::kVersion},
    {'m', "mask", true, FlagId::kMask},
    {'s', "scale", true, FlagId::kScale},
    {'t', "type", true, FlagId::kType},
    {'\0', "strict-version", false, FlagId::kStrictVersion},
    {'\0', "batch", true, FlagId::kBatch},
    {'h', "help", false, FlagId::kHelp},
    {'\0', "version", false, FlagId::kShowVersion},
    {'\0', "utf8", false, FlagId::kUtf8},
    {'\0', "no-utf8", false, FlagId::kBytes},
    {'\0', "kanji", false, FlagId::kBytes},
    {'\0', "margin", true, FlagId::kMargin},
    {'\0', "dark", true, FlagId::kDark},
    {'\0', "light", true, FlagId::kLight},
    {'\0', "dpi", true, FlagId::kDpi},
    {'\0', "micro", false, FlagId::kMicro},
    {'\0', "boost", false, FlagId::kBoost},
    {'\0', "split", true, FlagId::kSplit},
    {'\0', "split-version", true, FlagId::kSplitVersion},
    {'\0', "payload", true, FlagId::kPayload},
};

const Flag* FindShort(char name) {
    for (const Flag& flag : FLAGS) {
        if (flag.shortName != '\0' && flag.shortName == name) return &flag;
    }
    return nullptr;
}

const Flag* FindLong(const std::string& name) {
    for (const Flag& flag : FLAGS) {
        if (name == flag.longName) return &flag;
    }
    return nullptr;
}

// A value of decimal digits only, within [low, high].
bool ParseWholeNumber(const std::string& text, int low, int high, int* value) {
    if (text.empty() || text.size() > kMaxNumberDigits) return false;
    int number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
    }
    if (number < low || number > high) return false;
    *value = number;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool HasPlaceholder(const std::string& pattern) {
    return pattern.find("{n}") != std::string::npos || pattern.find("{line}") != std::string::npos;
}

// Applies one flag and its value; returns the error or an empty string.
std::string Apply(const Flag& flag, const std::string& spelled, const std::string& value,
                  CommandLine* line) {
    const std::string quoted = PrintableName(value);
    switch (flag.id) {
        case FlagId::kInput:
            if (value.empty()) return spelled + " needs a file name";
            if (!line->inputPath.empty()) return spelled + " may be given only once";
            line->inputPath = value;
            break;
        case FlagId::kOutput:
            if (value.empty()) return spelled + " needs a file name, or - for standard output";
            if (line->hasOutput) return spelled + " may be given only once";
            line->hasOutput = true;
            line->outputPath = value;
            break;
        case FlagId::kLevel: {
            for (int level = TESSERA_LEVEL_L; level <= TESSERA_LEVEL_H; ++level) {
                const char letter = LevelLetter(level);
                if (value.size() == 1 && (value[0] == letter || value[0] == letter + ('a' - 'A'))) {
                    line->level = level;
                    return std::string();
                }
            }
            return spelled + " takes L, M, Q or H, not " + quoted;
        }
        case FlagId::kVersion:
            // "M1" to "M4" name a Micro QR version and ask for Micro QR.
            if ((value[0] == 'M' || value[0] == 'm') &&
                ParseWholeNumber(value.substr(1), 1, kMicroVersionCount, &line->version)) {
                line->microVersion = true;
            } else if (ParseWholeNumber(value, kMinVersion, kMaxVersion, &line->version)) {
                line->microVersion = false;
            } else {
                return spelled + " takes a version from " + std::to_string(kMinVersion) + " to " +
                       std::to_string(kMaxVersion) + " or M1 to M" +
                       std::to_string(kMicroVersionCount) + ", not " + quoted;
            }
            break;
        case FlagId::kMask:
            if (!ParseWholeNumber(value, 0, kMaxMask, &line->mask)) {
                return spelled + " takes a mask from 0 to " + std::to_string(kMaxMask) + ", not " +
                       quoted;
            }
            break;
        case FlagId::kScale:
            if (!ParseWholeNumber(value, kMinScale, kMaxScale, &line->scale)) {
                return spelled + " takes pixels per module from " + std::to_string(kMinScale) +
                       " to " + std::to_string(kMaxScale) + ", not " + quoted;
            }
            break;
        case FlagId::kType:
            if (!FormatFromName(value.c_str(), &line->type)) {
                return spelled + " takes " + FormatNameList() + ", not " + quoted;
            }
            line->hasType = true;
            break;
        case FlagId::kStrictVersion:
            line->strictVersion = true;
            break;
        case FlagId::kBatch:
            if (value.empty()) return spelled + " needs a file name, or - for standard input";
            line->batch = true;
            line->batchPath = value;
            break;
        case FlagId::kHelp:
            line->help = true;
            break;
        case FlagId::kShowVersion:
            line->showVersion = true;
            break;
        case FlagId::kUtf8:
            line->utf8 = true;
            break;
        case FlagId::kBytes:
            line->bytes = true;
            break;
        case FlagId::kMargin:
            if (!ParseWholeNumber(value, kMinMargin, kMaxMargin, &line->margin)) {
                return spelled + " takes a quiet zone from " + std::to_string(kMinMargin) + " to " +
                       std::to_string(kMaxMargin) + " modules, not " + quoted;
            }
            break;
        case FlagId::kDark:
        case FlagId::kLight:
            if (!ParseColour(value, flag.id == FlagId::kDark ? &line->dark : &line->light)) {
                return spelled + " takes a colour RRGGBB or RRGGBBAA in hex, not " + quoted;
            }
            break;
        case FlagId::kDpi:
            if (!ParseWholeNumber(value, kMinDpi, kMaxDpi, &line->dpi)) {
                return spelled + " takes dots per inch from " + std::to_string(kMinDpi) + " to " +
                       std::to_string(kMaxDpi) + ", not " + quoted;
            }
            break;
        case FlagId::kMicro:
            line->microFlag = true;
            break;
        case FlagId::kBoost:
            line->boost = true;
            break;
        case FlagId::kSplit:
            if (!ParseWholeNumber(value, kMinStructuredSymbols, kMaxStructuredSymbols,
                                  &line->split)) {
                return spelled + " takes a number of symbols from " +
                       std::to_string(kMinStructuredSymbols) + " to " +
                       std::to_string(kMaxStructuredSymbols) + ", not " + quoted;
            }
            break;
        case FlagId::kSplitVersion:
            if (!ParseWholeNumber(value, kMinVersion, kMaxVersion, &line->splitVersion)) {
                const bool micro = !value.empty() && (value[0] == 'M' || value[0] == 'm');
                return spelled + " takes a version from " + std::to_string(kMinVersion) + " to " +
                       std::to_string(kMaxVersion) + ", not " + quoted +
                       (micro ? ": Micro QR has no structured append" : "");
            }
            break;
        case FlagId::kPayload:
            if (payload::FieldsOf(value).empty()) {
                return spelled + " takes " + PayloadKindList() + ", not " + quoted;
            }
            line->payload = value;
            break;
    }
    return std::string();
}

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

namespace {

// What Micro QR does not offer, in the library's words with the flags to change, or in the
// words of the flags; empty when the flags ask for none of it. The rules are the library's.
std::string MicroRefusalText(const CommandLine& line) {
    const EncodeSettings settings = EncodeSettingsOf(line);
    const std::string said = CheckEncodeSettings(settings, line.Structured());
    switch (CheckMicroSettings(settings, line.Structured())) {
        case MicroRefusal::kNone:
            break;
        case MicroRefusal::kStructured:
            return said + ": leave out --split or --micro";
        case MicroRefusal::kUtf8:
            return said + ": leave out --utf8 or --micro";
        case MicroRefusal::kVersion:
            return "-v " + std::to_string(line.version) + " is out of range for Micro QR: M1 to M" +
                   std::to_string(kMicroVersionCount);
        case MicroRefusal::kLevel: {
            const std::string name = "M" + std::to_string(line.version);
            if (line.version == 0) return said;
            if (MicroLevelNames(line.version).empty()) {
                return name + " has no error-correction level: leave out -l, or take M" +
                       std::to_string(line.version + 1) + " or above";
            }
            return name + " has no level " + LevelLetter(line.level) + ": take -l " +
                   MicroLevelNames(line.version) + ", or -v M" +
                   std::to_string(SmallestMicroVersionWith(line.level));
        }
        case MicroRefusal::kMask:
            return "Micro QR has masks 0 to " + std::to_string(kMicroMaskCount - 1) + ", not '" +
                   std::to_string(line.mask) + "'";
    }
    return std::string();
}

// Checks the flags against each other once all are read.
std::string CheckCombination(const CommandLine& line) {
    if ((line.hasText || line.standardInput) && !line.inputPath.empty()) {
        return "give the text or -i FILE, not both";
    }
    if (line.utf8 && line.bytes) return "give --utf8 or --no-utf8 (--kanji), not both";
    if (line.strictVersion && line.version == 0) return "--strict-version needs -v N";
    // An image format we do not write would get BMP bytes under its name.
    if (line.hasOutput && !line.hasType && IsForeignImageExtension(line.outputPath.c_str())) {
        return PrintableName(line.outputPath) +
               " names an image format that tessera does not write; it writes " + FormatNameList() +
               " (give -t TYPE to write one of them under this name)";
    }
    const std::string micro = MicroRefusalText(line);
    if (!micro.empty()) return micro;
    if (line.Structured()) {
        if (line.split != 0 && line.splitVersion != 0) {
            return "give --split N or --split-version V, not both";
        }
        if (line.batch) return "--batch and --split do not go together";
        if (!line.hasOutput || line.outputPath.find("{n}") == std::string::npos) {
            return "--split writes several symbols: give -o with {n} in the file name";
        }
    }
    if (!line.payload.empty() && !line.batch) {
        return "--payload is for --batch; one code is made by tessera " + line.payload +
               " and its fields";
    }
    if (line.batch) {
        if (line.hasText || line.standardInput || !line.inputPath.empty()) {
            return "--batch reads its data from its file; give no text and no -i";
        }
        if (!line.hasOutput || !HasPlaceholder(line.outputPath)) {
            return "--batch needs -o with {n} or {line} in the file name";
        }
    }
    return std::string();
}

}  // namespace

EncodeSettings EncodeSettingsOf(const CommandLine& line) {
    EncodeSettings settings;
    settings.level = line.level;
    settings.version = line.version;
    settings.strictVersion = line.strictVersion;
    settings.mask = line.mask;
    settings.utf8 = line.utf8;
    settings.utf8WhenText = !line.utf8 && !line.bytes;
    settings.micro = line.micro;
    settings.boost = line.boost;
    if (line.splitVersion != 0) settings.version = line.splitVersion;
    return settings;
}

OutputSettings OutputSettingsOf(const CommandLine& line, bool toTerminal) {
    OutputSettings settings;
    if (line.hasType) {
        settings.format = line.type;
    } else if (ToStandardOutput(line)) {
        settings.format = toTerminal ? ImageFormat::kUtf8 : ImageFormat::kBmp;
    } else if (!FormatFromExtension(line.outputPath.c_str(), &settings.format)) {
        settings.format = ImageFormat::kBmp;
    }
    SetRenderFlags(line, &settings);
    return settings;
}

bool ToStandardOutput(const CommandLine& line) {
    return !line.hasOutput || line.outputPath == kStandardStream;
}

void SetRenderFlags(const CommandLine& line, OutputSettings* output) {
    output->scale = line.scale;
    output->margin = line.margin;
    output->dark = line.dark;
    output->light = line.light;
    output->dpi = line.dpi;
}

bool ParseColour(const std::string& text, Rgba* colour) {
    const std::size_t first = !text.empty() && text[0] == kColourPrefix ? 1 : 0;
    const std::size_t digits = text.size() - first;
    if (digits != kOpaqueColourDigits && digits != kColourDigits) return false;
    Rgba value = 0;
    for (std::size_t i = first; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) return false;
        value = value << 4 | static_cast<Rgba>(digit);
    }
    *colour = digits == kOpaqueColourDigits ? value << 8 | kOpaqueAlpha : value;
    return true;
}

std::string PayloadKindList() {
    std::string list;
    const std::vector<payload::KindInfo> kinds = payload::Kinds();
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        list += std::string(i == 0 ? "" : i + 1 == kinds.size() ? " or " : ", ") + kinds[i].name;
    }
    return list;
}

bool TakesNextArgument(const std::string& arg) {
    const Flag* flag = nullptr;
    if (arg.compare(0, 2, "--") == 0 && arg.find('=') == std::string::npos) {
        flag = FindLong(arg.substr(2));
    } else if (arg.size() == 2 && arg[0] == '-') {
        flag = FindShort(arg[1]);
    }
    return flag != nullptr && flag->takesValue;
}

std::string ParseCommandLine(int argc, const char* const* argv, CommandLine* line) {
    bool flagsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (flagsEnded || arg.size() < 2 || arg[0] != '-') {
            if (line->hasText || line->standardInput) {
                return "only one text may be given (quote text with spaces)";
            }
            if (arg == "-" && !flagsEnded) {
                line->standardInput = true;
            } else {
                line->hasText = true;
                line->text = arg;
            }
            continue;
        }
        if (arg == "--") {
            flagsEnded = true;
            continue;
        }
        const Flag* flag;
        std::string spelled;
        std::string value;
        bool hasValue = false;
        if (arg[1] == '-') {
            const std::string::size_type equals = arg.find('=');
            spelled = arg.substr(0, equals);
            flag = FindLong(spelled.substr(2));
            if (equals != std::string::npos) {
                hasValue = true;
                value = arg.substr(equals + 1);
            }
        } else {
            spelled = arg.substr(0, 2);
            flag = FindShort(arg[1]);
            if (flag != nullptr && arg.size() > 2) {
                if (!flag->takesValue) {
                    return "unknown option " + PrintableName(arg) + "; see tessera --help";
                }
                hasValue = true;
                value = arg.substr(2);
            }
        }
        if (flag == nullptr) {
            return "unknown option " + PrintableName(spelled) + "; see tessera --help";
        }
        if (flag->takesValue && !hasValue) {
            if (i + 1 >= argc) return spelled + " needs a value";
            value = argv[++i];
        } else if (!flag->takesValue && hasValue) {
            return spelled + " takes no value";
        }
        const std::string error = Apply(*flag, spelled, value, line);
        if (!error.empty()) return error;
    }
    // -v N after --micro is MN as much as before it.
    line->micro = line->microFlag || line->microVersion;
    if (line->help || line->showVersion) return std::string();
    return CheckCombination(*line);
}

std::string UsageText() {
    const std::string head =
        "usage: tessera [options] [TEXT]\n"
        "       tessera --batch FILE -o 'dir/{n}.png' [options]\n"
        "       tessera TEXT --split N -o 'part-{n}.png' [options]\n"
        "       tessera KIND [--FIELD VALUE ...] [options]   (tessera KIND --help)\n"
        "       tessera --batch FILE --payload KIND -o 'dir/{n}.png' [options]\n"
        "       tessera /Ttext|/Ifile /Opath [/L0-3] [/V1-40] [/EN] [/M0-7] [/S1-20] [-t TYPE]\n"
        "\n"
        "Encodes TEXT (or standard input, or -i FILE) as one QR Code symbol.\n"
        "\n"
        "  -i, --input FILE         the data is the whole file\n"
        "  -o, --output FILE        the file to write; - or none: standard output\n";
    return head + "  -t, --type TYPE          " +
           HelpColumn(FormatNameList() +
                      " (default: from the extension, BMP when unknown, utf8 on a terminal)") +
           "  -l, --level L|M|Q|H      error correction level (default M)\n"
           "  -v, --symbol-version N   version 1-40 or M1-M4 (default: the smallest that holds\n"
           "                           the data)\n"
           "      --strict-version     fail rather than take a larger version than -v\n"
           "  -m, --mask N             mask pattern 0-7 (default: the lowest penalty)\n"
           "  -s, --scale N            pixels per module 1-20, points for EPS and PDF (default 4;\n"
           "                           1 for text)\n"
           "      --margin N           quiet zone in modules 0-64 (default 4)\n"
           "      --dark COLOUR        " +
           HelpColumn(
               "colour of the dark modules, RRGGBB or RRGGBBAA in hex, '#' optional "
               "(default 000000); for " +
               FormatNamesWith(&ImageFormatInfo::colours)) +
           "      --light COLOUR       " +
           HelpColumn("colour of the light ones (default ffffff); alpha below FF only for " +
                      FormatNamesWith(&ImageFormatInfo::alpha)) +
           "      --dpi N              " +
           HelpColumn("resolution stated in " + FormatNamesWith(&ImageFormatInfo::dpi) +
                      " files, 1-100000 dots per inch (default: none; BMP says 96)") +
           "      --utf8               the data is UTF-8 text: marked as such (ECI 26), so\n"
           "                           readers show it as Unicode; no Kanji mode. The default\n"
           "                           for data that is UTF-8 and not plain ASCII\n"
           "      --no-utf8, --kanji   the data as bytes, UTF-8 or not: Shift JIS pairs in Kanji\n"
           "                           mode, no ECI (what slash options and Micro QR do)\n"
           "      --micro              a Micro QR symbol (M1-M4; -v M1..M4 implies it, and -v N\n"
           "                           means MN): no level in M1, -l L or M in M2 and M3, L, M\n"
           "                           or Q in M4 (default: the smallest, M1 included), -m 0-3,\n"
           "                           margin 2\n"
           "      --boost              the highest level the chosen version holds\n"
           "      --split N            structured append: N symbols (2-16) of equal parts,\n"
           "                           written to -o with {n} (the symbol's number)\n"
           "      --split-version V    structured append in symbols of version V, filled in order\n"
           "      --batch FILE         one code per line of FILE (- for standard input), written\n"
           "                           to -o with {n} (line number) or {line} (the line, made\n"
           "                           safe for a file name) in the name, on all cores\n"
           "      --payload KIND       " +
           HelpColumn("with --batch: each line is a JSON object of the fields of KIND: " +
                      PayloadKindList()) +
           "  -h, --help               this text\n"
           "      --version            the program's version\n"
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

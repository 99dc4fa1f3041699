// Strict reading of the conventional flags.
#include "cli/command_line.h"

#include "cli/flag_rules.h"
#include "cli/limits.h"
#include "cli/usage.h"
#include "module/messages.h"
#include "module/styling.h"

namespace qr::cli {

namespace {

constexpr std::size_t kMaxNumberDigits = 9;  // any more cannot be in range and might overflow

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
    kRmqr,
    kRmqrHeight,
    kGs1,
    kFit,
    kVerbose,
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
    {'\0', "rmqr", false, FlagId::kRmqr},
    {'\0', "rmqr-height", true, FlagId::kRmqrHeight},
    {'\0', "gs1", false, FlagId::kGs1},
    {'\0', "fit", true, FlagId::kFit},
    {'\0', "verbose", false, FlagId::kVerbose},
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

// A value of decimal digits only, within the library's rows `prefix`.low and `prefix`.high.
bool ParseInRange(const std::string& text, const char* prefix, int* value) {
    const std::string row = prefix;
    return ParseWholeNumber(text, IntLimit((row + ".low").c_str()),
                            IntLimit((row + ".high").c_str()), value);
}

// "from LOW to HIGH" of the library's rows `prefix`.low and `prefix`.high.
std::string FromTo(const char* prefix) {
    const std::string row = prefix;
    return "from " + std::to_string(Limit((row + ".low").c_str())) + " to " +
           std::to_string(Limit((row + ".high").c_str()));
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// --fit's box given in lengths ("40mmx12mm", or "40x12mm", where the height's unit is the width's
// too) made into whole modules of --scale pixels (the images' default without it) at --dpi.
// Returns the error or an empty string.
std::string FitLengthsInModules(CommandLine* line) {
    const std::string& box = line->fitLengths;
    const std::string quoted = "'" + box + "'";
    if (line->dpi == 0) {
        return "--fit " + quoted + " needs --dpi: with --scale it sets how long a module is";
    }
    const std::string::size_type x = box.find_first_of("xX");
    std::string width = box.substr(0, x);
    const std::string height = box.substr(x + 1);
    if (!width.empty() && !IsLetter(width.back())) {
        std::string::size_type unit = height.size();
        while (unit > 0 && IsLetter(height[unit - 1])) --unit;
        width += height.substr(unit);
    }
    const int scale = line->scale != 0 ? line->scale : IntLimit("scale.image");
    const int across = ModulesAcross(width, line->dpi, scale);
    const int down = ModulesAcross(height, line->dpi, scale);
    if (across < 0 || down < 0) {
        return "--fit takes WIDTHxHEIGHT in modules, or in mm, in or pt, not " + quoted;
    }
    const std::string modules = std::to_string(across) + "x" + std::to_string(down);
    if (!ParseInRange(std::to_string(across), "fit", &line->fitWidth) ||
        !ParseInRange(std::to_string(down), "fit", &line->fitHeight)) {
        return "--fit " + quoted + " is " + modules + " modules of " + std::to_string(scale) +
               " pixels at " + std::to_string(line->dpi) + " dpi; each side must be " +
               FromTo("fit");
    }
    return std::string();
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
            for (int level = IntLimit("level.low"); level <= IntLimit("level.high"); ++level) {
                const char letter = LevelLetter(level);
                if (value.size() == 1 && (value[0] == letter || value[0] == letter + ('a' - 'A'))) {
                    line->level = level;
                    return std::string();
                }
            }
            return spelled + " takes L, M, Q or H, not " + quoted;
        }
        case FlagId::kVersion:
            // "M1" to "M4" name a Micro QR version and ask for Micro QR, "R7x43" and the like an
            // rMQR size, as the library names them.
            line->microVersion = line->rmqrVersion = false;
            if ((value[0] == 'M' || value[0] == 'm') &&
                ParseInRange(value.substr(1), "micro.version", &line->version)) {
                line->microVersion = true;
            } else if (value[0] == 'R' || value[0] == 'r') {
                line->version = tessera_rmqr_version(value.c_str());
                if (line->version == 0) {
                    return spelled + " takes an rMQR size such as R11x59, not " + quoted;
                }
                line->rmqrVersion = true;
            } else if (!ParseInRange(value, "version", &line->version)) {
                return spelled + " takes a version " + FromTo("version") + " or M" +
                       std::to_string(Limit("micro.version.low")) + " to M" +
                       std::to_string(Limit("micro.version.high")) + ", not " + quoted;
            }
            break;
        case FlagId::kMask:
            if (!ParseInRange(value, "mask", &line->mask)) {
                return spelled + " takes a mask " + FromTo("mask") + ", not " + quoted;
            }
            break;
        case FlagId::kScale:
            if (!ParseInRange(value, "scale", &line->scale)) {
                return spelled + " takes pixels per module " + FromTo("scale") + ", not " + quoted;
            }
            break;
        case FlagId::kType:
            line->type = tessera_format_from_name(value.c_str());
            if (line->type < 0) return spelled + " takes " + FormatNameList() + ", not " + quoted;
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
            if (!ParseInRange(value, "margin", &line->margin)) {
                return spelled + " takes a quiet zone " + FromTo("margin") + " modules, not " +
                       quoted;
            }
            break;
        case FlagId::kDark:
        case FlagId::kLight:
            if (!ParseColour(value, flag.id == FlagId::kDark ? &line->dark : &line->light)) {
                return spelled + " takes a colour RRGGBB or RRGGBBAA in hex, not " + quoted;
            }
            break;
        case FlagId::kDpi:
            if (!ParseInRange(value, "dpi", &line->dpi)) {
                return spelled + " takes dots per inch " + FromTo("dpi") + ", not " + quoted;
            }
            break;
        case FlagId::kMicro:
            line->microFlag = true;
            break;
        case FlagId::kBoost:
            line->boost = true;
            break;
        case FlagId::kRmqr:
            line->rmqrFlag = true;
            break;
        case FlagId::kRmqrHeight:
            if (!ParseInRange(value, "rmqr.height", &line->rmqrHeight) ||
                line->rmqrHeight % 2 == 0) {
                return spelled + " takes an odd height " + FromTo("rmqr.height") + ", not " +
                       quoted;
            }
            break;
        case FlagId::kGs1:
            line->gs1 = true;
            break;
        case FlagId::kFit: {
            const std::string::size_type x = value.find_first_of("xX");
            line->fitLengths.clear();
            if (x != std::string::npos && IsLetter(value.back())) {
                line->fitLengths = value;  // made into modules once every flag is read
                break;
            }
            if (x == std::string::npos ||
                !ParseInRange(value.substr(0, x), "fit", &line->fitWidth) ||
                !ParseInRange(value.substr(x + 1), "fit", &line->fitHeight)) {
                return spelled + " takes WIDTHxHEIGHT in modules, each " + FromTo("fit") +
                       ", or in mm, in or pt with --dpi, not " + quoted;
            }
            break;
        }
        case FlagId::kVerbose:
            line->verbose = true;
            break;
        case FlagId::kSplit:
            if (!ParseInRange(value, "structured", &line->split)) {
                return spelled + " takes a number of symbols " + FromTo("structured") + ", not " +
                       quoted;
            }
            break;
        case FlagId::kSplitVersion:
            if (!ParseInRange(value, "version", &line->splitVersion)) {
                const bool micro = !value.empty() && (value[0] == 'M' || value[0] == 'm');
                return spelled + " takes a version " + FromTo("version") + ", not " + quoted +
                       (micro ? ": Micro QR has no structured append" : "");
            }
            break;
        case FlagId::kPayload:
            if (tessera_payload_kind_help(value.c_str()) == nullptr) {
                return spelled + " takes " + PayloadKindList() + ", not " + quoted;
            }
            line->payload = value;
            break;
    }
    return std::string();
}

}  // namespace

bool ParseColour(const std::string& text, std::uint32_t* colour) {
    return ParseRgba(text, colour);
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
        std::string styleError;
        if (const int used = ParseStylingFlag(argc, argv, i, &line->styling, &styleError)) {
            if (!styleError.empty()) return styleError;
            i += used - 1;
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
    line->rmqr = line->rmqrFlag || line->rmqrVersion || line->rmqrHeight != 0;
    if (line->help || line->showVersion) return std::string();
    if (!line->fitLengths.empty()) {
        const std::string fitted = FitLengthsInModules(line);
        if (!fitted.empty()) return fitted;
    }
    const std::string error = CheckCombination(*line);
    return error.empty() ? FinishStylingFlags(line) : error;
}

}  // namespace qr::cli

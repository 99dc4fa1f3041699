// The command's conventional flags, read strictly: a value out of range or a flag that is not
// known is an error, never a silent default.
#pragma once

#include <string>

#include "cli/output_type.h"

namespace qr::cli {

// The exit status of a usage error.
constexpr int kExitUsage = 64;

constexpr int kMinScale = 1;
constexpr int kMaxScale = 20;

struct CommandLine {
    bool help = false;
    bool showVersion = false;
    bool hasText = false;  // the text argument; without it and without -i, standard input
    std::string text;
    bool standardInput = false;  // "-" in place of the text: standard input even on a terminal
    std::string inputPath;       // -i; empty when not given
    bool hasOutput = false;      // -o; without it, standard output
    std::string outputPath;      // "-" is standard output
    int level = 1;               // EcLevel
    int version = 0;             // 1..40, 0 for the smallest that holds the data
    bool strictVersion = false;
    int mask = -1;  // 0..7, -1 for the lowest penalty
    int scale = 0;  // 1..20, 0 for the type's default
    bool hasType = false;
    OutputType type = OutputType::kBmp;
    bool utf8 = false;  // the text is UTF-8: an ECI designator, no Kanji pairs
    bool batch = false;
    std::string batchPath;  // "-" is standard input
};

// Reads the arguments after the program name into `line`. Returns an empty string when they are
// valid, else one line that says what is wrong (without a "tessera:" prefix).
std::string ParseCommandLine(int argc, const char* const* argv, CommandLine* line);

// The text of --help.
const char* UsageText();

}  // namespace qr::cli

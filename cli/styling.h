// The command's styling flags: one per part of a style that text gives (module/styling.h names
// them: --shape, --finder, --finder-dark, ..., --gradient, --logo-size, --cmyk, --size), and
// --logo FILE, --title, --desc and --verify.
#pragma once

#include <string>
#include <vector>

#include "cli/usage.h"
#include "module/styling.h"

namespace qr::cli {

struct CommandLine;

struct StylingFlags {
    StyleOptions style;   // its logo, title and description point into the strings below
    bool styled = false;  // a styling flag other than --verify was given
    bool verify = false;
    std::string logoPath;
    std::string logo;  // the logo file's bytes, read once the flags are read
    std::string title;
    std::string description;
};

// Reads argv[i], and its value, when it is a styling flag (--NAME VALUE or --NAME=VALUE) into
// `flags`. Returns how many arguments it took: 0 when argv[i] is no styling flag, else 1 or 2,
// with one line in `error` when the value is refused.
int ParseStylingFlag(int argc, const char* const* argv, int i, StylingFlags* flags,
                     std::string* error);

// Checks the styling flags against the others once all are read, reads the logo file, points the
// style at the texts, and asks for level H for a logo unless a level was given. Returns an empty
// string, or one line that says what is wrong.
std::string FinishStylingFlags(CommandLine* line);

// The rows of --help for the styling flags.
std::vector<HelpRow> StylingHelpRows();

// Renders and writes `symbol` as RenderWrite() does, with the style of the flags, and with
// --verify prints each problem found. Returns the exit status, with its message printed.
int WriteStyled(const StylingFlags& flags, const Symbol& symbol, const OutputSettings& output,
                const Destination& destination);

// With --verify in `flags`, verifies `symbol` as it is drawn with `output` and the flags' style
// (--batch and --split write many), and appends one line per problem found, "'NAME': PROBLEM\n",
// to `lines`. Returns TESSERA_OK, also without --verify, or the status that kept the symbol from
// being verified, with one line in `message`.
Status VerifyNamed(const StylingFlags& flags, const Symbol& symbol, const OutputSettings& output,
                   const std::string& name, std::string* lines, std::string* message);

// What starts each line --verify prints.
constexpr const char* kVerifyPrefix = "tessera: verify: ";

// Prints each line of `lines` (each ending in '\n') to standard error after `prefix`.
void PrintLines(const std::string& prefix, const std::string& lines);

}  // namespace qr::cli

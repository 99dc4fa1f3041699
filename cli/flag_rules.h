// The rules between the command's flags, checked once every flag is read.
#pragma once

#include <string>

#include "cli/command_line.h"

namespace qr::cli {

// Checks the flags of `line` against each other and against the library's rules for settings.
// Returns an empty string when they go together, else one line that says what is wrong and which
// flag to change (without a "tessera:" prefix).
std::string CheckCombination(const CommandLine& line);

}  // namespace qr::cli

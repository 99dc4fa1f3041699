// The command's words about itself: --help, and the synopsis of the slash options. Every range,
// default and list of formats in them is read from the library (cli/limits.h, the C API's format
// facts), so that they say what the library does.
#pragma once

#include <string>

namespace qr::cli {

// The text of --help.
std::string UsageText();

// "/Ttext|/Ifile /Opath [/L0-3] [/V1-40] [/EN] [/M0-7] [/S1-20]": the one-export library's options.
std::string SlashSynopsis();

}  // namespace qr::cli

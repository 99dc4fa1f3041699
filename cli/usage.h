// The command's words about itself: --help, and the synopsis of the slash options. Every range,
// default and list of formats in them is read from the library (cli/limits.h, the C API's format
// facts), so that they say what the library does.
#pragma once

#include <string>
#include <vector>

namespace qr::cli {

// One option of --help: its flags and what it does.
struct HelpRow {
    std::string flags;  // "-l, --level L|M|Q|H"
    std::string text;
};

// The text of --help.
std::string UsageText();

// `text` as the description column of help: lines of at most 88 columns, broken at spaces, each
// after the first indented to column 27, the last ended by a newline.
std::string HelpColumn(const std::string& text);

// The payload kinds as the library lists them: "wifi, vcard, ... or otp".
std::string PayloadKindList();

// "/Ttext|/Ifile /Opath [/L0-3] [/V1-40] [/EN] [/M0-7] [/S1-20]": the one-export library's options.
std::string SlashSynopsis();

}  // namespace qr::cli

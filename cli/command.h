// The tessera command: the library's slash options, or conventional flags.
#pragma once

#include <string>

#include "module/settings.h"

namespace qr::cli {

// Exit statuses: the library's result codes, 5 for a symbol --verify finds fault with, and 64
// for a usage error.
constexpr int kWritten = TESSERA_OK;
constexpr int kNothingToDo = TESSERA_ERROR_NOTHING_TO_DO;
constexpr int kCannotEncode = TESSERA_ERROR_CANNOT_ENCODE;
constexpr int kCannotWrite = TESSERA_ERROR_CANNOT_WRITE;
constexpr int kExitUsage = 64;
// Written, but --verify found problems: the symbol may not read, or reads without margin.
constexpr int kExitNotVerified = 5;
// Interrupted by a signal: this plus the signal's number, as shells report it.
constexpr int kExitSignalBase = 128;

// The path that means standard input (for data) or standard output (for the symbol).
constexpr const char* kStandardStream = "-";

// The exit status of a pipeline status: bad settings are a usage error, and every failure to
// make or write the output (no memory, a format this build lacks) is 3.
int ExitStatusOf(Status status);

struct CommandLine;

// Prints "tessera: `message`" as a line on standard error; returns `status`.
int Fail(int status, const std::string& message);

// Writes `text` to standard output. Returns 0, or 3 with a message when that fails.
int Print(const std::string& text);

// Writes the one code (or the structured-append set) that `line` asks for, its data the text,
// -i FILE or standard input, encoded with `encode` (EncodeSettingsOf(line), or the settings a
// payload's limits leave), to -o FILE or standard output. Returns the exit status, with its
// message printed.
int WriteCode(const CommandLine& line, const EncodeSettings& encode);

// Runs the command of main() and returns its exit status: 0 written, 1 nothing
// to do, 2 the data cannot be encoded, 3 the output cannot be written, 64 usage. Arguments whose
// first one begins with '/' are the library's options, run down the library's own road (written
// as another format with -t TYPE).
int RunCommand(int argc, char** argv);

}  // namespace qr::cli

// The tessera command: the library's slash options, or conventional flags.
#pragma once

#include "module/settings.h"

namespace qr::cli {

// Exit statuses: the library's result codes, and 64 for a usage error.
constexpr int kWritten = TESSERA_OK;
constexpr int kNothingToDo = TESSERA_ERROR_NOTHING_TO_DO;
constexpr int kCannotEncode = TESSERA_ERROR_CANNOT_ENCODE;
constexpr int kCannotWrite = TESSERA_ERROR_CANNOT_WRITE;
constexpr int kExitUsage = 64;
// Interrupted by a signal: this plus the signal's number, as shells report it.
constexpr int kExitSignalBase = 128;

// The path that means standard input (for data) or standard output (for the symbol).
constexpr const char* kStandardStream = "-";

// The exit status of a pipeline status: bad settings are a usage error, and every failure to
// make or write the output (no memory, a format this build lacks) is 3.
int ExitStatusOf(Status status);

// Runs the command on the arguments of main() and returns its exit status: 0 written, 1 nothing
// to do, 2 the data cannot be encoded, 3 the output cannot be written, 64 usage. Arguments whose
// first one begins with '/' are the library's options, run down the library's own road (written
// as another format with -t TYPE).
int RunCommand(int argc, char** argv);

}  // namespace qr::cli

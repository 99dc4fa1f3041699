// The tessera command: the library's slash options, or conventional flags.
#pragma once

namespace qr::cli {

// Runs the command on the arguments of main() and returns its exit status: 0 written, 1 nothing
// to do, 2 the data cannot be encoded, 3 the output cannot be written, 64 usage. Arguments whose
// first one begins with '/' are the library's options; `tessera` is called with them unchanged
// unless -t TYPE is among them.
int RunCommand(int argc, char** argv);

}  // namespace qr::cli

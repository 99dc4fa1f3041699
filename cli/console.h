// The command's terminal: whether a standard stream is one.
#pragma once

namespace qr::cli {

// Whether standard input (0), output (1) or error (2) is a terminal.
bool IsTerminal(int stream);

}  // namespace qr::cli

// The command's standard streams: whether one is a terminal, binary output, and whole input.
#pragma once

#include <cstdio>
#include <string>

namespace qr::cli {

// Whether standard input (0), output (1) or error (2) is a terminal.
bool IsTerminal(int stream);

// Reads the whole of `file` (standard input or an opened file) into `data`, in binary. Returns
// false when reading fails.
bool ReadAll(std::FILE* file, std::string* data);

// Reads the whole file at `path` into `data`. Returns false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* data);

// Writes `bytes` to standard output in binary and flushes it. Returns false when that fails.
bool WriteStandardOutput(const std::string& bytes);

}  // namespace qr::cli

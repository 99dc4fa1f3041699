// Batches: one symbol per line of a file, encoded on all cores.
#pragma once

#include <string>

#include "cli/command_line.h"

namespace qr::cli {

// The file name for line `number` (from 1) holding `line`: every "{n}" of `pattern` becomes the
// number and every "{line}" the line made safe for a file name (SafeFileName).
std::string ExpandPattern(const std::string& pattern, int number, const std::string& line);

// `line` with every byte other than A-Z, a-z, 0-9, '.', '-' and '_' replaced by '_', a leading
// '.' too (no hidden files, no "." or ".."), cut to its first kMaxSafeNameBytes bytes.
std::string SafeFileName(const std::string& line);
constexpr std::size_t kMaxSafeNameBytes = 100;

// Runs the batch of `line` (batch set, output pattern checked): reads the lines (a "\r" before
// the "\n" is dropped; blank lines are skipped), writes one symbol per line on all cores, shows
// a progress bar on standard error when it is a terminal, reports each failed line and a summary
// line there. Returns 0 when every line was written, 1 when there was no line, else the largest
// result code of a failed line.
int RunBatch(const CommandLine& line);

}  // namespace qr::cli

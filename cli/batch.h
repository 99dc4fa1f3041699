// Batches: one symbol per line of a file or of standard input, encoded on all cores while the
// lines are still being read.
#pragma once

#include <cstddef>
#include <string>

#include "cli/command_line.h"
#include "cli/lines.h"

namespace qr::cli {

// What a batch did, for its summary.
struct BatchCounts {
    std::size_t written = 0, failed = 0, blank = 0, notStarted = 0;
};

// The last line of a batch's report, for a batch that took `seconds` (its syncs included) and was
// interrupted by `signal` (0: it was not): "tessera: 3 written, 1 failed, 1 blank line skipped in
// 0.52 s (6 codes per second)\n", with the lines not started when interrupted. The rate counts
// written codes.
std::string SummaryLine(const BatchCounts& counts, double seconds, int signal);

// Runs the batch of `line` (batch set, output pattern checked): reads the lines as they arrive,
// claims each line's file name in line order (a name an earlier line holds fails the later
// line), writes one symbol per line on all cores that can be used, in groups of files made
// durable together (GroupWriter), shows progress on standard error when it is a
// terminal, and ends with the first ten failed lines and a summary there.
// SIGINT, SIGTERM and SIGHUP stop it between codes. Returns 0 when every line was written, 1
// when there was no line, 128 + the signal when interrupted, else the largest status of a failed
// line.
int RunBatch(const CommandLine& line);

}  // namespace qr::cli

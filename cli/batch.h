// Batches: one symbol per line of a file or of standard input, encoded on all cores while the
// lines are still being read.
#pragma once

#include <cstddef>
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

// Cuts a stream of bytes into numbered lines as they arrive. A line ends at "\n" (a "\r" before
// it is dropped), or at the end of the data; of a longer line only the first `keep` bytes are
// kept, and it is marked cut. Holds at most `keep` bytes however long a line is.
class LineSplitter {
public:
    struct Line {
        int number = 0;  // from 1, blank lines counted
        std::string text;
        bool cut = false;
        bool blank = false;  // empty or only white space
    };

    explicit LineSplitter(std::size_t keep) : keep_(keep) {}

    // Takes the next `size` bytes at `data` and calls `take(const Line&)` for every line they
    // end.
    template <typename Take>
    void Push(const char* data, std::size_t size, Take take) {
        for (std::size_t i = 0; i < size; ++i) {
            if (data[i] == '\n') {
                Finish(take);
            } else {
                Add(data[i]);
            }
        }
    }

    // Ends the data: calls `take` for a last line without "\n", if any.
    template <typename Take>
    void End(Take take) {
        if (started_) Finish(take);
    }

private:
    void Add(char c);
    void Keep(char c);
    template <typename Take>
    void Finish(Take take) {
        Close();
        take(line_);
        line_ = Line();
        pendingReturn_ = false;
        started_ = false;
    }
    void Close();

    std::size_t keep_;
    Line line_;
    int lines_ = 0;
    bool started_ = false;
    bool pendingReturn_ = false;  // a "\r" not yet known to end the line
};

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
// durable together (platform::FileGroup), shows progress on standard error when it is a
// terminal, and ends with the first ten failed lines and a summary there.
// SIGINT, SIGTERM and SIGHUP stop it between codes. Returns 0 when every line was written, 1
// when there was no line, 128 + the signal when interrupted, else the largest status of a failed
// line.
int RunBatch(const CommandLine& line);

}  // namespace qr::cli

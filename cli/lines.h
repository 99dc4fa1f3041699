// The lines of a batch: cut from bytes as they arrive, and turned into file names.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

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
        while (size > 0) {
            const void* end = std::memchr(data, '\n', size);
            const std::size_t part =
                end == nullptr ? size
                               : static_cast<std::size_t>(static_cast<const char*>(end) - data);
            Add(data, part);
            if (end == nullptr) return;
            Finish(take);
            data += part + 1;
            size -= part + 1;
        }
    }

    // Ends the data: calls `take` for a last line without "\n", if any.
    template <typename Take>
    void End(Take take) {
        if (started_) Finish(take);
    }

private:
    // Adds `size` bytes of the line, none of them "\n".
    void Add(const char* data, std::size_t size);
    void Keep(const char* data, std::size_t size);
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

}  // namespace qr::cli

// The pipeline's last steps: a finished symbol rendered in a format, then written to a file
// (never partial), to standard output, or with others as a group of files made durable together;
// and the data read in before it all. Each returns its status with the one line that says why,
// found in the same pass. Files and streams are the platform's (platform/file_io.h).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "module/settings.h"

namespace qr {

struct Symbol;  // module/symbol.h

// Renders `symbol` into `bytes`. Returns TESSERA_OK; TESSERA_ERROR_BAD_ARGUMENT when
// CheckOutputSettings() refuses the settings; TESSERA_ERROR_FORMAT_NOT_AVAILABLE;
// TESSERA_ERROR_NO_MEMORY (also when the image library fails); on failure one line in `*why`
// when it is not null.
Status Render(const Symbol& symbol, const OutputSettings& settings, std::string* bytes,
              std::string* why = nullptr);

// Creates or replaces the file at `path` with `bytes`, never partially. Returns TESSERA_OK, or
// TESSERA_ERROR_CANNOT_WRITE with the C library's error number for the reason at `*errorNumber`
// and the reason in words ("no space left on the device") at `*reason`, where they are not null.
Status SaveBytes(const char* path, const std::string& bytes, int* errorNumber = nullptr,
                 const char** reason = nullptr);

// Where the bytes of one symbol go.
struct Destination {
    std::string path;             // the file to create or replace
    bool standardOutput = false;  // standard output instead of `path`
    int maxColumns = 0;           // text wider than this many columns is refused; 0: any
    // A character device, a FIFO or a pipe at `path` is written directly (-o /dev/stdout, a FIFO,
    // >(cmd)); without it such a path is refused. Regular files are always replaced whole.
    bool streams = false;
};

// Renders `symbol` and writes it to `destination`. Returns TESSERA_OK, or the status of the step
// that failed with one line in `message`: the settings the format does not take, the format that
// is not available, text too wide for `maxColumns`, or the file and why it cannot be written.
Status RenderWrite(const Symbol& symbol, const OutputSettings& output,
                   const Destination& destination, std::string* message);

// Writes `bytes` made already to `destination`. Returns TESSERA_OK, or
// TESSERA_ERROR_CANNOT_WRITE with one line in `message`: the file and why it cannot be written.
Status WriteBytes(const std::string& bytes, const Destination& destination, std::string* message);

// Writes `bytes` to standard output. Returns TESSERA_OK, or TESSERA_ERROR_CANNOT_WRITE with
// "standard output cannot be written: REASON" in `*message` when it is not null.
Status WriteToStandardOutput(const std::string& bytes, std::string* message);

// Reads at most `limit` bytes of the file, device or FIFO at `path` (null: standard input) into
// `data`. Returns TESSERA_OK; TESSERA_ERROR_NOTHING_TO_DO when it cannot be opened or read, with
// the reason in words ("no such file") in `*reason`; TESSERA_ERROR_NO_MEMORY.
Status ReadInput(const char* path, std::size_t limit, std::string* data, std::string* reason);

// Data read as it arrives, from a file of any kind or standard input: the lines of a batch.
class InputReader {
public:
    // What Read() returns when a signal interrupted it before any byte arrived.
    static constexpr long long kInterrupted = -2;

    InputReader();
    ~InputReader();
    InputReader(const InputReader&) = delete;
    InputReader& operator=(const InputReader&) = delete;

    // Opens `path`, or standard input when it is null. Returns false, with the reason in words in
    // `*reason`, when it cannot be opened or is a folder.
    bool Open(const char* path, std::string* reason);

    // Reads up to `count` bytes into `buffer`, as many as have arrived (at least one, unless the
    // data has ended). Returns the number read, 0 at the end of the data, kInterrupted, or -1 when
    // reading fails.
    long long Read(void* buffer, std::size_t count);

private:
    struct Stream;
    std::unique_ptr<Stream> stream_;
};

// How many files each of `writers` GroupWriters may hold so that together they stay within the
// limit of open files and leave the program room for its own: 1 to 64.
std::size_t FilesPerWriter(std::size_t writers);

// Files written a group at a time (platform::FileGroup): each symbol is rendered and staged, and
// the group's files are synced and named together. With `eachGroup` the group commits whenever it
// is full or the limit of open files is reached, so that any number of files can go through;
// without it, the group holds every file (up to its capacity) until Commit(): all or none.
class GroupWriter {
public:
    // Told what became of staged file `id` (the caller's number for it): TESSERA_OK, or
    // TESSERA_ERROR_CANNOT_WRITE with one line (empty when there was no memory for it). It must
    // not throw.
    using Done = std::function<void(std::size_t id, Status status, const std::string& message)>;

    // A group of up to `capacity` files (at most 64); with `makeFolders`, the missing folders
    // above a file are made as it takes its name.
    GroupWriter(std::size_t capacity, bool makeFolders, bool eachGroup, Done done);
    ~GroupWriter();
    GroupWriter(const GroupWriter&) = delete;
    GroupWriter& operator=(const GroupWriter&) = delete;

    // False when its memory could not be had; Add() then fails.
    bool Ready() const { return group_ != nullptr; }
    std::size_t Size() const { return staged_.size(); }

    // Renders `symbol` and stages it for `path` as file `id`. Returns TESSERA_OK, its outcome to
    // come at the commit; or the status of the step that failed with one line in `message`, as
    // RenderWrite() says it (TESSERA_ERROR_NO_MEMORY when the group is not ready, and
    // TESSERA_ERROR_CANNOT_WRITE when a group without `eachGroup` is full): nothing is staged.
    Status Add(const Symbol& symbol, const OutputSettings& output, const std::string& path,
               std::size_t id, std::string* message);

    // Stages `bytes`, rendered already, for `path` as file `id`. Returns as Add() does after its
    // rendering.
    Status AddBytes(const std::string& bytes, const std::string& path, std::size_t id,
                    std::string* message);

    // Syncs and names the staged files, and tells `done` of each. Never throws.
    void Commit();

    // Drops the staged files: nothing at their paths changes.
    void Abandon();

private:
    struct Group;
    std::unique_ptr<Group> group_;
    std::vector<std::pair<std::size_t, std::string>> staged_;  // ids and paths
    std::string bytes_;  // the last file Add() rendered, its room kept for the next
    const bool eachGroup_;
    const Done done_;
};

}  // namespace qr

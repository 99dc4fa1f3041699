// The thin layer over the operating system's files: POSIX on Linux, Win32 in the DLL. Paths are
// 8-bit strings passed through unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qr::platform {

// An input file opened for reading; `handle` is the platform's descriptor or handle.
struct InputFile {
    std::intptr_t handle;
};

// Opens an existing file for reading, letting others read it too. Never blocks on a FIFO.
// Returns false when it cannot be opened.
bool OpenInputFile(const char* path, InputFile* file);

// The file's size in bytes (64 bits). Returns false when it cannot be had.
bool InputFileSize(const InputFile& file, std::uint64_t* size);

// Reads up to `count` bytes from the start of the file into `buffer`. Returns the number read
// (fewer at the end of the file), or -1 when reading fails.
std::int64_t ReadInputFile(const InputFile& file, void* buffer, std::size_t count);

void CloseInputFile(const InputFile& file);

// Why a write failed, for messages.
enum class WriteFailure {
    kNone,
    kNoSpace,
    kPermission,
    kMissingFolder,
    kNotAFile,
    kTooLarge,
    kBrokenPipe,
    kNoMemory,
    kOther,
};

struct WriteOptions {
    // The data is synced before the rename and the folder after it. A batch that syncs the file
    // system once at its end may turn this off.
    bool durable = true;
    // A character device, FIFO or pipe at the path is written directly (the command's output to
    // /dev/stdout or a FIFO); regular files keep the never-partial replace.
    bool streams = false;
};

// Makes the file at `path` hold exactly the `size` bytes at `data`, creating it or replacing it
// whole: the complete file is written beside the target and then renamed into place, so the
// target is never partial, and on failure a file that was there is left as it was and no new
// file remains. A symbolic link at `path` is followed: the file it names is replaced. Returns
// false, with the reason in `*failure` when it is not null, when the file cannot be written.
bool ReplaceFile(const char* path, const void* data, std::size_t size,
                 const WriteOptions& options = WriteOptions(), WriteFailure* failure = nullptr);

// Flushes the file system that holds `path` to its disk, for a batch that wrote with `durable`
// off. Returns false when that fails.
bool SyncFileSystemOf(const char* path);

}  // namespace qr::platform

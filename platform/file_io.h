// The thin layer over the operating system's files: Linux in the shared library and the command,
// Win32 in the DLL. Paths are 8-bit strings passed through unchanged. Nothing here allocates
// memory, throws or prints.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qr::platform {

// An input file opened for reading; `handle` is the platform's descriptor or handle.
struct InputFile {
    std::intptr_t handle;
};

// Opens an existing regular file for reading, letting others read it too. A device, a FIFO or a
// folder is looked at but never opened (opening a watchdog arms it, opening a serial port raises
// its lines), and the file opened must be the one looked at. Returns false when there is no such
// file or it cannot be opened.
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
    kOther
};

// The reason for a failed write that a C library errno value gives.
WriteFailure WriteFailureOfErrno(int error);

struct WriteOptions {
    // The data reaches the disk before the file takes the target's name, and the folder after
    // (false: a batch that calls SyncFileSystemOf once at its end).
    bool durable = true;
    // A character device, a FIFO or a pipe at the path is written directly (the command's
    // -o /dev/stdout, a FIFO, >(cmd)); regular files keep the never-partial replace. Without it
    // such a path is refused as kNotAFile.
    bool streams = false;
};

// Makes the file at `path` hold exactly the `size` bytes at `data`, creating it or replacing it
// whole, and returns true; or returns false, with the reason in `*failure` when that is not null.
//
// A regular file is never partial: the bytes go to an unnamed file in the target's folder (where
// the file system has none, a randomly named one that others can open no further than the
// finished file allows; on Windows one opened without sharing), which is synced and then takes
// the target's name. On failure an existing file is left as it was and nothing new remains in
// any folder; only an error syncing the folder, after the rename, reports a file now in place.
//
// A replaced file keeps its owner, group, mode, ACL and extended attributes (on Windows, as
// ReplaceFileA keeps them), except set-user-ID and set-group-ID bits and file capabilities, which
// are dropped. Where a rename could not keep them (the caller is neither the file's owner nor root,
// its group is one the owner may not give, the folder is append-only), the file is rewritten in
// place after the space for it has been reserved. A file the caller may not write is kept (root may
// write read-only files). Symbolic links are followed to the file they name, except a link in a
// shared sticky folder that belongs neither to the caller nor to the folder's owner (kPermission).
// A descriptor link such as /proc/self/fd/3 or /dev/fd/3 is opened, not read as a path: a
// regular file behind it is rewritten in place; a pipe, FIFO or device follows `streams`.
//
// SIGPIPE and SIGXFSZ are blocked on the calling thread while it writes, and any that the write
// raised is taken away before it returns; a write beyond the file-size limit (RLIMIT_FSIZE) is
// refused before anything is written.
bool ReplaceFile(const char* path, const void* data, std::size_t size,
                 const WriteOptions& options = WriteOptions(), WriteFailure* failure = nullptr);

// Flushes the file system that holds `path` (a file or a folder): syncfs(2) on Linux; on
// Windows FlushFileBuffers of the volume, which Windows grants to administrators only. For a
// batch that wrote with durable = false. Returns false when the flush cannot be done.
bool SyncFileSystemOf(const char* path);

}  // namespace qr::platform

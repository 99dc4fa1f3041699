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
    kReadOnly,  // the file system is mounted read-only
    kMissingFolder,
    kFolderBlocked,  // a file stands where a folder of the path would be
    kNoNewFiles,     // the folder exists, but its file system makes no file in it (/proc)
    kNotAFile,
    kTooLarge,
    kBrokenPipe,
    kNoMemory,
    kTooManyFiles,  // the limit of open files is reached
    kNameTooLong,
    kLinkLoop,     // too many symbolic links, or a loop of them
    kInterrupted,  // a signal came while it waited (a FIFO without a reader)
    kOther
};

// The reason for a failed write that a C library errno value gives.
WriteFailure WriteFailureOfErrno(int error);

struct WriteOptions {
    // The data reaches the disk before the file takes its name, and the name after (false:
    // nothing is synced; for measuring, and for the power-cut stage's control).
    bool durable = true;
    // A character device, a FIFO or a pipe at the path is written directly (the command's
    // -o /dev/stdout, a FIFO, >(cmd)); regular files keep the never-partial replace. Without it
    // such a path is refused as kNotAFile. A stream is written as it is staged.
    bool streams = false;
    // The missing folders above a new file are made as it takes its name, so that a file that
    // fails makes none. Without it a missing folder is kMissingFolder.
    bool makeFolders = false;
};

// Makes the file at `path` hold exactly the `size` bytes at `data`, creating it or replacing it
// whole, and returns true; or returns false, with the reason in `*failure` when that is not null.
// It is a FileGroup of one file: see there.
bool ReplaceFile(const char* path, const void* data, std::size_t size,
                 const WriteOptions& options = WriteOptions(), WriteFailure* failure = nullptr);

// Room for a path in a StagedFile: Linux's PATH_MAX, and Windows paths of up to that length.
constexpr std::size_t kStagedPathBytes = 4096;
#ifdef _WIN32
constexpr std::size_t kStagedTemporaryBytes = kStagedPathBytes;  // a full path
#else
constexpr std::size_t kStagedTemporaryBytes = 64;  // a name in the folder
#endif

// One file of a FileGroup: written, not yet named. Its fields belong to the group.
struct StagedFile {
    std::intptr_t file = -1;      // descriptor (handle) of the written file until it is named
    std::intptr_t folder = -1;    // POSIX: descriptor of the folder it is written in
    bool ownsFolder = false;      // `folder` is closed with this file, not with an earlier one
    bool folderSyncable = false;  // `folder` was opened for reading, so it can be synced
    std::uint64_t device = 0;     // the file system of `folder`, and its inode
    std::uint64_t inode = 0;
    bool replaces = false;      // a regular file stands at the target
    bool written = false;       // rewritten in place already (a descriptor link): nothing to name
    bool makesFolders = false;  // `target` begins with folders that do not exist yet
    char target[kStagedPathBytes] = "";  // POSIX: relative to `folder`; Windows: the full path
    char temporary[kStagedTemporaryBytes] = "";  // its random name (Windows: path), or ""
};

// A group of files made durable together. Each file is written complete beside its target,
// unnamed (O_TMPFILE) or, where the file system has no unnamed files, under a random hidden name
// that others can open no further than the finished file allows (on Windows one opened without
// sharing); nothing at any target changes until Commit(), which makes the data of all of them
// durable, then gives each its name, then makes the names durable. A crash leaves every target
// old or new, whole; a group dropped before Commit() (a failure, a signal) changes no target and
// leaves nothing behind. Syncs: on Linux, for a file system that holds one file of the group (and
// no folder to make), fdatasync of the file before its name and fsync of its folder after;
// for more, one syncfs before the names and one after. On Windows each file is flushed as it is
// written (FlushFileBuffers), and named with MOVEFILE_WRITE_THROUGH or ReplaceFileA.
//
// A replaced file keeps its group, mode, ACL and extended attributes, and its owner where the
// caller is root or the owner: a rename gives the new file the caller's user otherwise (on
// Windows, ReplaceFileA keeps what it keeps). Set-user-ID and set-group-ID bits and file
// capabilities are dropped. An attribute that cannot be given is left, never written in place:
// where the group cannot be kept, the caller's group takes no more rights than others had. A file
// that cannot be replaced by a rename is kept (kPermission): one the caller may not write (root
// may write read-only files), one in an append-only folder, another user's in a shared sticky
// folder. Symbolic links are followed to the file they name, except a link in a shared sticky
// folder that belongs neither to the caller nor to the folder's owner (kPermission). A descriptor
// link such as /proc/self/fd/3 or /dev/fd/3 is the caller's open file, not a path: a regular
// file behind it is rewritten in place as it is staged.
//
// A path whose text before its last '/' is that of an earlier file of the group (one that named
// no link) is staged in the folder opened for that file, not opened again: the paths of a group
// are found when its first file in each folder is staged.
class FileGroup {
public:
    // The most files one group holds.
    static constexpr std::size_t kMaxFiles = 64;

    // A group that keeps its files in the caller's `slots`, `capacity` of them (at most
    // kMaxFiles are used).
    FileGroup(StagedFile* slots, std::size_t capacity, const WriteOptions& options);
    // Abandon()s the files not committed.
    ~FileGroup();
    FileGroup(const FileGroup&) = delete;
    FileGroup& operator=(const FileGroup&) = delete;

    std::size_t Size() const { return count_; }
    bool Full() const { return count_ == capacity_; }

    // Writes the `size` bytes at `data` for `path`, complete but without its name, as the group's
    // last file. Returns kNone; or the reason, and nothing is staged or left: among them
    // kTooManyFiles when the limit of open files is reached (commit the group and try again) and
    // kOther when the group is full. A write beyond the file-size limit (RLIMIT_FSIZE, read when
    // the thread's first group begins) is refused before anything is written. SIGPIPE and SIGXFSZ
    // are blocked on the calling thread from the group's first Stage() until Commit() or Abandon()
    // empties it (or until this call returns, when it leaves the group empty), and any that its
    // writes raised is taken away then: a group is staged and committed on one thread.
    WriteFailure Stage(const char* path, const void* data, std::size_t size);

    // Syncs the staged files' data, names each one, making its missing folders first, and syncs
    // the names. Writes the outcome of staged file i into results[i] (room for Size()): kNone
    // when it stands at its path now. A failed data sync leaves every file of that file system
    // unnamed; a failed sync of the names leaves the files named. The group is empty afterwards.
    void Commit(WriteFailure* results);

    // Drops every staged file: no target changes, nothing is left.
    void Abandon();

private:
    // The platform's part of Stage(): writes the file for `path` into `staged`, a fresh slot after
    // the group's files. Returns kNone or the reason, with nothing left.
    WriteFailure StageFile(const char* path, const unsigned char* data, std::size_t size,
                           StagedFile* staged);

    StagedFile* slots_;
    std::size_t capacity_;
    std::size_t count_ = 0;
    WriteOptions options_;
    bool quiet_ = false;  // holds the thread's SIGPIPE and SIGXFSZ (POSIX)
    // POSIX: the text up to the last '/' of the path of staged file `folderSlot_`, whose folder
    // later paths with the same text share (kMaxFiles: none).
    std::size_t folderSlot_ = kMaxFiles;
    std::size_t folderLength_ = 0;
    char folderText_[kStagedPathBytes] = "";
};

// How many files each of `groups` groups open at once may hold so that together they stay within
// the limit of open files and leave the program room for its own: 1 to FileGroup::kMaxFiles.
std::size_t FilesPerGroup(std::size_t groups);

}  // namespace qr::platform

// Linux: the file a path names, found from open descriptors of folders with symbolic links
// followed by the kernel's rules for shared folders, and the folders a new file needs made.
#pragma once

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>

#include "platform/file_io.h"

namespace qr::platform {

constexpr std::size_t kPathBytes = PATH_MAX;

// Whether `a` and `b` describe one file.
inline bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A descriptor closed when it goes out of scope, unless it is only borrowed.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    // Whether it is closed through this (false: borrowed, or none).
    bool Owned() const { return fd_ >= 0 && owned_; }
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    // Holds `fd`, which stays open when this lets it go: its owner closes it.
    void Borrow(int fd) {
        Close();
        fd_ = fd;
        owned_ = false;
    }
    // Hands the descriptor over, open.
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        owned_ = true;
        return fd;
    }
    // Closes it now (a borrowed one is only let go). Returns false when close reports an error
    // (a write that did not reach a network file system).
    bool Close() {
        const int fd = fd_;
        const bool owned = owned_;
        fd_ = -1;
        owned_ = true;
        return fd < 0 || !owned || close(fd) == 0;
    }

private:
    int fd_;
    bool owned_ = true;
};

// The file that a path names once symbolic links are followed: an open descriptor of its folder
// and its name there.
struct Target {
    Fd folder;
    bool folderReadable = true;  // false: opened with O_PATH, so it cannot be synced
    // In `text`: the file's name in `folder`; with `missingFolders`, the path from `folder` through
    // the folders still to be made to the name.
    const char* name = nullptr;
    bool missingFolders = false;
    bool descriptorLink = false;  // `name` is a link of /proc standing for an open file
    bool viaLink = false;         // a symbolic link was followed to `folder`
    // What Locate saw at `name` when it is no link: `seenError` 0 and its status in `seen`, or the
    // error of looking (ENOENT: nothing there); -1 when it did not look.
    int seenError = -1;
    struct stat seen;
    char text[kPathBytes];
    char link[kPathBytes];
};

// Follows the symbolic links at `path` (dangling ones too) to the folder and name of the file to
// write, into `*target`; with `makeFolders`, a missing folder is found from the nearest one above
// it. A link of /proc (/proc/self/fd/3, reached also from /dev/fd/3 or /dev/stdout) stands for an
// open file whose text is no path: it is kept, to be opened as it is. Returns kNone, or why the
// path leads to no file: a missing folder, a path ending in a slash, a loop of links, a link that
// may not be followed, a text longer than the path limit. `folder`, when not -1, is the folder that
// the text of `path` before its last '/' names, open already: it is borrowed, not opened again.
WriteFailure Locate(const char* path, bool makeFolders, Target* target, int folder = -1);

// Makes the folders that `path` (from the folder open at `base`) names before its last part, each
// one that is missing, and opens the last of them into `*folder`; `*name` is then the last part.
// Returns kNone or the reason.
WriteFailure MakeFolders(int base, const char* path, Fd* folder, const char** name);

}  // namespace qr::platform

// Locating a file: each part of the path is opened from the last folder reached, a symbolic link
// is read and followed from its own folder, at most kMaxLinkHops of them.
#include "platform/posix_target.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>

#include <cerrno>
#include <cstring>

namespace qr::platform {

namespace {

constexpr int kMaxLinkHops = 40;
constexpr mode_t kNewFolderMode = 0777;

// Opens the folder `path` (from `base`) as the target's folder: for reading where the caller may,
// else as a place only (a folder that may be written but not listed is still a place for the
// file). Returns false with errno set.
bool OpenFolder(int base, const char* path, Target* target) {
    int fd = openat(base, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    target->folderReadable = fd >= 0;
    if (fd < 0 && errno == EACCES) fd = openat(base, path, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    target->folder.Reset(fd);
    return true;
}

// The folder text[0, end) of the target (from `base`) does not exist: opens the nearest folder
// above it that does, where the file waits until the folders below are made, and points the name
// at the path from there. Returns kNone or why no folder above can be had.
WriteFailure LocateAbove(int base, char* end, Target* target) {
    char* const text = target->text;
    *end = '/';
    for (;;) {
        char* above = end;  // the start of the last part of text[0, end)
        while (above > text && above[-1] != '/') --above;
        bool opened;
        if (above == text) {
            opened = OpenFolder(base, ".", target);
        } else if (above - 1 == text) {
            opened = OpenFolder(base, "/", target);
        } else {
            above[-1] = '\0';
            opened = OpenFolder(base, text, target);
            above[-1] = '/';
        }
        if (opened) {
            target->name = above;
            target->missingFolders = true;
            return WriteFailure::kNone;
        }
        if (errno != ENOENT || above - 1 <= text) return WriteFailureOfErrno(errno);
        end = above - 1;
    }
}

// Whether a link that `link` describes, in the folder open at `folder`, may be followed, by the
// rule the kernel applies to links in shared folders: in a sticky, world-writable folder (such as
// /tmp) only a link of the caller or of the folder's owner is followed. Another user cannot plant
// a link there to turn the output onto a file of the caller's.
bool MayFollow(int folder, const struct stat& link) {
    struct stat st;
    if (fstat(folder, &st) != 0) return false;
    const bool shared = (st.st_mode & S_ISVTX) && (st.st_mode & S_IWOTH);
    return !shared || link.st_uid == geteuid() || link.st_uid == st.st_uid;
}

}  // namespace

// Follows the symbolic links at `path` (dangling ones too) to the folder and name of the file to
// write, into `*target`; with `makeFolders`, a missing folder is found from the nearest one above
// it. A link of /proc (/proc/self/fd/3, reached also from /dev/fd/3 or /dev/stdout) stands for an
// open file whose text is no path: it is kept, to be opened as it is. Returns kNone, or why the
// path leads to no file: a missing folder, a path ending in a slash, a loop of links, a link that
// may not be followed, a text longer than the path limit. `folder`, when not -1, is the folder that
// the text of `path` before its last '/' names, open already: it is borrowed, not opened again.
WriteFailure Locate(const char* path, bool makeFolders, Target* target, int known) {
    const std::size_t length = std::strlen(path);
    if (length >= kPathBytes) return WriteFailure::kNameTooLong;
    std::memcpy(target->text, path, length + 1);
    int base = AT_FDCWD;  // where relative text starts: the current folder, then a link's folder
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        char* slash = std::strrchr(target->text, '/');
        const char* folder = ".";
        target->name = target->text;
        if (slash != nullptr) {
            *slash = '\0';
            folder = slash == target->text ? "/" : target->text;
            target->name = slash + 1;
        }
        if (target->name[0] == '\0') return WriteFailure::kNotAFile;
        if (hop == 0 && known >= 0) {
            target->folder.Borrow(known);
        } else if (!OpenFolder(base, folder, target)) {
            if (errno == ENOENT && makeFolders && slash != nullptr && slash != target->text) {
                return LocateAbove(base, slash, target);
            }
            return WriteFailureOfErrno(errno);
        }
        const int fd = target->folder.get();
        if (fstatat(fd, target->name, &target->seen, AT_SYMLINK_NOFOLLOW) != 0) {
            target->seenError = errno;
            return WriteFailure::kNone;  // a new name, or one that cannot be looked at
        }
        if (!S_ISLNK(target->seen.st_mode)) {
            target->seenError = 0;
            return WriteFailure::kNone;  // a file or something else
        }
        const struct stat& st = target->seen;
        struct statfs fs;
        if (fstatfs(fd, &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC) {
            target->descriptorLink = true;
            return WriteFailure::kNone;
        }
        if (!MayFollow(fd, st)) return WriteFailure::kPermission;
        const ssize_t n = readlinkat(fd, target->name, target->link, sizeof target->link);
        if (n < 0) return WriteFailureOfErrno(errno);
        if (n == 0) return WriteFailure::kOther;
        if (static_cast<std::size_t>(n) >= sizeof target->link) return WriteFailure::kNameTooLong;
        std::memcpy(target->text, target->link, static_cast<std::size_t>(n));
        target->text[n] = '\0';
        target->viaLink = true;
        base = fd;
    }
    return WriteFailure::kLinkLoop;
}

// Makes the folders that `path` (from the folder open at `base`) names before its last part, each
// one that is missing, and opens the last of them into `*folder`; `*name` is then the last part.
// Returns kNone or the reason.
WriteFailure MakeFolders(int base, const char* path, Fd* folder, const char** name) {
    char part[NAME_MAX + 1];
    int at = base;
    const char* rest = path;
    for (const char* slash; (slash = std::strchr(rest, '/')) != nullptr; rest = slash + 1) {
        const std::size_t length = static_cast<std::size_t>(slash - rest);
        if (length == 0) continue;
        if (length >= sizeof part) return WriteFailure::kNameTooLong;
        std::memcpy(part, rest, length);
        part[length] = '\0';
        if (mkdirat(at, part, kNewFolderMode) != 0 && errno != EEXIST) {
            return WriteFailureOfErrno(errno);
        }
        int next = openat(at, part, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (next < 0 && errno == EACCES) next = openat(at, part, O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (next < 0) return WriteFailureOfErrno(errno);
        folder->Reset(next);
        at = next;
    }
    *name = rest;
    return WriteFailure::kNone;
}

}  // namespace qr::platform

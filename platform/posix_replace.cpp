// Replacing a file: its attributes are listed and copied one by one, within fixed buffers; what
// the caller may not give (another owner, a file capability) is left out.
#include "platform/posix_replace.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qr::platform {

namespace {

// Room for the names of a replaced file's extended attributes, and for one value. Those of a file
// with more are not carried over.
constexpr std::size_t kAttributeBytes = 4096;
// File capabilities grant privileges as set-id bits do and, like them, are never carried over.
constexpr char kCapabilityAttribute[] = "security.capability";

// Whether `name` is one of the NUL-separated names in `list` (`size` bytes).
bool Listed(const char* list, std::size_t size, const char* name) {
    for (std::size_t at = 0; at < size; at += std::strlen(list + at) + 1) {
        if (std::strcmp(list + at, name) == 0) return true;
    }
    return false;
}

// Gives the file open at `file` the extended attributes (ACL included, file capabilities not) of
// the file at `source`, and takes from it any that file lacks (an ACL inherited from the folder).
// Each one that cannot be given or taken is left; none when they cannot be listed.
void CopyAttributes(int file, const char* source) {
    char names[kAttributeBytes];
    char buffer[kAttributeBytes];
    ssize_t listed = llistxattr(source, names, sizeof names);
    if (listed < 0 && errno != ENOTSUP) return;
    const ssize_t own = flistxattr(file, buffer, sizeof buffer);
    if (listed < 0) listed = 0;
    for (ssize_t at = 0; at < own; at += static_cast<ssize_t>(std::strlen(buffer + at)) + 1) {
        if (!Listed(names, static_cast<std::size_t>(listed), buffer + at)) {
            fremovexattr(file, buffer + at);
        }
    }
    for (ssize_t at = 0; at < listed; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
        const char* name = names + at;
        if (std::strcmp(name, kCapabilityAttribute) == 0) continue;
        const ssize_t n = lgetxattr(source, name, buffer, sizeof buffer);
        if (n >= 0) fsetxattr(file, name, buffer, static_cast<std::size_t>(n), 0);
    }
}

}  // namespace

// Whether the folder open at `folder` is append-only (chattr +a): names can be made there but
// never taken away, so no file can be replaced.
bool AppendOnly(int folder) {
    int flags = 0;
    return ioctl(folder, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_APPEND_FL);
}

// Gives the file open at `file` what the caller can of the regular file `old` at the target: its
// owner (root only) and group (root, or a member), its extended attributes and ACL, and its mode
// less set-id bits, after the ACL, whose mask the group bits then restate. Where the group cannot
// be kept, the file's group (the caller's) gets no more rights than others had.
void CarryAttributes(int file, const Target& target, const struct stat& old) {
    const bool groupKept = fchown(file, old.st_uid, old.st_gid) == 0 ||
                           fchown(file, static_cast<uid_t>(-1), old.st_gid) == 0;
    char source[kPathBytes];
    const int length = std::snprintf(source, sizeof source, "/proc/self/fd/%d/%s",
                                     target.folder.get(), target.name);
    if (length > 0 && static_cast<std::size_t>(length) < sizeof source) {
        CopyAttributes(file, source);
    }
    mode_t mode = old.st_mode & kPermissionBits & ~kSetIdBits;
    if (!groupKept) mode = (mode & ~S_IRWXG) | (mode & (mode & S_IRWXO) << 3);
    fchmod(file, mode);
}

// Whether the regular file `old` at the target may be replaced by a rename: the caller may write
// it (root may write read-only files), the folder is not append-only, and in a sticky folder the
// caller is root or owns the file or the folder. Returns kNone or the reason.
WriteFailure MayReplace(const Target& target, const struct stat& old) {
    const int folder = target.folder.get();
    if (faccessat(folder, target.name, W_OK, AT_EACCESS) != 0) return WriteFailureOfErrno(errno);
    if (AppendOnly(folder)) return WriteFailure::kPermission;
    struct stat st;
    const uid_t caller = geteuid();
    if (fstat(folder, &st) == 0 && (st.st_mode & S_ISVTX) && caller != 0 && caller != old.st_uid &&
        caller != st.st_uid) {
        return WriteFailure::kPermission;
    }
    return WriteFailure::kNone;
}

}  // namespace qr::platform

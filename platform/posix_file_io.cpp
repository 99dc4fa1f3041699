// Linux files. Input: a regular file looked at before it is opened, read with pread(2). Output:
// groups of files, each written unnamed (O_TMPFILE) beside its target and given the replaced
// file's attributes; then their data synced, their names given (link or rename) and synced. Every
// step works from an open descriptor of the folder, with fixed buffers of the path limit.
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "platform/file_io.h"

namespace qr::platform {

namespace {

constexpr int kMaxLinkHops = 40;
constexpr int kMaxNameAttempts = 16;  // random names tried beside one target
constexpr std::size_t kPathBytes = PATH_MAX;
static_assert(kPathBytes == kStagedPathBytes, "a staged file holds any path");
// Room for the names of a replaced file's extended attributes, and for one value. Those of a file
// with more are not carried over.
constexpr std::size_t kAttributeBytes = 4096;
constexpr std::size_t kRandomNameBytes = 8;
constexpr std::size_t kNameBytes = kStagedTemporaryBytes;  // ".tessera-" + 16 hex digits + ".tmp"
constexpr std::size_t kSelfLinkBytes = 64;                 // "/proc/self/fd/N"
constexpr mode_t kPrivateMode = 0600;  // a named temporary file until it is complete
constexpr mode_t kNewFileMode = 0666;  // before the umask, as for any new file
constexpr mode_t kNewFolderMode = 0777;
constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kSetIdBits = S_ISUID | S_ISGID;
constexpr char kTemporaryPrefix[] = ".tessera-";
constexpr char kTemporarySuffix[] = ".tmp";
// File capabilities grant privileges as set-id bits do and, like them, are never carried over.
constexpr char kCapabilityAttribute[] = "security.capability";
// Open files assumed when the limit cannot be read, and those left to the program.
constexpr std::size_t kAssumedOpenFiles = 1024;
constexpr std::size_t kReservedOpenFiles = 64;
// A file of a group holds its descriptor and, at worst, one of a folder of its own.
constexpr std::size_t kDescriptorsPerFile = 2;

// A descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    // Hands the descriptor over, open.
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes it now. Returns false when close reports an error (a write that did not reach a
    // network file system).
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || close(fd) == 0;
    }

private:
    int fd_;
};

// Blocks SIGPIPE and SIGXFSZ on the calling thread while it lives. Either signal that a write
// raised meanwhile is taken off the thread before the caller's mask comes back; one that was
// already pending stays pending.
class QuietSignals {
public:
    QuietSignals() {
        sigemptyset(&quiet_);
        sigaddset(&quiet_, SIGPIPE);
        sigaddset(&quiet_, SIGXFSZ);
        pthread_sigmask(SIG_BLOCK, &quiet_, &callers_);
        sigpending(&before_);
    }
    ~QuietSignals() {
        sigset_t pending;
        sigpending(&pending);
        for (const int signal : {SIGPIPE, SIGXFSZ}) {
            if (!sigismember(&pending, signal) || sigismember(&before_, signal)) continue;
            sigset_t one;
            sigemptyset(&one);
            sigaddset(&one, signal);
            const timespec now = {0, 0};
            while (sigtimedwait(&one, nullptr, &now) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &callers_, nullptr);
    }
    QuietSignals(const QuietSignals&) = delete;
    QuietSignals& operator=(const QuietSignals&) = delete;

private:
    sigset_t quiet_;
    sigset_t callers_;
    sigset_t before_;
};

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Writes all `size` bytes at the descriptor's position. Returns kNone or the reason.
WriteFailure WriteAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return WriteFailureOfErrno(errno);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return WriteFailure::kNone;
}

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
    char text[kPathBytes];
    char link[kPathBytes];
};

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

// Follows the symbolic links at `path` (dangling ones too) to the folder and name of the file to
// write, into `*target`; with `makeFolders`, a missing folder is found from the nearest one above
// it. A link of /proc (/proc/self/fd/3, reached also from /dev/fd/3 or /dev/stdout) stands for an
// open file whose text is no path: it is kept, to be opened as it is. Returns kNone, or why the
// path leads to no file: a missing folder, a path ending in a slash, a loop of links, a link that
// may not be followed, a text longer than the path limit.
WriteFailure Locate(const char* path, bool makeFolders, Target* target) {
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
        if (!OpenFolder(base, folder, target)) {
            if (errno == ENOENT && makeFolders && slash != nullptr && slash != target->text) {
                return LocateAbove(base, slash, target);
            }
            return WriteFailureOfErrno(errno);
        }
        const int fd = target->folder.get();
        struct stat st;
        if (fstatat(fd, target->name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode)) {
            return WriteFailure::kNone;  // a file, something else, or a new name
        }
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
        base = fd;
    }
    return WriteFailure::kLinkLoop;
}

// Whether the folder open at `folder` is append-only (chattr +a): names can be made there but
// never taken away, so no file can be replaced.
bool AppendOnly(int folder) {
    int flags = 0;
    return ioctl(folder, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_APPEND_FL);
}

bool AboveFileSizeLimit(std::size_t size) {
    struct rlimit limit;
    return getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
           size > limit.rlim_cur;
}

// The reason a file cannot be made in a folder that is open: a folder there that makes none
// (ENOENT, as in /proc) is not a missing one.
WriteFailure CreationFailure(int error) {
    return error == ENOENT ? WriteFailure::kNoNewFiles : WriteFailureOfErrno(error);
}

// Writes to `name` (room for kNameBytes) a hidden name no one can guess: 64 random bits.
void RandomName(char* name) {
    static std::atomic<std::uint64_t> counter{0};
    unsigned char bytes[kRandomNameBytes];
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        // No entropy yet (early boot): the clock, the process and a counter, mixed.
        timespec now = {0, 0};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::uint64_t x =
            static_cast<std::uint64_t>(now.tv_nsec) ^ static_cast<std::uint64_t>(now.tv_sec) << 30 ^
            static_cast<std::uint64_t>(getpid()) << 40 ^ counter.fetch_add(1) * 0x9E3779B97F4A7C15u;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
        x ^= x >> 31;
        for (std::size_t i = 0; i < sizeof bytes; ++i)
            bytes[i] = static_cast<unsigned char>(x >> (8 * i));
    }
    char* at = name + std::snprintf(name, kNameBytes, "%s", kTemporaryPrefix);
    for (const unsigned char byte : bytes) at += std::snprintf(at, 3, "%02x", byte);
    std::snprintf(at, sizeof kTemporarySuffix, "%s", kTemporarySuffix);
}

// Gives the unnamed file open at `file` the name `name` in the folder open at `folder`. Returns
// false with errno set (EEXIST when the name is taken).
bool LinkUnnamed(int file, int folder, const char* name) {
    char self[kSelfLinkBytes];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", file);
    if (linkat(AT_FDCWD, self, folder, name, AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno != ENOENT) return false;
    // Without /proc: linking the descriptor itself, which needs CAP_DAC_READ_SEARCH.
    return linkat(file, "", folder, name, AT_EMPTY_PATH) == 0;
}

// Gives the unnamed file a random hidden name in the folder, written to `name`. Returns false
// with errno set and `name` empty.
bool LinkAtRandomName(int file, int folder, char* name) {
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        RandomName(name);
        if (LinkUnnamed(file, folder, name)) return true;
        if (errno != EEXIST) break;
    }
    name[0] = '\0';
    return false;
}

// Creates a file under a random hidden name in the folder, written to `name`, open only to its
// creator's user while it is written. Returns the descriptor, or -1 with errno set and `name`
// empty.
int CreateAtRandomName(int folder, char* name, mode_t mode) {
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        RandomName(name);
        const int fd =
            openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) return fd;
        if (errno != EEXIST) break;
    }
    name[0] = '\0';
    return -1;
}

// Rewrites the regular file `old` at the target in place, after reserving the space for `size`
// bytes, so that a full disk leaves it as it was. For a descriptor link only: the caller's own
// open file, which has no folder to be replaced in. Returns kNone or the reason; only an I/O error
// after the space was reserved leaves the file changed.
WriteFailure WriteInPlace(const Target& target, const struct stat& old, const unsigned char* data,
                          std::size_t size, const WriteOptions& options) {
    Fd file(openat(target.folder.get(), target.name, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) return WriteFailureOfErrno(errno);
    struct stat now;
    if (fstat(file.get(), &now) != 0) return WriteFailureOfErrno(errno);
    if (!SameFile(now, old) || !S_ISREG(now.st_mode)) return WriteFailure::kOther;
    if (size > 0 && fallocate(file.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        const int error = errno;
        ftruncate(file.get(), now.st_size);  // gives back blocks reserved beyond the end
        return WriteFailureOfErrno(error);
    }
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = pwrite(file.get(), data + done, size - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return WriteFailureOfErrno(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (ftruncate(file.get(), static_cast<off_t>(size)) != 0) return WriteFailureOfErrno(errno);
    // Writing took them away unless the caller is root; the owner may drop them too.
    if (now.st_mode & kSetIdBits) fchmod(file.get(), now.st_mode & kPermissionBits & ~kSetIdBits);
    if (options.durable && fdatasync(file.get()) != 0) return WriteFailureOfErrno(errno);
    return file.Close() ? WriteFailure::kNone : WriteFailureOfErrno(errno);
}

// Writes to the character device, FIFO or pipe `old` at the target, as it is: no rename, no sync.
WriteFailure WriteStream(const Target& target, const struct stat& old, const unsigned char* data,
                         std::size_t size) {
    // A FIFO in a folder waits for its reader, as a shell's redirection does; a pipe reached
    // through /proc whose reader is gone, or a device, must not hold the call.
    const bool wait = S_ISFIFO(old.st_mode) && !target.descriptorLink;
    Fd stream(openat(target.folder.get(), target.name,
                     O_WRONLY | O_NOCTTY | O_CLOEXEC | (wait ? 0 : O_NONBLOCK)));
    if (stream.get() < 0) {
        return errno == ENXIO && S_ISFIFO(old.st_mode) ? WriteFailure::kBrokenPipe
                                                       : WriteFailureOfErrno(errno);
    }
    struct stat now;
    if (fstat(stream.get(), &now) != 0 || !SameFile(now, old) ||
        (now.st_mode & S_IFMT) != (old.st_mode & S_IFMT)) {
        return WriteFailure::kNotAFile;
    }
    const int flags = fcntl(stream.get(), F_GETFL);
    if (!wait && (flags < 0 || fcntl(stream.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)) {
        return WriteFailureOfErrno(errno);
    }
    const WriteFailure failure = WriteAll(stream.get(), data, size);
    if (!stream.Close() && failure == WriteFailure::kNone) return WriteFailureOfErrno(errno);
    return failure;
}

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

// Writes the file for `target` complete beside it, unnamed where the file system allows, into
// `*staged`; a stream (with `options.streams`) or a descriptor link's file is written at once and
// marked written. Returns kNone or the reason; nothing is left then.
WriteFailure StageAt(const Target& target, const unsigned char* data, std::size_t size,
                     const WriteOptions& options, StagedFile* staged) {
    const int folder = target.folder.get();
    struct stat old;
    bool exists = false;
    if (!target.missingFolders) {
        exists = fstatat(folder, target.name, &old, 0) == 0;
        if (!exists && (errno != ENOENT || target.descriptorLink))
            return WriteFailureOfErrno(errno);
    }
    if (exists && !S_ISREG(old.st_mode)) {
        const bool stream = S_ISCHR(old.st_mode) || S_ISFIFO(old.st_mode);
        staged->written = true;
        return options.streams && stream ? WriteStream(target, old, data, size)
                                         : WriteFailure::kNotAFile;
    }
    if (AboveFileSizeLimit(size)) return WriteFailure::kTooLarge;
    if (exists && target.descriptorLink) {
        staged->written = true;
        return WriteInPlace(target, old, data, size, options);
    }
    if (exists) {
        const WriteFailure kept = MayReplace(target, old);
        if (kept != WriteFailure::kNone) return kept;
    }
    // Unnamed, the file can be opened by no one until it is complete and has its final owner
    // and mode; a new one gets the umask and the folder's default ACL as any new file does.
    Fd file(openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, kNewFileMode));
    if (file.get() < 0) {
        if (errno != EOPNOTSUPP && errno != EISDIR) return CreationFailure(errno);
        // No unnamed files here: a random name, private while it is written when it replaces a
        // file; a new file is created with the mode it keeps.
        if (AppendOnly(folder)) return WriteFailure::kPermission;
        file.Reset(
            CreateAtRandomName(folder, staged->temporary, exists ? kPrivateMode : kNewFileMode));
        if (file.get() < 0) return CreationFailure(errno);
    }
    const WriteFailure failure = WriteAll(file.get(), data, size);
    if (failure != WriteFailure::kNone) {
        if (staged->temporary[0] != '\0') unlinkat(folder, staged->temporary, 0);
        staged->temporary[0] = '\0';
        return failure;
    }
    if (exists) CarryAttributes(file.get(), target, old);
    std::snprintf(staged->target, sizeof staged->target, "%s", target.name);
    staged->replaces = exists;
    staged->makesFolders = target.missingFolders;
    staged->folderSyncable = target.folderReadable;
    staged->file = file.Release();
    return WriteFailure::kNone;
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

// Gives the staged file its name, making the folders it needs first. Returns kNone or the reason;
// its target is as it was then.
WriteFailure Name(StagedFile* staged) {
    const int staging = static_cast<int>(staged->folder);
    const int file = static_cast<int>(staged->file);
    Fd made;
    const char* name = staged->target;
    if (staged->makesFolders) {
        const WriteFailure failure = MakeFolders(staging, staged->target, &made, &name);
        if (failure != WriteFailure::kNone) return failure;
    }
    const int folder = made.get() >= 0 ? made.get() : staging;
    if (staged->temporary[0] == '\0' && !staged->replaces) {
        // A new file is linked in under its own name; one that came to the name meanwhile is
        // replaced as any other.
        if (LinkUnnamed(file, folder, name)) return WriteFailure::kNone;
        if (errno != EEXIST) return WriteFailureOfErrno(errno);
    }
    if (staged->temporary[0] == '\0') {
        if (AppendOnly(folder)) return WriteFailure::kPermission;
        if (!LinkAtRandomName(file, staging, staged->temporary)) return WriteFailureOfErrno(errno);
    }
    if (renameat(staging, staged->temporary, folder, name) != 0) return WriteFailureOfErrno(errno);
    staged->temporary[0] = '\0';
    return WriteFailure::kNone;
}

// Whether `file` is to be synced with `first`: not written already, and on its file system.
bool OnDeviceOf(const StagedFile& file, const StagedFile& first) {
    return !file.written && file.device == first.device;
}

// Syncs, one file system at a time, the staged files whose outcome is still kNone: `alone`
// (fdatasync of the file, or fsync of its folder) for the only file of a file system, where it
// makes no folder; else one syncfs. A failure becomes the outcome of each of those files.
template <typename SyncAlone>
void SyncEachFileSystem(StagedFile* slots, std::size_t count, WriteFailure* results,
                        SyncAlone alone) {
    for (std::size_t i = 0; i < count; ++i) {
        const StagedFile& first = slots[i];
        if (first.written || results[i] != WriteFailure::kNone) continue;
        std::size_t files = 0;
        bool makesFolders = false, seen = false;
        for (std::size_t j = 0; j < count; ++j) {
            if (!OnDeviceOf(slots[j], first) || results[j] != WriteFailure::kNone) continue;
            seen = seen || j < i;
            ++files;
            makesFolders = makesFolders || slots[j].makesFolders;
        }
        if (seen) continue;  // synced with an earlier file
        const bool synced =
            files == 1 && !makesFolders ? alone(first) : syncfs(static_cast<int>(first.file)) == 0;
        if (synced) continue;
        const WriteFailure failure = WriteFailureOfErrno(errno);
        for (std::size_t j = i; j < count; ++j) {
            if (OnDeviceOf(slots[j], first) && results[j] == WriteFailure::kNone) {
                results[j] = failure;
            }
        }
    }
}

}  // namespace

bool OpenInputFile(const char* path, InputFile* file) {
    struct stat looked;
    if (stat(path, &looked) != 0 || !S_ISREG(looked.st_mode)) return false;
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat opened;
    if (fstat(fd, &opened) != 0 || !SameFile(opened, looked) || !S_ISREG(opened.st_mode)) {
        close(fd);  // the name was given to another file meanwhile
        return false;
    }
    file->handle = fd;
    return true;
}

bool InputFileSize(const InputFile& file, std::uint64_t* size) {
    struct stat st;
    if (fstat(static_cast<int>(file.handle), &st) != 0) return false;
    *size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    return true;
}

std::int64_t ReadInputFile(const InputFile& file, void* buffer, std::size_t count) {
    unsigned char* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = pread(static_cast<int>(file.handle), out + done, count - done,
                                static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

void CloseInputFile(const InputFile& file) {
    close(static_cast<int>(file.handle));
}

WriteFailure FileGroup::StageFile(const char* path, const unsigned char* data, std::size_t size,
                                  StagedFile* staged) {
    const QuietSignals quiet;
    Target target;
    const WriteFailure located = Locate(path, options_.makeFolders, &target);
    if (located != WriteFailure::kNone) return located;
    const WriteFailure failure = StageAt(target, data, size, options_, staged);
    if (failure != WriteFailure::kNone || staged->written) return failure;
    struct stat st;
    fstat(target.folder.get(), &st);
    staged->device = st.st_dev;
    staged->inode = st.st_ino;
    // Files in one folder share its descriptor.
    for (std::size_t i = 0; i < count_ && staged->folder < 0; ++i) {
        const StagedFile& other = slots_[i];
        if (!other.written && other.device == staged->device && other.inode == staged->inode) {
            staged->folder = other.folder;
        }
    }
    if (staged->folder < 0) {
        staged->folder = target.folder.Release();
        staged->ownsFolder = true;
    }
    return WriteFailure::kNone;
}

void FileGroup::Commit(WriteFailure* results) {
    std::fill(results, results + count_, WriteFailure::kNone);
    if (options_.durable) {
        SyncEachFileSystem(slots_, count_, results, [](const StagedFile& file) {
            return fdatasync(static_cast<int>(file.file)) == 0;
        });
    }
    for (std::size_t i = 0; i < count_; ++i) {
        if (!slots_[i].written && results[i] == WriteFailure::kNone) results[i] = Name(&slots_[i]);
    }
    if (options_.durable) {
        // A folder the caller may not read cannot be opened for fsync; some file systems do not
        // sync folders. The file's data is on the disk already.
        SyncEachFileSystem(slots_, count_, results, [](const StagedFile& file) {
            return !file.folderSyncable || fsync(static_cast<int>(file.folder)) == 0 ||
                   errno == EINVAL || errno == EROFS;
        });
    }
    for (std::size_t i = 0; i < count_; ++i) {
        StagedFile& staged = slots_[i];
        const int file = static_cast<int>(staged.file);
        staged.file = -1;
        if (file >= 0 && close(file) != 0 && results[i] == WriteFailure::kNone) {
            results[i] = WriteFailureOfErrno(errno);
        }
    }
    Abandon();
}

void FileGroup::Abandon() {
    for (std::size_t i = 0; i < count_; ++i) {
        StagedFile& staged = slots_[i];
        if (staged.temporary[0] != '\0') {
            unlinkat(static_cast<int>(staged.folder), staged.temporary, 0);
        }
        if (staged.file >= 0) close(static_cast<int>(staged.file));
    }
    // After the files: a later file may have used an earlier one's folder.
    for (std::size_t i = 0; i < count_; ++i) {
        if (slots_[i].ownsFolder) close(static_cast<int>(slots_[i].folder));
    }
    count_ = 0;
}

std::size_t FilesPerGroup(std::size_t groups) {
    std::size_t open = kAssumedOpenFiles;
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        open = static_cast<std::size_t>(limit.rlim_cur);
    }
    const std::size_t room = open > kReservedOpenFiles ? open - kReservedOpenFiles : 0;
    const std::size_t files = room / (kDescriptorsPerFile * std::max<std::size_t>(groups, 1));
    return std::clamp<std::size_t>(files, 1, FileGroup::kMaxFiles);
}

}  // namespace qr::platform

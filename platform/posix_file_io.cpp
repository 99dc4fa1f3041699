// Linux files. Input: a regular file looked at before it is opened, read with pread(2). Output: an
// unnamed file (O_TMPFILE) in the target's folder, given the replaced file's owner and attributes,
// synced, then linked or renamed into place; every step works from an open descriptor of the
// folder, with fixed buffers of the path limit.
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
// Room for the names of a replaced file's extended attributes, and for one value. A file with
// more is rewritten in place, which keeps them all.
constexpr std::size_t kAttributeBytes = 4096;
constexpr std::size_t kRandomNameBytes = 8;
constexpr std::size_t kNameBytes = 64;      // ".tessera-" + 16 hex digits + ".tmp"
constexpr std::size_t kSelfLinkBytes = 64;  // "/proc/self/fd/N"
constexpr mode_t kPrivateMode = 0600;       // a named temporary file until it is complete
constexpr mode_t kNewFileMode = 0666;       // before the umask, as for any new file
constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kSetIdBits = S_ISUID | S_ISGID;
constexpr char kTemporaryPrefix[] = ".tessera-";
constexpr char kTemporarySuffix[] = ".tmp";
// File capabilities grant privileges as set-id bits do and, like them, are never carried over.
constexpr char kCapabilityAttribute[] = "security.capability";

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
    bool folderReadable = true;   // false: opened with O_PATH, so it cannot be synced
    const char* name = nullptr;   // in `text`
    bool descriptorLink = false;  // `name` is a link of /proc standing for an open file
    char text[kPathBytes];
    char link[kPathBytes];
};

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
// write, into `*target`. A link of /proc (/proc/self/fd/3, reached also from /dev/fd/3 or
// /dev/stdout) stands for an open file whose text is no path: it is kept, to be opened as it is.
// Returns kNone, or why the path leads to no file: a missing folder, a path ending in a slash, a
// loop of links, a link that may not be followed, a text longer than the path limit.
WriteFailure Locate(const char* path, Target* target) {
    const std::size_t length = std::strlen(path);
    if (length >= kPathBytes) return WriteFailure::kOther;
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
        int fd = openat(base, folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        target->folderReadable = fd >= 0;
        // A folder that may be written but not listed is still a place for the file.
        if (fd < 0 && errno == EACCES) fd = openat(base, folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return WriteFailureOfErrno(errno);
        target->folder.Reset(fd);
        if (target->name[0] == '\0') return WriteFailure::kNotAFile;

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
        if (n == 0 || static_cast<std::size_t>(n) >= sizeof target->link)
            return WriteFailure::kOther;
        std::memcpy(target->text, target->link, static_cast<std::size_t>(n));
        target->text[n] = '\0';
        base = fd;
    }
    return WriteFailure::kOther;  // a loop of links
}

// Whether the folder open at `folder` is append-only (chattr +a): names can be made there but
// never taken away, so no temporary name may be made.
bool AppendOnly(int folder) {
    int flags = 0;
    return ioctl(folder, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_APPEND_FL);
}

bool AboveFileSizeLimit(std::size_t size) {
    struct rlimit limit;
    return getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
           size > limit.rlim_cur;
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
// with errno set.
bool LinkAtRandomName(int file, int folder, char* name) {
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        RandomName(name);
        if (LinkUnnamed(file, folder, name)) return true;
        if (errno != EEXIST) return false;
    }
    return false;
}

// Creates a file under a random hidden name in the folder, written to `name`, open only to its
// creator's user while it is written. Returns the descriptor, or -1 with errno set.
int CreateAtRandomName(int folder, char* name, mode_t mode) {
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        RandomName(name);
        const int fd =
            openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

WriteFailure SyncFolder(const Target& target, const WriteOptions& options) {
    // A folder the caller may not read cannot be opened for fsync; some file systems do not sync
    // folders. The file's data is on the disk already.
    if (!options.durable || !target.folderReadable) return WriteFailure::kNone;
    if (fsync(target.folder.get()) == 0 || errno == EINVAL || errno == EROFS) {
        return WriteFailure::kNone;
    }
    return WriteFailureOfErrno(errno);
}

// Rewrites the regular file `old` at the target in place, after reserving the space for `size`
// bytes, so that a full disk leaves it as it was. Owner, group, ACL and attributes stay, being
// the same file. Returns kNone or the reason; only an I/O error after the space was reserved
// leaves the file changed.
WriteFailure WriteInPlace(const Target& target, const struct stat& old, const unsigned char* data,
                          std::size_t size, const WriteOptions& options) {
    // A descriptor link is followed; any other name was resolved already and must not turn into
    // a link meanwhile.
    const int follow = target.descriptorLink ? 0 : O_NOFOLLOW;
    Fd file(openat(target.folder.get(), target.name,
                   O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | follow));
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

// Whether `name` is one of the NUL-separated names in `list` (`size` bytes).
bool Listed(const char* list, std::size_t size, const char* name) {
    for (std::size_t at = 0; at < size; at += std::strlen(list + at) + 1) {
        if (std::strcmp(list + at, name) == 0) return true;
    }
    return false;
}

// Gives the file open at `file` the owner, group, mode (less set-id bits), ACL and extended
// attributes (less file capabilities) of the regular file `old` at the target, and takes from it
// any attribute that file lacks (an ACL inherited from the folder). Returns false when any of
// them cannot be given (the caller may not give that owner or group, a value is larger than the
// buffers, the file system refuses one).
bool CarryAttributes(int file, const Target& target, const struct stat& old) {
    char source[kPathBytes];
    const int length = std::snprintf(source, sizeof source, "/proc/self/fd/%d/%s",
                                     target.folder.get(), target.name);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof source) return false;
    if (fchown(file, old.st_uid, old.st_gid) != 0) return false;

    char names[kAttributeBytes];
    char buffer[kAttributeBytes];
    ssize_t listed = llistxattr(source, names, sizeof names);
    if (listed < 0 && errno != ENOTSUP) return false;
    ssize_t own = flistxattr(file, buffer, sizeof buffer);
    if (own < 0 && errno != ENOTSUP) return false;
    if (listed < 0) listed = 0;
    for (ssize_t at = 0; at < own; at += static_cast<ssize_t>(std::strlen(buffer + at)) + 1) {
        if (!Listed(names, static_cast<std::size_t>(listed), buffer + at) &&
            fremovexattr(file, buffer + at) != 0) {
            return false;
        }
    }
    for (ssize_t at = 0; at < listed; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
        const char* name = names + at;
        if (std::strcmp(name, kCapabilityAttribute) == 0) continue;
        const ssize_t n = lgetxattr(source, name, buffer, sizeof buffer);
        if (n < 0 || fsetxattr(file, name, buffer, static_cast<std::size_t>(n), 0) != 0) {
            return false;
        }
    }
    // After the ACL, whose mask the group bits of the mode then restate.
    return fchmod(file, old.st_mode & kPermissionBits & ~kSetIdBits) == 0;
}

// Writes the file complete beside the target and gives it the target's name. `old` is the
// regular file there, or null for a new file. Returns kNone or the reason; on failure the
// target is as it was and no new name remains.
WriteFailure WriteBeside(const Target& target, const struct stat* old, const unsigned char* data,
                         std::size_t size, const WriteOptions& options) {
    const int folder = target.folder.get();
    // Unnamed, the file can be opened by no one until it is complete and has its final owner
    // and mode; a new one gets the umask and the folder's default ACL as any new file does.
    Fd file(openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, kNewFileMode));
    char temporary[kNameBytes] = "";
    if (file.get() < 0) {
        if (errno != EOPNOTSUPP && errno != EISDIR) return WriteFailureOfErrno(errno);
        // No unnamed files here: a random name, private while it is written when it replaces a
        // file; a new file is created with the mode it keeps.
        if (AppendOnly(folder)) return WriteFailure::kPermission;
        file.Reset(
            CreateAtRandomName(folder, temporary, old != nullptr ? kPrivateMode : kNewFileMode));
        if (file.get() < 0) return WriteFailureOfErrno(errno);
    }
    const bool named = temporary[0] != '\0';
    WriteFailure failure = WriteAll(file.get(), data, size);
    if (failure == WriteFailure::kNone && old != nullptr &&
        !CarryAttributes(file.get(), target, *old)) {
        if (named) unlinkat(folder, temporary, 0);
        return WriteInPlace(target, *old, data, size, options);
    }
    if (failure == WriteFailure::kNone && options.durable && fdatasync(file.get()) != 0) {
        failure = WriteFailureOfErrno(errno);
    }
    if (failure == WriteFailure::kNone && !named && old == nullptr) {
        // A new file is linked in under its own name; one that came to the name meanwhile is
        // replaced as any other.
        if (LinkUnnamed(file.get(), folder, target.name)) {
            return file.Close() ? SyncFolder(target, options) : WriteFailureOfErrno(errno);
        }
        if (errno != EEXIST) failure = WriteFailureOfErrno(errno);
    }
    if (failure == WriteFailure::kNone && !named) {
        if (AppendOnly(folder)) {
            failure = WriteFailure::kPermission;
        } else if (!LinkAtRandomName(file.get(), folder, temporary)) {
            failure = WriteFailureOfErrno(errno);
        }
    }
    if (!file.Close() && failure == WriteFailure::kNone) failure = WriteFailureOfErrno(errno);
    if (failure == WriteFailure::kNone && renameat(folder, temporary, folder, target.name) != 0) {
        failure = WriteFailureOfErrno(errno);
    }
    if (failure != WriteFailure::kNone) {
        if (temporary[0] != '\0') unlinkat(folder, temporary, 0);
        return failure;
    }
    return SyncFolder(target, options);
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

WriteFailure Replace(const char* path, const unsigned char* data, std::size_t size,
                     const WriteOptions& options) {
    if (path == nullptr || path[0] == '\0') return WriteFailure::kMissingFolder;
    Target target;
    const WriteFailure located = Locate(path, &target);
    if (located != WriteFailure::kNone) return located;

    struct stat old;
    const bool exists = fstatat(target.folder.get(), target.name, &old, 0) == 0;
    if (!exists && (errno != ENOENT || target.descriptorLink)) return WriteFailureOfErrno(errno);
    if (exists && !S_ISREG(old.st_mode)) {
        const bool stream = S_ISCHR(old.st_mode) || S_ISFIFO(old.st_mode);
        return options.streams && stream ? WriteStream(target, old, data, size)
                                         : WriteFailure::kNotAFile;
    }
    if (AboveFileSizeLimit(size)) return WriteFailure::kTooLarge;
    if (!exists) return WriteBeside(target, nullptr, data, size, options);
    if (target.descriptorLink) return WriteInPlace(target, old, data, size, options);
    // A file the caller may not write is kept, although the folder would let a rename replace it.
    if (faccessat(target.folder.get(), target.name, W_OK, AT_EACCESS) != 0)
        return WriteFailureOfErrno(errno);
    const uid_t caller = geteuid();
    if ((caller != 0 && caller != old.st_uid) || AppendOnly(target.folder.get())) {
        return WriteInPlace(target, old, data, size, options);
    }
    return WriteBeside(target, &old, data, size, options);
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

bool ReplaceFile(const char* path, const void* data, std::size_t size, const WriteOptions& options,
                 WriteFailure* failure) {
    const QuietSignals quiet;
    const WriteFailure result =
        Replace(path, static_cast<const unsigned char*>(data), size, options);
    if (failure != nullptr) *failure = result;
    return result == WriteFailure::kNone;
}

bool SyncFileSystemOf(const char* path) {
    char folder[kPathBytes];
    const std::size_t length = std::strlen(path);
    if (length == 0 || length >= sizeof folder) return false;
    Fd fd(open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) {
        // A file: its folder is on the same file system, and opening it acts on nothing.
        std::memcpy(folder, path, length + 1);
        char* slash = std::strrchr(folder, '/');
        const char* name = ".";
        if (slash != nullptr) {
            slash[slash == folder ? 1 : 0] = '\0';
            name = folder;
        }
        fd.Reset(open(name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    return fd.get() >= 0 && syncfs(fd.get()) == 0;
}

}  // namespace qr::platform

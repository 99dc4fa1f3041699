// POSIX files: open(2), fstat(2), read(2), and a write beside the target renamed into place.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/file_io.h"

namespace qr::platform {

namespace {

constexpr int kMaxLinkHops = 40;
constexpr int kMaxNameAttempts = 100;  // temporary names tried beside one target

int Descriptor(const InputFile& file) {
    return static_cast<int>(file.handle);
}

std::string FolderOf(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// Whether a link that `link` describes may be followed, by the rule the kernel applies to links
// in shared folders: a link in a sticky, world-writable folder (such as /tmp) is followed only
// when it belongs to the caller or to the folder's owner. Another user cannot plant a link there
// to turn the output onto a file of the caller's.
bool MayFollow(const std::string& path, const struct stat& link) {
    struct stat folder;
    if (stat(FolderOf(path).c_str(), &folder) != 0) return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || link.st_uid == geteuid() || link.st_uid == folder.st_uid;
}

// Follows symbolic links at `path` (also dangling ones) to the name of the file to replace.
bool ResolveLinks(const char* path, std::string* target) {
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st;
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            *target = current;
            return true;
        }
        if (!MayFollow(current, st)) return false;
        char link[PATH_MAX];
        const ssize_t n = readlink(current.c_str(), link, sizeof link - 1);
        if (n <= 0) return false;
        link[n] = '\0';
        if (link[0] == '/') {
            current = link;
        } else {
            const std::string::size_type slash = current.rfind('/');
            current =
                (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) + link;
        }
    }
    return false;  // a loop of links
}

bool WriteAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A short hidden name in the folder of `target` that no other call uses at the same time.
std::string TemporaryNameBeside(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    char name[64];
    std::snprintf(name, sizeof name, ".tessera-%ld-%u.tmp", static_cast<long>(getpid()),
                  counter.fetch_add(1));
    const std::string::size_type slash = target.rfind('/');
    return (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + name;
}

}  // namespace

bool OpenInputFile(const char* path, InputFile* file) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    file->handle = fd;
    return true;
}

bool InputFileSize(const InputFile& file, std::uint64_t* size) {
    struct stat st;
    if (fstat(Descriptor(file), &st) != 0) return false;
    // Only regular files have a size that means data; a FIFO, a device or a directory reads
    // as empty.
    *size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    return true;
}

std::int64_t ReadInputFile(const InputFile& file, void* buffer, std::size_t count) {
    unsigned char* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n =
            pread(Descriptor(file), out + done, count - done, static_cast<off_t>(done));
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
    close(Descriptor(file));
}

namespace {

WriteFailure FailureOf(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return WriteFailure::kNoSpace;
        case EACCES:
        case EPERM:
        case EROFS:
            return WriteFailure::kPermission;
        case ENOENT:
        case ENOTDIR:
            return WriteFailure::kMissingFolder;
        case EISDIR:
            return WriteFailure::kNotAFile;
        case EFBIG:
            return WriteFailure::kTooLarge;
        case ENOMEM:
            return WriteFailure::kNoMemory;
        default:
            return WriteFailure::kOther;
    }
}

bool Refuse(WriteFailure reason, WriteFailure* failure) {
    if (failure != nullptr) *failure = reason;
    return false;
}

}  // namespace

bool ReplaceFile(const char* path, const void* data, std::size_t size, const WriteOptions&,
                 WriteFailure* failure) {
    std::string target;
    errno = 0;
    if (path[0] == '\0') return Refuse(WriteFailure::kMissingFolder, failure);
    if (!ResolveLinks(path, &target)) return Refuse(FailureOf(errno), failure);

    struct stat existing;
    const bool exists = stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) return Refuse(WriteFailure::kNotAFile, failure);
    // The rename would replace a file this caller may not write (read-only, or another user's);
    // such a file is kept, as opening it for writing would have been refused.
    if (exists && faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        return Refuse(WriteFailure::kPermission, failure);
    }

    // A file may already hold a name: left by a killed process whose id came back, or made by a
    // process of the same id in another PID namespace. The next name is tried then.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < kMaxNameAttempts; ++attempt) {
        temporary = TemporaryNameBeside(target);
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return Refuse(FailureOf(errno), failure);
    }
    if (fd < 0) return Refuse(WriteFailure::kOther, failure);
    bool ok = WriteAll(fd, static_cast<const unsigned char*>(data), size);
    // A replaced file keeps its permissions.
    if (ok && exists) ok = fchmod(fd, existing.st_mode & 07777) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temporary.c_str(), target.c_str()) == 0;
    const int error = errno;
    if (!ok) unlink(temporary.c_str());
    if (failure != nullptr) *failure = ok ? WriteFailure::kNone : FailureOf(error);
    return ok;
}

bool SyncFileSystemOf(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = syncfs(fd) == 0;
    close(fd);
    return ok;
}

}  // namespace qr::platform

// Streams on file descriptors (POSIX, and the C runtime's on Windows, in binary).
#include "platform/streams.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qr::platform {

namespace {

#ifdef _WIN32
constexpr int kReadFlags = _O_RDONLY | _O_BINARY;
int OpenFile(const char* path) {
    return _open(path, kReadFlags);
}
long long ReadSome(int fd, void* buffer, std::size_t count) {
    return _read(fd, buffer, static_cast<unsigned>(count > 0x40000000 ? 0x40000000 : count));
}
long long WriteSome(int fd, const void* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(size > 0x40000000 ? 0x40000000 : size));
}
void CloseFile(int fd) {
    _close(fd);
}
void MakeBinary(int fd) {
    _setmode(fd, _O_BINARY);
}
#else
int OpenFile(const char* path) {
    return open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
}
long long ReadSome(int fd, void* buffer, std::size_t count) {
    return read(fd, buffer, count);
}
long long WriteSome(int fd, const void* data, std::size_t size) {
    return write(fd, data, size);
}
void CloseFile(int fd) {
    close(fd);
}
void MakeBinary(int) {}
#endif

ReadFailure ReadFailureOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return ReadFailure::kMissing;
        case EACCES:
        case EPERM:
            return ReadFailure::kPermission;
        case EISDIR:
            return ReadFailure::kFolder;
        default:
            return ReadFailure::kOther;
    }
}

}  // namespace

WriteFailure WriteFailureOfErrno(int error) {
    switch (error) {
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return WriteFailure::kNoSpace;
        case EACCES:
        case EPERM:
#ifdef ETXTBSY
        case ETXTBSY:
#endif
            return WriteFailure::kPermission;
        case EROFS:
            return WriteFailure::kReadOnly;
        case ENOENT:
            return WriteFailure::kMissingFolder;
        case ENOTDIR:
            return WriteFailure::kFolderBlocked;
        case EISDIR:
            return WriteFailure::kNotAFile;
        case EFBIG:
            return WriteFailure::kTooLarge;
        case EPIPE:
            return WriteFailure::kBrokenPipe;
        case ENOMEM:
            return WriteFailure::kNoMemory;
        case EMFILE:
        case ENFILE:
            return WriteFailure::kTooManyFiles;
        case ENAMETOOLONG:
            return WriteFailure::kNameTooLong;
#ifdef ELOOP
        case ELOOP:
            return WriteFailure::kLinkLoop;
#endif
        case EINTR:
            return WriteFailure::kInterrupted;
        default:
            return WriteFailure::kOther;
    }
}

InputStream::~InputStream() {
    if (owned_) CloseFile(fd_);
}

bool InputStream::Open(const char* path, ReadFailure* failure) {
    if (path == nullptr) {
        fd_ = 0;
        MakeBinary(fd_);
        return true;
    }
    fd_ = OpenFile(path);
    if (fd_ < 0) {
        *failure = ReadFailureOf(errno);
        return false;
    }
    owned_ = true;
    struct stat st;
    if (fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        *failure = ReadFailure::kFolder;
        return false;
    }
    return true;
}

long long InputStream::Read(void* buffer, std::size_t count) {
    const long long n = ReadSome(fd_, buffer, count);
    if (n < 0) return errno == EINTR ? kInterrupted : -1;
    return n;
}

long long InputStream::ReadFully(void* buffer, std::size_t count) {
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const long long n = Read(out + done, count - done);
        if (n < 0) return n;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(done);
}

bool WriteStandardOutput(const void* data, std::size_t size, WriteFailure* failure) {
    constexpr int kStandardOutput = 1;
    MakeBinary(kStandardOutput);
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const long long n = WriteSome(kStandardOutput, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            *failure = n == 0 ? WriteFailure::kOther : WriteFailureOfErrno(errno);
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace qr::platform

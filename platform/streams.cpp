// Streams through stdio, switched to binary on Windows.
#include "platform/streams.h"

#include <sys/stat.h>

#include <cerrno>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace qr::platform {

namespace {

void MakeBinary(std::FILE* file) {
#ifdef _WIN32
    _setmode(_fileno(file), _O_BINARY);
#else
    (void)file;
#endif
}

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

WriteFailure WriteFailureOf(int error) {
    switch (error) {
        case ENOSPC:
            return WriteFailure::kNoSpace;
        case EPIPE:
            return WriteFailure::kBrokenPipe;
        case EFBIG:
            return WriteFailure::kTooLarge;
        case EACCES:
        case EPERM:
            return WriteFailure::kPermission;
        default:
            return WriteFailure::kOther;
    }
}

}  // namespace

InputStream::~InputStream() {
    if (owned_) std::fclose(file_);
}

bool InputStream::Open(const char* path, ReadFailure* failure) {
    if (path == nullptr) {
        file_ = stdin;
        MakeBinary(file_);
        return true;
    }
    errno = 0;
    file_ = std::fopen(path, "rb");
    if (file_ == nullptr) {
        *failure = ReadFailureOf(errno);
        return false;
    }
    owned_ = true;
    // A folder opens for reading on some systems and then fails on the first read.
    struct stat st;
    if (fstat(fileno(file_), &st) == 0 && S_ISDIR(st.st_mode)) {
        *failure = ReadFailure::kFolder;
        return false;
    }
    return true;
}

long long InputStream::Read(void* buffer, std::size_t count) {
    const std::size_t n = std::fread(buffer, 1, count, file_);
    if (n < count && std::ferror(file_)) return -1;
    return static_cast<long long>(n);
}

bool WriteStandardOutput(const void* data, std::size_t size, WriteFailure* failure) {
    MakeBinary(stdout);
    errno = 0;
    const bool written = std::fwrite(data, 1, size, stdout) == size;
    const bool flushed = std::fflush(stdout) == 0;
    if (written && flushed) return true;
    *failure = WriteFailureOf(errno);
    return false;
}

}  // namespace qr::platform

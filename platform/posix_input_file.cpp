// Linux input files: a regular file looked at before it is opened and again once open, so that a
// name given to another file meanwhile is refused; read from the start with pread(2).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_io.h"
#include "platform/posix_target.h"

namespace qr::platform {

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

}  // namespace qr::platform

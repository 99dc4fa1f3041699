// Standard streams on POSIX and Windows.
#include "cli/console.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qr::cli {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

void MakeBinary(std::FILE* file) {
#ifdef _WIN32
    _setmode(_fileno(file), _O_BINARY);
#else
    (void)file;
#endif
}

}  // namespace

bool IsTerminal(int stream) {
#ifdef _WIN32
    return _isatty(stream) != 0;
#else
    return isatty(stream) != 0;
#endif
}

bool ReadAll(std::FILE* file, std::string* data) {
    MakeBinary(file);
    data->clear();
    char chunk[kReadChunk];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) data->append(chunk, n);
    return std::ferror(file) == 0;
}

bool ReadWholeFile(const std::string& path, std::string* data) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    const bool ok = ReadAll(file, data);
    std::fclose(file);
    return ok;
}

bool WriteStandardOutput(const std::string& bytes) {
    MakeBinary(stdout);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    return std::fflush(stdout) == 0 && written;
}

}  // namespace qr::cli

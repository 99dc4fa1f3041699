// replace_probe door PATH: writes the door's file for a fixed text at PATH (always durable).
// replace_probe unsynced SOURCE PATH: makes PATH hold SOURCE's bytes through the writer with
// durable = false, as a batch does before its one sync.
// Exit status: the door's result, or 0 / 3 for the writer; 64 for a usage error. For the power-cut
// stage (.ci/stages/35-durability.sh).
#include <cstdio>
#include <cstring>
#include <vector>

#include "module/tessera.h"
#include "platform/file_io.h"

namespace {

constexpr int kUsage = 64;
constexpr int kCannotWrite = 3;

bool ReadWhole(const char* path, std::vector<unsigned char>* bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    unsigned char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        bytes->insert(bytes->end(), buffer, buffer + n);
    }
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "door") == 0) {
        std::vector<char> option = {'/', 'O'};
        option.insert(option.end(), argv[2], argv[2] + std::strlen(argv[2]) + 1);
        return tessera("/THello from before the power cut", option.data(), "/S4", "");
    }
    std::vector<unsigned char> bytes;
    if (argc == 4 && std::strcmp(argv[1], "unsynced") == 0 && ReadWhole(argv[2], &bytes)) {
        qr::platform::WriteOptions options;
        options.durable = false;
        return qr::platform::ReplaceFile(argv[3], bytes.data(), bytes.size(), options)
                   ? 0
                   : kCannotWrite;
    }
    std::fprintf(stderr, "usage: replace_probe door PATH | unsynced SOURCE PATH\n");
    return kUsage;
}

#include "tests/hardening/hardening_support.h"

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "module/tessera.h"

namespace qr::test {

const char* const kNullSlot = "{null}";

namespace {

constexpr int kSlots = 4;
constexpr std::size_t kBmpHeadersSize = 62;

std::uint32_t Read32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

}  // namespace

int CallExport(const std::vector<std::string>& options) {
    std::unique_ptr<char[]> blocks[kSlots];
    const char* slots[kSlots] = {"", "", "", ""};
    for (std::size_t i = 0; i < options.size() && i < kSlots; ++i) {
        if (options[i] == kNullSlot) {
            slots[i] = nullptr;
            continue;
        }
        blocks[i].reset(new char[options[i].size() + 1]);
        std::memcpy(blocks[i].get(), options[i].c_str(), options[i].size() + 1);
        slots[i] = blocks[i].get();
    }
    return tessera(slots[0], slots[1], slots[2], slots[3]);
}

std::string Replace(std::string text, const std::string& marker, const std::string& value) {
    for (std::size_t at = 0; (at = text.find(marker, at)) != std::string::npos;
         at += value.size()) {
        text.replace(at, marker.size(), value);
    }
    return text;
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return {"<cannot list " + folder + ">"};
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string BmpFault(const Bytes& bytes) {
    if (bytes.size() < kBmpHeadersSize) return "shorter than the headers";
    if (bytes[0] != 'B' || bytes[1] != 'M') return "no BM signature";
    if (Read32(bytes, 2) != bytes.size()) return "file size field differs from the file";
    if (Read32(bytes, 10) != kBmpHeadersSize) return "pixel offset is not 62";
    const std::uint32_t width = Read32(bytes, 18);
    const std::uint32_t height = Read32(bytes, 22);
    if (width != height || width == 0) return "not a square image";
    const std::uint32_t rowSize = (width + 31) / 32 * 4;
    if (Read32(bytes, 34) != rowSize * height) return "image size field is wrong";
    if (kBmpHeadersSize + std::size_t{rowSize} * height != bytes.size())
        return "rows do not fill the file";
    return "";
}

std::string InChild(const std::function<std::string()>& work) {
    int channel[2];
    if (pipe(channel) != 0) return "pipe failed";
    const pid_t child = fork();
    if (child < 0) return "fork failed";
    if (child == 0) {
        close(channel[0]);
        std::string text;
        try {
            text = work();
        } catch (...) {
            text += "<an exception left the child's work>";  // instead of running on in the child
        }
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = write(channel[1], text.data() + done, text.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        _exit(0);
    }
    close(channel[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status))
        return text + "<child killed by signal " + std::to_string(WTERMSIG(status)) + ">";
    if (WEXITSTATUS(status) != 0)
        return text + "<child exit " + std::to_string(WEXITSTATUS(status)) + ">";
    return text;
}

}  // namespace qr::test

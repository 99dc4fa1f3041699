// Naming staged files: an unnamed file is linked by its descriptor, or through /proc where the
// kernel links descriptors only for privileged callers; hidden names are ".tessera-", 64 random
// bits in hex and ".tmp", tried again while they are taken.
#include "platform/posix_names.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "platform/file_io.h"

namespace qr::platform {

namespace {

constexpr int kMaxNameAttempts = 16;  // random names tried beside one target
constexpr std::size_t kRandomNameBytes = 8;
constexpr std::size_t kNameBytes = kStagedTemporaryBytes;  // ".tessera-" + 16 hex digits + ".tmp"
constexpr std::size_t kSelfLinkBytes = 64;                 // "/proc/self/fd/N"
constexpr char kTemporaryPrefix[] = ".tessera-";
constexpr char kTemporarySuffix[] = ".tmp";

// Set once linking a descriptor itself has been refused where its /proc link was not: older
// kernels link a descriptor only for a caller with CAP_DAC_READ_SEARCH.
std::atomic<bool> descriptorLinksRefused{false};

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

}  // namespace

bool LinkUnnamed(int file, int folder, const char* name) {
    if (!descriptorLinksRefused.load(std::memory_order_relaxed)) {
        if (linkat(file, "", folder, name, AT_EMPTY_PATH) == 0) return true;
        if (errno != ENOENT) return false;
    }
    // Through /proc, which any caller may follow to its own file.
    char self[kSelfLinkBytes];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", file);
    if (linkat(AT_FDCWD, self, folder, name, AT_SYMLINK_FOLLOW) != 0) return false;
    descriptorLinksRefused.store(true, std::memory_order_relaxed);
    return true;
}

bool LinkAtRandomName(int file, int folder, char* name) {
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        RandomName(name);
        if (LinkUnnamed(file, folder, name)) return true;
        if (errno != EEXIST) break;
    }
    name[0] = '\0';
    return false;
}

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

}  // namespace qr::platform

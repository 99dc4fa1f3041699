#include "tests/hardening/writer_shim.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace qr::test {
namespace {

thread_local int allocationsLeft = 0;  // the failing allocation is the one that brings it to 0
thread_local FailedAllocation failed;
thread_local bool recording = false;
thread_local bool refuseUnnamed = false;
thread_local bool refuseDescriptorLinks = false;
thread_local std::string* journal = nullptr;

bool ShouldFail(std::size_t size, bool zeroed) {
    if (allocationsLeft <= 0 || --allocationsLeft > 0) return false;
    failed = {true, zeroed, size};
    return true;
}

void Note(const std::string& call) {
    if (!recording) return;
    recording = false;  // the journal's own allocations are not recorded
    if (journal == nullptr) journal = new std::string;
    *journal += (journal->empty() ? "" : ", ") + call;
    recording = true;
}

void NoteNaming(const char* call, int folder, const char* name, int flags) {
    struct stat st;
    if (!recording || fstatat(folder, name, &st, flags) != 0) return;
    char text[96];
    std::snprintf(text, sizeof text, "%s %04o %u:%u", call,
                  static_cast<unsigned>(st.st_mode & 07777), static_cast<unsigned>(st.st_uid),
                  static_cast<unsigned>(st.st_gid));
    Note(text);
}

void* Allocate(std::size_t size) {
    if (ShouldFail(size, false)) throw std::bad_alloc();
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* AllocateOrNull(std::size_t size) noexcept {
    if (ShouldFail(size, false)) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

void FailAllocation(int nth) {
    allocationsLeft = nth;
    failed = {};
}

FailedAllocation FailedSoFar() {
    return failed;
}

void RecordCalls(bool on) {
    if (on && journal != nullptr) journal->clear();
    recording = on;
}

std::string RecordedCalls() {
    return journal == nullptr ? std::string() : *journal;
}

void RefuseUnnamedFiles(bool on) {
    refuseUnnamed = on;
}

void RefuseDescriptorLinks(bool on) {
    refuseDescriptorLinks = on;
}

}  // namespace qr::test

// operator new in all the forms the library and the tests use, and the matching deletes (so that
// AddressSanitizer sees malloc and free paired).
void* operator new(std::size_t size) {
    return qr::test::Allocate(size);
}
void* operator new[](std::size_t size) {
    return qr::test::Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return qr::test::AllocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return qr::test::AllocateOrNull(size);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}

// The wrapped C library calls (-Wl,--wrap=NAME turns the library's calls of NAME into calls of
// __wrap_NAME, and __real_NAME into NAME).
extern "C" {
void* __real_calloc(std::size_t count, std::size_t size);
int __real_fdatasync(int fd);
int __real_fsync(int fd);
int __real_syncfs(int fd);
int __real_linkat(int from, const char* fromName, int to, const char* toName, int flags);
int __real_renameat(int from, const char* fromName, int to, const char* toName);
int __real_openat(int folder, const char* name, int flags, ...);

void* __wrap_calloc(std::size_t count, std::size_t size) {
    if (qr::test::ShouldFail(count * size, true)) {
        errno = ENOMEM;
        return nullptr;
    }
    return __real_calloc(count, size);
}

int __wrap_fdatasync(int fd) {
    qr::test::Note("fdatasync");
    return __real_fdatasync(fd);
}

int __wrap_fsync(int fd) {
    struct stat st;
    qr::test::Note(fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) ? "fsync folder" : "fsync file");
    return __real_fsync(fd);
}

int __wrap_syncfs(int fd) {
    qr::test::Note("syncfs");
    return __real_syncfs(fd);
}

int __wrap_linkat(int from, const char* fromName, int to, const char* toName, int flags) {
    if ((flags & AT_EMPTY_PATH) != 0 && qr::test::refuseDescriptorLinks) {
        errno = ENOENT;
        return -1;
    }
    qr::test::NoteNaming(
        "link", from, fromName,
        (flags & AT_EMPTY_PATH) | ((flags & AT_SYMLINK_FOLLOW) ? 0 : AT_SYMLINK_NOFOLLOW));
    return __real_linkat(from, fromName, to, toName, flags);
}

int __wrap_renameat(int from, const char* fromName, int to, const char* toName) {
    qr::test::NoteNaming("rename", from, fromName, AT_SYMLINK_NOFOLLOW);
    return __real_renameat(from, fromName, to, toName);
}

int __wrap_openat(int folder, const char* name, int flags, ...) {
    va_list rest;
    va_start(rest, flags);
    const mode_t mode = (flags & (O_CREAT | __O_TMPFILE)) ? va_arg(rest, mode_t) : 0;
    va_end(rest);
    if ((flags & O_TMPFILE) == O_TMPFILE && qr::test::refuseUnnamed) {
        errno = EOPNOTSUPP;
        return -1;
    }
    if (flags & O_CREAT) {
        char text[32];
        std::snprintf(text, sizeof text, "create %04o", static_cast<unsigned>(mode));
        qr::test::Note(text);
    }
    return __real_openat(folder, name, flags, mode);
}
}

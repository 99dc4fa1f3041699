// Win32 files: CreateFileA and ReadFile for input once the path is seen to name a disk file; the
// output written whole into a randomly named file beside the target and flushed, a group of files
// at a time, then each put in its place by ReplaceFileA, which keeps the replaced file's ACL,
// attributes and streams, or for a new file by MoveFileExA with MOVEFILE_WRITE_THROUGH. Fixed
// buffers; nothing is allocated.
#define _CRT_RAND_S  // rand_s, from the C runtime the DLL imports anyway
#include <stdlib.h>
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// <windows.h> maps ReplaceFile to ReplaceFileA; the name here is ours.
#undef ReplaceFile

#include <cstdio>
#include <cstring>

#include "platform/file_io.h"

namespace qr::platform {

namespace {

// The most bytes one ReadFile or WriteFile call is asked for.
constexpr DWORD kMaxTransfer = 0x40000000;
constexpr int kMaxNameAttempts = 16;  // random names tried beside one target
// Room for full and final paths ("\\?\C:\..."); a longer one is refused.
constexpr DWORD kPathBytes = kStagedPathBytes;
constexpr char kTemporaryPrefix[] = ".tessera-";
constexpr char kTemporarySuffix[] = ".tmp";

HANDLE Handle(const InputFile& file) {
    return reinterpret_cast<HANDLE>(file.handle);
}

// A handle closed when it goes out of scope.
class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~OwnedHandle() { Close(); }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle) {
        Close();
        handle_ = handle;
    }
    bool Close() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle == INVALID_HANDLE_VALUE || CloseHandle(handle);
    }

private:
    HANDLE handle_;
};

WriteFailure FailureOf(DWORD error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return WriteFailure::kNoSpace;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return WriteFailure::kPermission;
        case ERROR_WRITE_PROTECT:
            return WriteFailure::kReadOnly;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
            return WriteFailure::kMissingFolder;
        case ERROR_DIRECTORY:
            return WriteFailure::kNotAFile;
        case ERROR_FILE_TOO_LARGE:
            return WriteFailure::kTooLarge;
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
            return WriteFailure::kBrokenPipe;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return WriteFailure::kNoMemory;
        case ERROR_TOO_MANY_OPEN_FILES:
            return WriteFailure::kTooManyFiles;
        case ERROR_FILENAME_EXCED_RANGE:
            return WriteFailure::kNameTooLong;
        case ERROR_CANT_RESOLVE_FILENAME:
            return WriteFailure::kLinkLoop;
        default:
            return WriteFailure::kOther;
    }
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Whether `path` names a device rather than a file on a disk: a DOS device name (NUL, CON, COM1,
// also behind a folder or with an extension), the device namespace "\\.\" (pipes among it) or an
// object path "\\?\" that is not a drive or a UNC share. Found from the text alone: opening a
// device can act on it.
bool IsDevicePath(const char* path) {
    char full[kPathBytes];
    const DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) return false;  // then no open succeeds either
    if (StartsWith(full, "\\\\.\\")) return true;
    if (!StartsWith(full, "\\\\?\\")) return false;
    const char* rest = full + 4;
    const bool drive = ((rest[0] | 0x20) >= 'a' && (rest[0] | 0x20) <= 'z') && rest[1] == ':';
    return !drive && _strnicmp(rest, "UNC\\", 4) != 0;
}

WriteFailure WriteAll(HANDLE file, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > kMaxTransfer ? kMaxTransfer : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr)) return FailureOf(GetLastError());
        if (written == 0) return WriteFailure::kOther;
        data += written;
        size -= written;
    }
    return WriteFailure::kNone;
}

// Writes to the console, pipe or character device at `path`, as it is.
WriteFailure WriteStream(const char* path, const unsigned char* data, std::size_t size) {
    OwnedHandle stream(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    if (!stream.valid()) return FailureOf(GetLastError());
    const DWORD type = GetFileType(stream.get());
    if (type != FILE_TYPE_CHAR && type != FILE_TYPE_PIPE) return WriteFailure::kNotAFile;
    const WriteFailure failure = WriteAll(stream.get(), data, size);
    if (!stream.Close() && failure == WriteFailure::kNone) return FailureOf(GetLastError());
    return failure;
}

// The name of the file that writing to `path` must replace, into `target` (kPathBytes), and
// whether it exists: for an existing file its final path with every symbolic link and junction
// resolved, otherwise `path` itself. Fails for a folder, a read-only file, a file held open
// without delete sharing (which replacing needs), and a path longer than the buffer.
WriteFailure ResolveTarget(const char* path, char* target, bool* exists) {
    *exists = GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    if (!*exists) {
        const std::size_t length = std::strlen(path);
        if (length >= kPathBytes) return WriteFailure::kNameTooLong;
        std::memcpy(target, path, length + 1);
        return WriteFailure::kNone;  // a new file, or a missing folder (then creation fails)
    }
    const OwnedHandle file(
        CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) return FailureOf(GetLastError());
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file.get()) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return WriteFailure::kNotAFile;
    }
    // Windows refuses to replace a read-only file; Wine would replace it, so it is asked here.
    if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) return WriteFailure::kPermission;
    const DWORD length =
        GetFinalPathNameByHandleA(file.get(), target, kPathBytes, FILE_NAME_NORMALIZED);
    if (length == 0) return FailureOf(GetLastError());
    return length < kPathBytes ? WriteFailure::kNone : WriteFailure::kNameTooLong;
}

// The index of the separator that ends the nearest folder above the name in `path` that exists
// (a root counts as existing), or 0 when there is none (a relative path whose first folder is
// missing: the current folder).
std::size_t ExistingFolderEnd(const char* path) {
    char folder[kPathBytes];
    std::size_t end = std::strlen(path);
    if (end >= sizeof folder) return 0;
    for (;;) {
        while (end > 0 && !IsSeparator(path[end - 1])) --end;
        if (end == 0) return 0;
        --end;
        std::memcpy(folder, path, end);
        folder[end] = '\0';
        if (end == 0 || folder[end - 1] == ':' ||
            GetFileAttributesA(folder) != INVALID_FILE_ATTRIBUTES) {
            return end;
        }
    }
}

// Makes each missing folder above the name in `target`, from the top down. Returns kNone or the
// reason.
WriteFailure MakeFolders(const char* target) {
    char folder[kPathBytes];
    const std::size_t length = std::strlen(target);
    if (length >= sizeof folder) return WriteFailure::kNameTooLong;
    std::memcpy(folder, target, length + 1);
    std::size_t name = length;
    while (name > 0 && !IsSeparator(folder[name - 1])) --name;
    for (std::size_t at = ExistingFolderEnd(target) + 1; at < name; ++at) {
        if (!IsSeparator(folder[at]) || IsSeparator(folder[at - 1])) continue;
        const char separator = folder[at];
        folder[at] = '\0';
        const bool made = CreateDirectoryA(folder, nullptr) != 0;
        const DWORD error = GetLastError();
        folder[at] = separator;
        if (!made && error != ERROR_ALREADY_EXISTS) return FailureOf(error);
    }
    return WriteFailure::kNone;
}

// Writes into `name` (kPathBytes) the first `folder` characters of `place` (its folder with the
// separator, or "" for the current folder) followed by a hidden name of 64 random bits. Returns
// false when it does not fit.
bool RandomNameIn(const char* place, std::size_t folder, char* name) {
    unsigned int random[2] = {0, 0};
    if (rand_s(&random[0]) != 0 || rand_s(&random[1]) != 0) {
        // No random numbers from the system: the clock's finest count, the process and the thread.
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        random[0] = static_cast<unsigned int>(now.QuadPart) ^ GetCurrentThreadId() * 0x9E3779B9u;
        random[1] = static_cast<unsigned int>(now.QuadPart >> 32) ^ GetCurrentProcessId();
    }
    std::memcpy(name, place, folder);
    const int written = std::snprintf(name + folder, kPathBytes - folder, "%s%08x%08x%s",
                                      kTemporaryPrefix, random[0], random[1], kTemporarySuffix);
    return written > 0 && folder + static_cast<std::size_t>(written) < kPathBytes;
}

// ReplaceFileA has no write-through: the replaced file's data and its entry are flushed through a
// handle of it (NTFS then writes its log up to the rename). Nothing is done when it cannot be
// opened for writing now.
void FlushReplaced(const char* target) {
    const OwnedHandle file(CreateFileA(target, GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.valid()) FlushFileBuffers(file.get());
}

// Puts the complete file `temporary` in the place of `target`: over the file there (`exists`)
// with ReplaceFileA, which is refused, like the checks before, for a target held elsewhere; at a
// new name with MoveFileExA.
WriteFailure TakeTheName(const char* temporary, const char* target, bool exists,
                         const WriteOptions& options) {
    if (!exists) {
        const DWORD through = options.durable ? MOVEFILE_WRITE_THROUGH : 0;
        return MoveFileExA(temporary, target, MOVEFILE_REPLACE_EXISTING | through)
                   ? WriteFailure::kNone
                   : FailureOf(GetLastError());
    }
    if (ReplaceFileA(target, temporary, nullptr, 0, nullptr, nullptr)) {
        if (options.durable) FlushReplaced(target);
        return WriteFailure::kNone;
    }
    const DWORD error = GetLastError();
    // The replaced file is gone already: the new one takes its name.
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT &&
        MoveFileExA(temporary, target, MOVEFILE_WRITE_THROUGH)) {
        return WriteFailure::kNone;
    }
    return FailureOf(error);
}

// Writes the file for `path` complete under a random name beside its target (with `makeFolders`,
// in the nearest folder above it that exists), flushed, into `*staged`; a device path (with
// `options.streams`) is written at once and marked written. Returns kNone or the reason; nothing
// is left then.
WriteFailure StageAt(const char* path, const unsigned char* data, std::size_t size,
                     const WriteOptions& options, StagedFile* staged) {
    if (IsDevicePath(path)) {
        staged->written = true;
        return options.streams ? WriteStream(path, data, size) : WriteFailure::kNotAFile;
    }
    bool exists = false;
    const WriteFailure resolved = ResolveTarget(path, staged->target, &exists);
    if (resolved != WriteFailure::kNone) return resolved;
    const char* target = staged->target;
    std::size_t folder = std::strlen(target);
    while (folder > 0 && !IsSeparator(target[folder - 1]) && target[folder - 1] != ':') --folder;
    if (!exists && options.makeFolders && folder > 0 && IsSeparator(target[folder - 1])) {
        const std::size_t existing = ExistingFolderEnd(target);
        if (existing + 1 != folder) {  // its folder is missing: the file waits above it
            staged->makesFolders = true;
            folder = existing > 0 || IsSeparator(target[0]) ? existing + 1 : 0;
        }
    }
    // Not shared while it is written: no one can open it before it is complete.
    OwnedHandle file;
    for (int attempt = 0; !file.valid() && attempt < kMaxNameAttempts; ++attempt) {
        if (!RandomNameIn(target, folder, staged->temporary)) return WriteFailure::kNameTooLong;
        file.Reset(CreateFileA(staged->temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid() && GetLastError() != ERROR_FILE_EXISTS) {
            staged->temporary[0] = '\0';
            return FailureOf(GetLastError());
        }
    }
    if (!file.valid()) {
        staged->temporary[0] = '\0';
        return WriteFailure::kOther;
    }
    WriteFailure failure = WriteAll(file.get(), data, size);
    if (failure == WriteFailure::kNone && options.durable && !FlushFileBuffers(file.get())) {
        failure = FailureOf(GetLastError());
    }
    if (!file.Close() && failure == WriteFailure::kNone) failure = FailureOf(GetLastError());
    if (failure != WriteFailure::kNone) {
        DeleteFileA(staged->temporary);
        staged->temporary[0] = '\0';
        return failure;
    }
    staged->replaces = exists;
    return WriteFailure::kNone;
}

}  // namespace

bool OpenInputFile(const char* path, InputFile* file) {
    WIN32_FILE_ATTRIBUTE_DATA looked;
    if (IsDevicePath(path) || !GetFileAttributesExA(path, GetFileExInfoStandard, &looked) ||
        (looked.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
        return false;
    }
    const HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return false;
    }
    file->handle = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

bool InputFileSize(const InputFile& file, std::uint64_t* size) {
    LARGE_INTEGER length;
    if (!GetFileSizeEx(Handle(file), &length)) return false;
    *size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
}

std::int64_t ReadInputFile(const InputFile& file, void* buffer, std::size_t count) {
    unsigned char* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    // One request for any input the library keeps; a larger count is read in parts.
    while (done < count) {
        const std::size_t left = count - done;
        const DWORD chunk = left > kMaxTransfer ? kMaxTransfer : static_cast<DWORD>(left);
        // The offset in OVERLAPPED reads from that position of a synchronous handle.
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(done);
        at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(done) >> 32);
        DWORD read = 0;
        if (!ReadFile(Handle(file), out + done, chunk, &read, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return -1;
        }
        if (read == 0) break;
        done += read;
    }
    return static_cast<std::int64_t>(done);
}

void CloseInputFile(const InputFile& file) {
    CloseHandle(Handle(file));
}

WriteFailure FileGroup::StageFile(const char* path, const unsigned char* data, std::size_t size,
                                  StagedFile* staged) {
    return StageAt(path, data, size, options_, staged);
}

void FileGroup::Commit(WriteFailure* results) {
    for (std::size_t i = 0; i < count_; ++i) {
        StagedFile& staged = slots_[i];
        results[i] = WriteFailure::kNone;
        if (staged.written) continue;
        if (staged.makesFolders) results[i] = MakeFolders(staged.target);
        if (results[i] == WriteFailure::kNone) {
            results[i] = TakeTheName(staged.temporary, staged.target, staged.replaces, options_);
        }
        if (results[i] == WriteFailure::kNone) staged.temporary[0] = '\0';
    }
    Abandon();
}

void FileGroup::Abandon() {
    for (std::size_t i = 0; i < count_; ++i) {
        if (slots_[i].temporary[0] != '\0') DeleteFileA(slots_[i].temporary);
    }
    count_ = 0;
}

std::size_t FilesPerGroup(std::size_t) {
    return FileGroup::kMaxFiles;  // a staged file holds no handle
}

}  // namespace qr::platform

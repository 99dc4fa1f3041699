// Win32 files: CreateFileA and one ReadFile for input; the output written whole beside the target
// and moved over it with MoveFileExA.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// <windows.h> maps ReplaceFile to ReplaceFileA; the name here is ours.
#undef ReplaceFile

#include <atomic>
#include <cstdio>
#include <string>

#include "platform/file_io.h"

namespace qr::platform {

namespace {

// The most bytes one ReadFile or WriteFile call is asked for.
constexpr DWORD kMaxTransfer = 0x40000000;
constexpr int kMaxNameAttempts = 100;  // temporary names tried beside one target

HANDLE Handle(const InputFile& file) {
    return reinterpret_cast<HANDLE>(file.handle);
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// The folder part of `path` with its trailing separator ("C:" for "C:name"), or empty text.
std::string FolderOf(const std::string& path) {
    std::string::size_type end = path.size();
    while (end > 0 && !IsSeparator(path[end - 1]) && path[end - 1] != ':') --end;
    return path.substr(0, end);
}

// The name of the file that writing to `path` must replace: for an existing file the final path
// with every symbolic link and junction resolved, otherwise `path` itself. False when `path`
// names something that is not a plain file (a folder, a device) or a file that cannot be replaced
// now.
bool ResolveTarget(const char* path, std::string* target) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        *target = path;  // a new file, or a folder that does not exist (then creation fails)
        return true;
    }
    // Delete access, which replacing needs, is refused while another handle holds the file
    // without sharing deletion: then nothing is written at all.
    const HANDLE file =
        CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = GetFileType(file) == FILE_TYPE_DISK;
    BY_HANDLE_FILE_INFORMATION info;
    // Windows refuses to replace a read-only file; Wine would replace it, so it is asked here.
    ok = ok && GetFileInformationByHandle(file, &info) &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
    if (ok) {
        // The answer is the length of the name when it fit, else the room it needs (Windows counts
        // the NUL there, Wine does not): ask again with that room and one more.
        std::string name(MAX_PATH, '\0');
        DWORD length = 0;
        for (int attempt = 0; attempt < 2; ++attempt) {
            length = GetFinalPathNameByHandleA(file, name.data(), static_cast<DWORD>(name.size()),
                                               FILE_NAME_NORMALIZED);
            if (length < name.size()) break;
            name.assign(length + 1, '\0');
        }
        ok = length > 0 && length < name.size();
        if (ok) {
            name.resize(length);
            *target = name;
        }
    }
    CloseHandle(file);
    return ok;
}

// A name in the folder of `target` that no other call uses at the same time.
std::string TemporaryNameBeside(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    char name[64];
    std::snprintf(name, sizeof name, ".tessera-%lu-%u.tmp", GetCurrentProcessId(),
                  counter.fetch_add(1));
    return FolderOf(target) + name;
}

bool WriteAll(HANDLE file, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > kMaxTransfer ? kMaxTransfer : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

}  // namespace

bool OpenInputFile(const char* path, InputFile* file) {
    const HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    file->handle = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

bool InputFileSize(const InputFile& file, std::uint64_t* size) {
    LARGE_INTEGER length;
    if (!GetFileSizeEx(Handle(file), &length)) return false;
    // Only disk files have a size that means data; a pipe, a console or a device reads as empty.
    *size = GetFileType(Handle(file)) == FILE_TYPE_DISK
                ? static_cast<std::uint64_t>(length.QuadPart)
                : 0;
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

bool ReplaceFile(const char* path, const void* data, std::size_t size, const WriteOptions&,
                 WriteFailure* failure) {
    if (failure != nullptr) *failure = WriteFailure::kOther;
    std::string target;
    if (path[0] == '\0' || !ResolveTarget(path, &target)) return false;

    // A file can already stand at the chosen name, left by a process that was stopped while it
    // wrote and whose id came back; the next name is tried then.
    std::string temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < kMaxNameAttempts; ++attempt) {
        temporary = TemporaryNameBeside(target);
        file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = WriteAll(file, static_cast<const unsigned char*>(data), size);
    ok = CloseHandle(file) && ok;
    // Refused, like the checks above, for a target held elsewhere or read-only: the file that was
    // there stays as it was.
    ok = ok && MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!ok) DeleteFileA(temporary.c_str());
    if (ok && failure != nullptr) *failure = WriteFailure::kNone;
    return ok;
}

bool SyncFileSystemOf(const char*) {
    return true;  // each file was flushed as it was written
}

}  // namespace qr::platform

// The command's streams: data read from a file, a device, a FIFO or standard input, never more
// than asked for, and bytes written to standard output. Portable stdio underneath, in binary.
#pragma once

#include <cstddef>
#include <cstdio>

#include "platform/file_io.h"

namespace qr::platform {

// Why a read failed, for messages.
enum class ReadFailure { kNone, kMissing, kPermission, kFolder, kOther };

// A source of bytes read in order: a named file of any kind, or standard input.
class InputStream {
public:
    InputStream() = default;
    ~InputStream();
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;

    // Opens `path`, or standard input when `path` is null. Returns false, with the reason in
    // `*failure`, when it cannot be opened.
    bool Open(const char* path, ReadFailure* failure);

    // Reads up to `count` bytes into `buffer`; fewer only at the end of the data. Returns the
    // number read, or -1 when reading fails.
    long long Read(void* buffer, std::size_t count);

private:
    std::FILE* file_ = nullptr;
    bool owned_ = false;
};

// Writes `size` bytes at `data` to standard output and flushes it. Returns false, with the
// reason in `*failure`, when that fails (a closed pipe, a full disk).
bool WriteStandardOutput(const void* data, std::size_t size, WriteFailure* failure);

}  // namespace qr::platform

// The command's streams: data read from a file, a device, a FIFO or standard input as it arrives,
// never more than asked for; bytes written to standard output.
#pragma once

#include <cstddef>

#include "platform/file_io.h"

namespace qr::platform {

// Why a read failed, for messages.
enum class ReadFailure { kNone, kMissing, kPermission, kFolder, kInterrupted, kOther };

// A source of bytes read in order: a named file of any kind, or standard input.
class InputStream {
public:
    // What Read() returns when a signal interrupted it before any byte arrived.
    static constexpr long long kInterrupted = -2;

    InputStream() = default;
    ~InputStream();
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;

    // Opens `path`, or standard input when `path` is null. Returns false, with the reason in
    // `*failure`, when it cannot be opened or is a folder.
    bool Open(const char* path, ReadFailure* failure);

    // Reads up to `count` bytes into `buffer`, as many as have arrived (at least one, unless the
    // data has ended). Returns the number read, 0 at the end of the data, kInterrupted when a
    // signal came first, or -1 when reading fails.
    long long Read(void* buffer, std::size_t count);

    // Reads until `count` bytes are in `buffer` or the data ends. Returns the number read,
    // kInterrupted when a signal came first, or -1 when reading fails.
    long long ReadFully(void* buffer, std::size_t count);

private:
    int fd_ = -1;
    bool owned_ = false;
};

// Writes `size` bytes at `data` to standard output. Returns false, with the reason in `*failure`,
// when that fails (a closed pipe, a full disk).
bool WriteStandardOutput(const void* data, std::size_t size, WriteFailure* failure);

}  // namespace qr::platform

// Files in a build that has none to write: the WebAssembly module of the JavaScript package hands
// every image back as bytes, and its program has no file system. Each operation fails as a missing
// file does.
#include "platform/file_io.h"

namespace qr::platform {

bool OpenInputFile(const char*, InputFile*) {
    return false;
}

bool InputFileSize(const InputFile&, std::uint64_t*) {
    return false;
}

std::int64_t ReadInputFile(const InputFile&, void*, std::size_t) {
    return -1;
}

void CloseInputFile(const InputFile&) {}

bool ReplaceFile(const char*, const void*, std::size_t, const WriteOptions&,
                 WriteFailure* failure) {
    if (failure != nullptr) *failure = WriteFailure::kOther;
    return false;
}

bool SyncFileSystemOf(const char*) {
    return false;
}

}  // namespace qr::platform

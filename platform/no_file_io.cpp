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

WriteFailure FileGroup::StageFile(const char*, const unsigned char*, std::size_t, StagedFile*) {
    return WriteFailure::kOther;
}

void FileGroup::Commit(WriteFailure*) {}

void FileGroup::Abandon() {}

std::size_t FilesPerGroup(std::size_t) {
    return 1;
}

}  // namespace qr::platform

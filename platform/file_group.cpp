// What every platform's group of files shares: its bounds, the state of a new staged file, and
// ReplaceFile as a group of one. Staging, committing and dropping are the platform's.
#include <algorithm>

#include "platform/file_io.h"

namespace qr::platform {

FileGroup::FileGroup(StagedFile* slots, std::size_t capacity, const WriteOptions& options)
    : slots_(slots), capacity_(std::min(capacity, kMaxFiles)), options_(options) {}

FileGroup::~FileGroup() {
    Abandon();
}

WriteFailure FileGroup::Stage(const char* path, const void* data, std::size_t size) {
    if (count_ >= capacity_) return WriteFailure::kOther;
    if (path == nullptr || path[0] == '\0') return WriteFailure::kMissingFolder;
    // Each field as a new StagedFile has it, without clearing its path buffers whole.
    StagedFile& staged = slots_[count_];
    staged.file = staged.folder = -1;
    staged.ownsFolder = staged.folderSyncable = false;
    staged.device = staged.inode = 0;
    staged.replaces = staged.written = staged.makesFolders = false;
    staged.target[0] = staged.temporary[0] = '\0';
    const WriteFailure failure =
        StageFile(path, static_cast<const unsigned char*>(data), size, &staged);
    if (failure == WriteFailure::kNone) ++count_;
    return failure;
}

bool ReplaceFile(const char* path, const void* data, std::size_t size, const WriteOptions& options,
                 WriteFailure* failure) {
    StagedFile slot;
    FileGroup group(&slot, 1, options);
    WriteFailure result = group.Stage(path, data, size);
    if (result == WriteFailure::kNone) group.Commit(&result);
    if (failure != nullptr) *failure = result;
    return result == WriteFailure::kNone;
}

}  // namespace qr::platform

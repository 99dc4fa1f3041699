// The words and error numbers of the platform's failures.
#include "module/failures.h"

#include <cerrno>

#include "module/messages.h"

namespace qr {

std::string CannotCreateMessage(const std::string& path, platform::WriteFailure failure) {
    return "the output file cannot be created: " + PrintableName(path) + ": " +
           WriteFailureText(failure);
}

const char* WriteFailureText(platform::WriteFailure failure) {
    switch (failure) {
        case platform::WriteFailure::kNone:
            return "no error";
        case platform::WriteFailure::kNoSpace:
            return "no space left on the device";
        case platform::WriteFailure::kPermission:
            return "permission denied";
        case platform::WriteFailure::kReadOnly:
            return "the file system is read-only";
        case platform::WriteFailure::kMissingFolder:
            return "the folder does not exist";
        case platform::WriteFailure::kFolderBlocked:
            return "a file stands where a folder would be";
        case platform::WriteFailure::kNoNewFiles:
            return "its folder takes no new files";
        case platform::WriteFailure::kNotAFile:
            return "it is not a file that can be replaced";
        case platform::WriteFailure::kTooLarge:
            return "the file would exceed the file-size limit";
        case platform::WriteFailure::kBrokenPipe:
            return "the reading end of the pipe is closed";
        case platform::WriteFailure::kNoMemory:
            return "out of memory";
        case platform::WriteFailure::kTooManyFiles:
            return "too many open files";
        case platform::WriteFailure::kNameTooLong:
            return "the name is too long";
        case platform::WriteFailure::kLinkLoop:
            return "too many symbolic links, or a loop of them";
        case platform::WriteFailure::kInterrupted:
            return "interrupted";
        case platform::WriteFailure::kOther:
            break;
    }
    return "it cannot be written";
}

int ErrorNumberOf(platform::WriteFailure failure) {
    switch (failure) {
        case platform::WriteFailure::kNone:
            return 0;
        case platform::WriteFailure::kNoSpace:
            return ENOSPC;
        case platform::WriteFailure::kPermission:
            return EACCES;
        case platform::WriteFailure::kMissingFolder:
            return ENOENT;
        case platform::WriteFailure::kNotAFile:
            return EISDIR;
        case platform::WriteFailure::kTooLarge:
            return EFBIG;
        case platform::WriteFailure::kBrokenPipe:
            return EPIPE;
        case platform::WriteFailure::kNoMemory:
            return ENOMEM;
        case platform::WriteFailure::kReadOnly:
            return EROFS;
        case platform::WriteFailure::kFolderBlocked:
            return ENOTDIR;
        case platform::WriteFailure::kNoNewFiles:
            return ENOENT;
        case platform::WriteFailure::kTooManyFiles:
            return EMFILE;
        case platform::WriteFailure::kNameTooLong:
            return ENAMETOOLONG;
        case platform::WriteFailure::kLinkLoop:
            return ELOOP;
        case platform::WriteFailure::kInterrupted:
            return EINTR;
        case platform::WriteFailure::kOther:
            break;
    }
    return EIO;
}

const char* ReadFailureText(platform::ReadFailure failure) {
    switch (failure) {
        case platform::ReadFailure::kNone:
            return "no error";
        case platform::ReadFailure::kMissing:
            return "no such file";
        case platform::ReadFailure::kPermission:
            return "permission denied";
        case platform::ReadFailure::kFolder:
            return "it is a folder";
        case platform::ReadFailure::kInterrupted:
            return "interrupted";
        case platform::ReadFailure::kOther:
            break;
    }
    return "it cannot be read";
}

}  // namespace qr

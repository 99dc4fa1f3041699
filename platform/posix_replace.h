// Linux: replacing a file, as its owner would see it. Whether the caller may replace it, and its
// owner, group, mode, extended attributes and ACL carried over to the file that replaces it.
#pragma once

#include <sys/stat.h>

#include "platform/posix_target.h"

namespace qr::platform {

constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kSetIdBits = S_ISUID | S_ISGID;

// Whether the folder open at `folder` is append-only (chattr +a): names can be made there but
// never taken away, so no file can be replaced.
bool AppendOnly(int folder);

// Gives the file open at `file` what the caller can of the regular file `old` at the target: its
// owner (root only) and group (root, or a member), its extended attributes and ACL, and its mode
// less set-id bits, after the ACL, whose mask the group bits then restate. Where the group cannot
// be kept, the file's group (the caller's) gets no more rights than others had.
void CarryAttributes(int file, const Target& target, const struct stat& old);

// Whether the regular file `old` at the target may be replaced by a rename: the caller may write
// it (root may write read-only files), the folder is not append-only, and in a sticky folder the
// caller is root or owns the file or the folder. Returns kNone or the reason.
WriteFailure MayReplace(const Target& target, const struct stat& old);

}  // namespace qr::platform

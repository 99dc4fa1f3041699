// Linux: names for files written unnamed (O_TMPFILE), and the random hidden names a file takes
// beside its target while it replaces a file or where the file system has no unnamed files.
#pragma once

#include <sys/types.h>

namespace qr::platform {

// Gives the unnamed file open at `file` the name `name` in the folder open at `folder`. Returns
// false with errno set (EEXIST when the name is taken).
bool LinkUnnamed(int file, int folder, const char* name);

// Gives the unnamed file a random hidden name in the folder, written to `name` (room for
// kStagedTemporaryBytes). Returns false with errno set and `name` empty.
bool LinkAtRandomName(int file, int folder, char* name);

// Creates a file with `mode` under a random hidden name in the folder, written to `name` (room
// for kStagedTemporaryBytes). Returns the descriptor, or -1 with errno set and `name` empty.
int CreateAtRandomName(int folder, char* name, mode_t mode);

}  // namespace qr::platform

// The words and error numbers of the platform's reasons for a failed write or read, for the
// pipeline's messages and the C API's tessera_save_explained().
#pragma once

#include <string>

#include "platform/file_io.h"
#include "platform/streams.h"

namespace qr {

// "no space left on the device", "permission denied", ...
const char* WriteFailureText(platform::WriteFailure failure);

// The C library's error number of a reason (ENOSPC for kNoSpace, ...): one that
// platform::WriteFailureOfErrno() takes back to the same reason; EIO for kOther, 0 for kNone.
int ErrorNumberOf(platform::WriteFailure failure);

// "no such file", "it is a folder", ...
const char* ReadFailureText(platform::ReadFailure failure);

// "the output file cannot be created: 'PATH': REASON", the line for a file that cannot be
// written.
std::string CannotCreateMessage(const std::string& path, platform::WriteFailure failure);

}  // namespace qr

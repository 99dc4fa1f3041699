// Helpers of the hardening suites: calls of the export with options in exactly sized heap blocks,
// the state of a folder after a call, and work done in a child process (another user, another
// mount namespace).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace qr::test {

// Stands, as a whole option, for a null pointer in that slot.
extern const char* const kNullSlot;

// Calls tessera() with up to four options, each copied into a heap block of exactly its length
// plus the NUL, so that a read beyond the NUL is caught by AddressSanitizer. Missing slots are
// empty strings; kNullSlot passes a null pointer.
int CallExport(const std::vector<std::string>& options);

// Replaces every `marker` in `text` with `value`.
std::string Replace(std::string text, const std::string& marker, const std::string& value);

// Names in `folder`, sorted, without "." and "..".
std::vector<std::string> Entries(const std::string& folder);

// Whether `bytes` is a whole 1-bit BMP file of a square symbol image: "BM", the file size and the
// pixel offset in the header, and rows that fill the file exactly. Names the first fault.
std::string BmpFault(const Bytes& bytes);

// Runs `work` in a forked child and returns the text it returned, or a line that says how the
// child ended when it did not return normally. The child leaves by _exit and runs no destructor
// of the parent's objects.
std::string InChild(const std::function<std::string()>& work);

// The text a child returns when its work cannot run here; the test then skips with it.
constexpr const char* kSkipPrefix = "skip: ";

}  // namespace qr::test

// Test doubles linked into the bad-input suite only: allocations that fail on request, and a
// journal of the system calls with which the library's writer names and syncs files. The suite is
// linked with -Wl,--wrap for calloc and those calls; operator new is replaced. Both act only on
// the thread that turned them on.
#pragma once

#include <cstddef>
#include <string>

namespace qr::test {

// The allocation that was made to fail: whether it was calloc (the module's input block) and its
// size in bytes.
struct FailedAllocation {
    bool happened = false;
    bool zeroed = false;
    std::size_t size = 0;
};

// From now on the `nth` allocation on this thread (counting operator new in all its forms and
// calloc, from 1) fails: nothrow forms and calloc return null, the others throw std::bad_alloc.
// 0 makes none fail.
void FailAllocation(int nth);

// The allocation that failed since FailAllocation was last called.
FailedAllocation FailedSoFar();

// Starts or stops recording the writer's calls on this thread; starting clears the journal.
void RecordCalls(bool on);

// The calls recorded, separated by ", ": "fdatasync", "fsync folder", "fsync file", "syncfs",
// "create MODE" (a file made by name), "link MODE UID:GID" and "rename MODE UID:GID" (the mode
// and owner of the file as it takes a name).
std::string RecordedCalls();

// While on, opening an unnamed file (O_TMPFILE) fails with EOPNOTSUPP on this thread, as it does
// on file systems without unnamed files.
void RefuseUnnamedFiles(bool on);

// While on, linking a descriptor itself (linkat with AT_EMPTY_PATH) fails with ENOENT on this
// thread, as it does on kernels that allow it only to callers with CAP_DAC_READ_SEARCH.
void RefuseDescriptorLinks(bool on);

}  // namespace qr::test

// Linux files written in groups: each written unnamed (O_TMPFILE) beside its target (found by
// platform/posix_target.h) and given the replaced file's attributes (platform/posix_replace.h);
// then their data synced, their names given (link or rename, platform/posix_names.h) and synced.
// Every step works from an open descriptor of the folder, with fixed buffers of the path limit.
// Input files are read in platform/posix_input_file.cpp.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "platform/file_io.h"
#include "platform/posix_names.h"
#include "platform/posix_replace.h"
#include "platform/posix_target.h"

namespace qr::platform {

namespace {

constexpr mode_t kPrivateMode = 0600;  // a named temporary file until it is complete
constexpr mode_t kNewFileMode = 0666;  // before the umask, as for any new file
// Open files assumed when the limit cannot be read, and those left to the program.
constexpr std::size_t kAssumedOpenFiles = 1024;
constexpr std::size_t kReservedOpenFiles = 64;
// A file of a group holds its descriptor and, at worst, one of a folder of its own.
constexpr std::size_t kDescriptorsPerFile = 2;
static_assert(kPathBytes == kStagedPathBytes, "a staged file holds any path");

// The calling thread's hold on SIGPIPE and SIGXFSZ while groups stage files on it: the first
// group to stage blocks both and reads the file-size limit; the last group to commit or drop its
// files takes off the thread either signal that a write raised meanwhile and gives the thread its
// mask back. One that was already pending stays pending.
struct QuietThread {
    int groups = 0;  // groups holding it
    sigset_t callers;
    sigset_t before;                   // pending when the first group began
    rlim_t sizeLimit = RLIM_INFINITY;  // RLIMIT_FSIZE then
};
thread_local QuietThread quietThread;

void HoldQuiet() {
    QuietThread& q = quietThread;
    if (q.groups++ > 0) return;
    sigset_t quiet;
    sigemptyset(&quiet);
    sigaddset(&quiet, SIGPIPE);
    sigaddset(&quiet, SIGXFSZ);
    pthread_sigmask(SIG_BLOCK, &quiet, &q.callers);
    sigpending(&q.before);
    struct rlimit limit;
    q.sizeLimit = getrlimit(RLIMIT_FSIZE, &limit) == 0 ? limit.rlim_cur : RLIM_INFINITY;
}

void ReleaseQuiet() {
    QuietThread& q = quietThread;
    if (--q.groups > 0) return;
    sigset_t pending;
    sigpending(&pending);
    for (const int signal : {SIGPIPE, SIGXFSZ}) {
        if (!sigismember(&pending, signal) || sigismember(&q.before, signal)) continue;
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, signal);
        const timespec now = {0, 0};
        while (sigtimedwait(&one, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &q.callers, nullptr);
}

// Writes all `size` bytes at the descriptor's position. Returns kNone or the reason.
WriteFailure WriteAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return WriteFailureOfErrno(errno);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return WriteFailure::kNone;
}

// Whether `size` bytes are beyond the file-size limit read when the thread's hold began.
bool AboveFileSizeLimit(std::size_t size) {
    const rlim_t limit = quietThread.sizeLimit;
    return limit != RLIM_INFINITY && size > limit;
}

// The reason a file cannot be made in a folder that is open: a folder there that makes none
// (ENOENT, as in /proc) is not a missing one.
WriteFailure CreationFailure(int error) {
    return error == ENOENT ? WriteFailure::kNoNewFiles : WriteFailureOfErrno(error);
}

// Rewrites the regular file `old` at the target in place, after reserving the space for `size`
// bytes, so that a full disk leaves it as it was. For a descriptor link only: the caller's own
// open file, which has no folder to be replaced in. Returns kNone or the reason; only an I/O error
// after the space was reserved leaves the file changed.
WriteFailure WriteInPlace(const Target& target, const struct stat& old, const unsigned char* data,
                          std::size_t size, const WriteOptions& options) {
    Fd file(openat(target.folder.get(), target.name, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) return WriteFailureOfErrno(errno);
    struct stat now;
    if (fstat(file.get(), &now) != 0) return WriteFailureOfErrno(errno);
    if (!SameFile(now, old) || !S_ISREG(now.st_mode)) return WriteFailure::kOther;
    if (size > 0 && fallocate(file.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        const int error = errno;
        ftruncate(file.get(), now.st_size);  // gives back blocks reserved beyond the end
        return WriteFailureOfErrno(error);
    }
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = pwrite(file.get(), data + done, size - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return WriteFailureOfErrno(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (ftruncate(file.get(), static_cast<off_t>(size)) != 0) return WriteFailureOfErrno(errno);
    // Writing took them away unless the caller is root; the owner may drop them too.
    if (now.st_mode & kSetIdBits) fchmod(file.get(), now.st_mode & kPermissionBits & ~kSetIdBits);
    if (options.durable && fdatasync(file.get()) != 0) return WriteFailureOfErrno(errno);
    return file.Close() ? WriteFailure::kNone : WriteFailureOfErrno(errno);
}

// Writes to the character device, FIFO or pipe `old` at the target, as it is: no rename, no sync.
WriteFailure WriteStream(const Target& target, const struct stat& old, const unsigned char* data,
                         std::size_t size) {
    // A FIFO in a folder waits for its reader, as a shell's redirection does; a pipe reached
    // through /proc whose reader is gone, or a device, must not hold the call.
    const bool wait = S_ISFIFO(old.st_mode) && !target.descriptorLink;
    Fd stream(openat(target.folder.get(), target.name,
                     O_WRONLY | O_NOCTTY | O_CLOEXEC | (wait ? 0 : O_NONBLOCK)));
    if (stream.get() < 0) {
        return errno == ENXIO && S_ISFIFO(old.st_mode) ? WriteFailure::kBrokenPipe
                                                       : WriteFailureOfErrno(errno);
    }
    struct stat now;
    if (fstat(stream.get(), &now) != 0 || !SameFile(now, old) ||
        (now.st_mode & S_IFMT) != (old.st_mode & S_IFMT)) {
        return WriteFailure::kNotAFile;
    }
    const int flags = fcntl(stream.get(), F_GETFL);
    if (!wait && (flags < 0 || fcntl(stream.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)) {
        return WriteFailureOfErrno(errno);
    }
    const WriteFailure failure = WriteAll(stream.get(), data, size);
    if (!stream.Close() && failure == WriteFailure::kNone) return WriteFailureOfErrno(errno);
    return failure;
}

// Writes the file for `target` complete beside it, unnamed where the file system allows, into
// `*staged`; a stream (with `options.streams`) or a descriptor link's file is written at once and
// marked written. Returns kNone or the reason; nothing is left then.
WriteFailure StageAt(const Target& target, const unsigned char* data, std::size_t size,
                     const WriteOptions& options, StagedFile* staged) {
    const int folder = target.folder.get();
    struct stat old;
    bool exists = false;
    if (!target.missingFolders) {
        // What Locate saw at a name that is no link is what a look through links would see.
        if (target.seenError >= 0) {
            exists = target.seenError == 0;
            old = target.seen;
            errno = target.seenError;
        } else {
            exists = fstatat(folder, target.name, &old, 0) == 0;
        }
        if (!exists && (errno != ENOENT || target.descriptorLink))
            return WriteFailureOfErrno(errno);
    }
    if (exists && !S_ISREG(old.st_mode)) {
        const bool stream = S_ISCHR(old.st_mode) || S_ISFIFO(old.st_mode);
        staged->written = true;
        return options.streams && stream ? WriteStream(target, old, data, size)
                                         : WriteFailure::kNotAFile;
    }
    if (AboveFileSizeLimit(size)) return WriteFailure::kTooLarge;
    if (exists && target.descriptorLink) {
        staged->written = true;
        return WriteInPlace(target, old, data, size, options);
    }
    if (exists) {
        const WriteFailure kept = MayReplace(target, old);
        if (kept != WriteFailure::kNone) return kept;
    }
    // Unnamed, the file can be opened by no one until it is complete and has its final owner
    // and mode; a new one gets the umask and the folder's default ACL as any new file does.
    Fd file(openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, kNewFileMode));
    if (file.get() < 0) {
        if (errno != EOPNOTSUPP && errno != EISDIR) return CreationFailure(errno);
        // No unnamed files here: a random name, private while it is written when it replaces a
        // file; a new file is created with the mode it keeps.
        if (AppendOnly(folder)) return WriteFailure::kPermission;
        file.Reset(
            CreateAtRandomName(folder, staged->temporary, exists ? kPrivateMode : kNewFileMode));
        if (file.get() < 0) return CreationFailure(errno);
    }
    const WriteFailure failure = WriteAll(file.get(), data, size);
    if (failure != WriteFailure::kNone) {
        if (staged->temporary[0] != '\0') unlinkat(folder, staged->temporary, 0);
        staged->temporary[0] = '\0';
        return failure;
    }
    if (exists) CarryAttributes(file.get(), target, old);
    std::snprintf(staged->target, sizeof staged->target, "%s", target.name);
    staged->replaces = exists;
    staged->makesFolders = target.missingFolders;
    staged->folderSyncable = target.folderReadable;
    staged->file = file.Release();
    return WriteFailure::kNone;
}

// Gives the staged file its name, making the folders it needs first. Returns kNone or the reason;
// its target is as it was then.
WriteFailure Name(StagedFile* staged) {
    const int staging = static_cast<int>(staged->folder);
    const int file = static_cast<int>(staged->file);
    Fd made;
    const char* name = staged->target;
    if (staged->makesFolders) {
        const WriteFailure failure = MakeFolders(staging, staged->target, &made, &name);
        if (failure != WriteFailure::kNone) return failure;
    }
    const int folder = made.get() >= 0 ? made.get() : staging;
    if (staged->temporary[0] == '\0' && !staged->replaces) {
        // A new file is linked in under its own name; one that came to the name meanwhile is
        // replaced as any other.
        if (LinkUnnamed(file, folder, name)) return WriteFailure::kNone;
        if (errno != EEXIST) return WriteFailureOfErrno(errno);
    }
    if (staged->temporary[0] == '\0') {
        if (AppendOnly(folder)) return WriteFailure::kPermission;
        if (!LinkAtRandomName(file, staging, staged->temporary)) return WriteFailureOfErrno(errno);
    }
    if (renameat(staging, staged->temporary, folder, name) != 0) return WriteFailureOfErrno(errno);
    staged->temporary[0] = '\0';
    return WriteFailure::kNone;
}

// Whether `file` is to be synced with `first`: not written already, and on its file system.
bool OnDeviceOf(const StagedFile& file, const StagedFile& first) {
    return !file.written && file.device == first.device;
}

// Syncs, one file system at a time, the staged files whose outcome is still kNone: `alone`
// (fdatasync of the file, or fsync of its folder) for the only file of a file system, where it
// makes no folder; else one syncfs. A failure becomes the outcome of each of those files.
template <typename SyncAlone>
void SyncEachFileSystem(StagedFile* slots, std::size_t count, WriteFailure* results,
                        SyncAlone alone) {
    static_assert(FileGroup::kMaxFiles <= 64, "a bit for each file of a group");
    std::uint64_t handled = 0;  // files whose file system is synced already
    for (std::size_t i = 0; i < count; ++i) {
        const StagedFile& first = slots[i];
        if ((handled >> i & 1) != 0 || first.written || results[i] != WriteFailure::kNone) continue;
        std::uint64_t these = 0;
        std::size_t files = 0;
        bool makesFolders = false;
        for (std::size_t j = i; j < count; ++j) {
            if (!OnDeviceOf(slots[j], first) || results[j] != WriteFailure::kNone) continue;
            these |= std::uint64_t{1} << j;
            ++files;
            makesFolders = makesFolders || slots[j].makesFolders;
        }
        handled |= these;
        const bool synced =
            files == 1 && !makesFolders ? alone(first) : syncfs(static_cast<int>(first.file)) == 0;
        if (synced) continue;
        const WriteFailure failure = WriteFailureOfErrno(errno);
        for (std::size_t j = i; j < count; ++j) {
            if ((these >> j & 1) != 0) results[j] = failure;
        }
    }
}

}  // namespace

WriteFailure FileGroup::StageFile(const char* path, const unsigned char* data, std::size_t size,
                                  StagedFile* staged) {
    if (!quiet_) {
        HoldQuiet();
        quiet_ = true;
    }
    const char* slash = std::strrchr(path, '/');
    const std::size_t folderLength =
        slash == nullptr ? 0 : static_cast<std::size_t>(slash - path) + 1;
    bool shared = folderSlot_ < count_ && folderLength == folderLength_ &&
                  std::memcmp(path, folderText_, folderLength) == 0;
    for (;;) {
        Target target;
        int known = -1;
        if (shared) {
            known = static_cast<int>(slots_[folderSlot_].folder);
            target.folderReadable = slots_[folderSlot_].folderSyncable;
        }
        WriteFailure failure = Locate(path, options_.makeFolders, &target, known);
        if (failure == WriteFailure::kNone) failure = StageAt(target, data, size, options_, staged);
        // A file that fails in the folder shared is tried again from its path, as if it were the
        // first: the folder may have gone since it was opened.
        if (shared && failure != WriteFailure::kNone && !staged->written) {
            shared = false;
            folderSlot_ = kMaxFiles;
            continue;
        }
        if (failure != WriteFailure::kNone && count_ == 0) {
            ReleaseQuiet();  // nothing is held for a commit
            quiet_ = false;
        }
        if (failure != WriteFailure::kNone || staged->written) return failure;
        if (!target.folder.Owned()) {  // the folder shared, reached through no link
            const StagedFile& other = slots_[folderSlot_];
            staged->folder = other.folder;
            staged->device = other.device;
            staged->inode = other.inode;
            return WriteFailure::kNone;
        }
        struct stat st;
        fstat(target.folder.get(), &st);
        staged->device = st.st_dev;
        staged->inode = st.st_ino;
        // Files in one folder share its descriptor.
        for (std::size_t i = 0; i < count_ && staged->folder < 0; ++i) {
            const StagedFile& other = slots_[i];
            if (!other.written && other.device == staged->device && other.inode == staged->inode) {
                staged->folder = other.folder;
            }
        }
        if (staged->folder < 0) {
            staged->folder = target.folder.Release();
            staged->ownsFolder = true;
        }
        // The folder that the text before the name names, for the paths after it.
        if (!target.viaLink && !target.missingFolders) {
            folderSlot_ = count_;
            folderLength_ = folderLength;
            std::memcpy(folderText_, path, folderLength);
        }
        return WriteFailure::kNone;
    }
}

void FileGroup::Commit(WriteFailure* results) {
    std::fill(results, results + count_, WriteFailure::kNone);
    if (options_.durable) {
        SyncEachFileSystem(slots_, count_, results, [](const StagedFile& file) {
            return fdatasync(static_cast<int>(file.file)) == 0;
        });
    }
    for (std::size_t i = 0; i < count_; ++i) {
        if (!slots_[i].written && results[i] == WriteFailure::kNone) results[i] = Name(&slots_[i]);
    }
    if (options_.durable) {
        // A folder the caller may not read cannot be opened for fsync; some file systems do not
        // sync folders. The file's data is on the disk already.
        SyncEachFileSystem(slots_, count_, results, [](const StagedFile& file) {
            return !file.folderSyncable || fsync(static_cast<int>(file.folder)) == 0 ||
                   errno == EINVAL || errno == EROFS;
        });
    }
    for (std::size_t i = 0; i < count_; ++i) {
        StagedFile& staged = slots_[i];
        const int file = static_cast<int>(staged.file);
        staged.file = -1;
        if (file >= 0 && close(file) != 0 && results[i] == WriteFailure::kNone) {
            results[i] = WriteFailureOfErrno(errno);
        }
    }
    Abandon();
}

void FileGroup::Abandon() {
    for (std::size_t i = 0; i < count_; ++i) {
        StagedFile& staged = slots_[i];
        if (staged.temporary[0] != '\0') {
            unlinkat(static_cast<int>(staged.folder), staged.temporary, 0);
        }
        if (staged.file >= 0) close(static_cast<int>(staged.file));
    }
    // After the files: a later file may have used an earlier one's folder.
    for (std::size_t i = 0; i < count_; ++i) {
        if (slots_[i].ownsFolder) close(static_cast<int>(slots_[i].folder));
    }
    count_ = 0;
    folderSlot_ = kMaxFiles;
    if (quiet_) {
        ReleaseQuiet();
        quiet_ = false;
    }
}

std::size_t FilesPerGroup(std::size_t groups) {
    std::size_t open = kAssumedOpenFiles;
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        open = static_cast<std::size_t>(limit.rlim_cur);
    }
    const std::size_t room = open > kReservedOpenFiles ? open - kReservedOpenFiles : 0;
    const std::size_t files = room / (kDescriptorsPerFile * std::max<std::size_t>(groups, 1));
    return std::clamp<std::size_t>(files, 1, FileGroup::kMaxFiles);
}

}  // namespace qr::platform

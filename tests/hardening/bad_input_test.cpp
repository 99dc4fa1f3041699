// Bad input through the exported function, one table per kind of input: each row gives the
// result code and the state of the file system afterwards. Every failing row runs twice, once
// with no file at the output path (none may appear) and once with an old file there (it must
// survive byte for byte, mode included); no stray file may be left beside it.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "cli/batch.h"
#include "module/failures.h"
#include "module/kept_records.h"
#include "module/symbol.h"
#include "module/tessera.h"
#include "module/tessera_api.h"
#include "platform/file_io.h"
#include "tests/hardening/hardening_support.h"
#include "tests/hardening/writer_shim.h"

namespace qr::test {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;
constexpr long long kSparseBytes = 5LL << 30;
constexpr int kMostDigits = 7089;  // what version 40-L holds
constexpr mode_t kOldFileMode = 0640;
constexpr uid_t kNobody = 65534;

const Bytes kOldBytes = ToBytes("the old file, which no failed call may touch\n");

std::string Digits(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += static_cast<char>('0' + i * 7 % 10);
    return text;
}

std::string Repeat(const std::string& part, std::size_t times) {
    std::string text;
    text.reserve(part.size() * times);
    for (std::size_t i = 0; i < times; ++i) text += part;
    return text;
}

std::string Hex2(unsigned byte) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

// One call: its options ("{out}" the output path, "{in}" the folder of prepared inputs), its
// result, and for a written file the call whose file it must equal (empty: any valid BMP).
struct Row {
    std::string name;
    std::vector<std::string> options;
    int result;
    std::vector<std::string> sameAs = {};
};

mode_t ModeOf(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

class BadInput : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(mkdir(inputs_.c_str(), 0755), 0);
        ASSERT_TRUE(WriteFile(inputs_ + "/empty", {}));
        ASSERT_TRUE(WriteFile(inputs_ + "/digits7089", ToBytes(Digits(kMostDigits))));
        ASSERT_TRUE(WriteFile(inputs_ + "/digits7090", ToBytes(Digits(kMostDigits + 1))));
        ASSERT_EQ(mkdir((inputs_ + "/folder").c_str(), 0755), 0);
        ASSERT_EQ(mkfifo((inputs_ + "/fifo").c_str(), 0644), 0);
        ASSERT_EQ(symlink("folder", (inputs_ + "/link-to-folder").c_str()), 0);
        ASSERT_EQ(symlink("nothing-here", (inputs_ + "/link-dangling").c_str()), 0);
        const int fd = open((inputs_ + "/sparse5g").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, kSparseBytes), 0) << std::strerror(errno);
        close(fd);
    }

    // A fresh, empty folder for one call.
    std::string FreshFolder() {
        const std::string folder = dir_.File("run" + std::to_string(runs_++));
        EXPECT_EQ(mkdir(folder.c_str(), 0755), 0);
        return folder;
    }

    std::vector<std::string> Resolve(std::vector<std::string> options, const std::string& out) {
        for (std::string& option : options) {
            option = Replace(Replace(option, "{out}", out), "{in}", inputs_);
        }
        return options;
    }

    void Check(const Row& row) {
        SCOPED_TRACE(row.name);
        if (row.result != TESSERA_WRITTEN) {
            for (const bool withOld : {false, true}) {
                SCOPED_TRACE(withOld ? "with an old file at the output path" : "with no old file");
                const std::string folder = FreshFolder();
                const std::string out = folder + "/out.bmp";
                if (withOld) {
                    ASSERT_TRUE(WriteFile(out, kOldBytes));
                    ASSERT_EQ(chmod(out.c_str(), kOldFileMode), 0);
                }
                EXPECT_EQ(CallExport(Resolve(row.options, out)), row.result);
                if (withOld) {
                    EXPECT_EQ(Entries(folder), std::vector<std::string>{"out.bmp"});
                    Bytes now;
                    EXPECT_TRUE(ReadFile(out, &now));
                    EXPECT_EQ(now, kOldBytes);
                    EXPECT_EQ(ModeOf(out), S_IFREG | kOldFileMode);
                } else {
                    EXPECT_EQ(Entries(folder), std::vector<std::string>{});
                }
            }
            return;
        }
        // A written file replaces a longer old one whole.
        const std::string folder = FreshFolder();
        const std::string out = folder + "/out.bmp";
        ASSERT_TRUE(WriteFile(out, Bytes(2 * kMiB, 0xEE)));
        ASSERT_EQ(CallExport(Resolve(row.options, out)), TESSERA_WRITTEN);
        EXPECT_EQ(Entries(folder), std::vector<std::string>{"out.bmp"});
        Bytes written;
        ASSERT_TRUE(ReadFile(out, &written));
        EXPECT_EQ(BmpFault(written), "");
        if (row.sameAs.empty()) return;
        const std::string reference = FreshFolder() + "/reference.bmp";
        ASSERT_EQ(CallExport(Resolve(row.sameAs, reference)), TESSERA_WRITTEN);
        Bytes expected;
        ASSERT_TRUE(ReadFile(reference, &expected));
        EXPECT_TRUE(written == expected) << "the file differs from that of the equivalent call";
    }

    TempDir dir_;
    const std::string inputs_ = dir_.File("in");
    int runs_ = 0;
};

TEST_F(BadInput, TextOfHugeLengthAndPercentAtTheEnd) {
    const std::string digits = Digits(kMostDigits);
    for (const Row& row : std::vector<Row>{
             {"1 MiB of text", {"/T" + std::string(kMiB, 'a'), "/O{out}"}, 2},
             {"10 MiB of text", {"/T" + std::string(10 * kMiB, 'a'), "/O{out}"}, 2},
             {"1 MiB of escapes", {"/L0", "/T" + Repeat("%41", kMiB / 3), "/O{out}"}, 2},
             {"7089 digits at level L", {"/L0", "/T" + digits, "/O{out}"}, 0},
             {"7089 digits at level M", {"/T" + digits, "/O{out}"}, 2},
             {"7090 digits at level L", {"/L0", "/T" + digits + "1", "/O{out}"}, 2},
             // "%3" at the very end decodes to the digit '0': 7089 digits that just fit.
             {"7088 digits and %3",
              {"/L0", "/T" + digits.substr(1) + "%3", "/O{out}"},
              0,
              {"/L0", "/T" + digits.substr(1) + "0", "/O{out}"}},
             {"7088 digits and a lone %", {"/L0", "/T" + digits.substr(1) + "%", "/O{out}"}, 2},
             {"% last", {"/Ttessera%", "/O{out}"}, 0, {"/Ttessera%00", "/O{out}"}},
             {"% second last", {"/Ttesser%a", "/O{out}"}, 0, {"/Ttesser%A0", "/O{out}"}},
             {"% third last", {"/Ttesse%ra", "/O{out}"}, 0, {"/Ttesse%0A", "/O{out}"}},
             {"% fourth last", {"/Ttess%era", "/O{out}"}, 0, {"/Ttess%E0a", "/O{out}"}},
             {"% and one digit", {"/Ttessera%4", "/O{out}"}, 0, {"/Ttessera%40", "/O{out}"}},
             {"% and two digits", {"/Ttessera%4a", "/O{out}"}, 0, {"/TtesseraJ", "/O{out}"}},
             {"% alone", {"/T%", "/O{out}"}, 0, {"/T%00", "/O{out}"}},
             {"%%", {"/T%%", "/O{out}"}, 0, {"/T%00", "/O{out}"}},
             {"%%%", {"/T%%%", "/O{out}"}, 0, {"/T%00", "/O{out}"}},
             {"%% before a digit", {"/Tx%%4", "/O{out}"}, 0, {"/Tx%04", "/O{out}"}},
             {"%%41", {"/T%%41", "/O{out}"}, 0, {"/T%041", "/O{out}"}},
             {"non-hex digit", {"/T%G1", "/O{out}"}, 0, {"/T%01", "/O{out}"}},
             {"empty text", {"/T", "/O{out}"}, 2},
             {"empty text then text", {"/T", "/Tabc", "/O{out}"}, 0, {"/Tabc", "/O{out}"}},
             {"%00 only", {"/T%00", "/O{out}"}, 0},
         }) {
        Check(row);
    }
}

TEST_F(BadInput, EveryByteValueInText) {
    std::string raw, escaped;
    for (unsigned byte = 0x01; byte <= 0xFF; ++byte) {
        escaped += "%" + Hex2(byte);
        if (byte == '%') {
            raw += "%25";
            continue;
        }
        raw += static_cast<char>(byte);
        Check({"byte 0x" + Hex2(byte),
               {"/TA" + std::string(1, static_cast<char>(byte)) + "Z", "/O{out}"},
               0,
               {"/TA%" + Hex2(byte) + "Z", "/O{out}"}});
    }
    Check({"all bytes at once", {"/T" + raw, "/O{out}"}, 0, {"/T" + escaped, "/O{out}"}});
}

TEST_F(BadInput, InputFiles) {
    const std::string digits = Digits(kMostDigits);
    for (const Row& row : std::vector<Row>{
             {"missing file", {"/I{in}/missing", "/O{out}"}, 1},
             {"missing file then text",
              {"/I{in}/missing", "/Tabc", "/O{out}"},
              0,
              {"/Tabc", "/O{out}"}},
             {"empty file", {"/I{in}/empty", "/O{out}"}, 1},
             {"empty file then text",
              {"/I{in}/empty", "/Tabc", "/O{out}"},
              0,
              {"/Tabc", "/O{out}"}},
             {"directory", {"/I{in}/folder", "/O{out}"}, 1},
             {"link to a directory", {"/I{in}/link-to-folder", "/O{out}"}, 1},
             {"dangling link", {"/I{in}/link-dangling", "/O{out}"}, 1},
             {"FIFO without a writer", {"/I{in}/fifo", "/O{out}"}, 1},
             {"FIFO then text", {"/I{in}/fifo", "/Tabc", "/O{out}"}, 0, {"/Tabc", "/O{out}"}},
             {"/dev/null", {"/I/dev/null", "/O{out}"}, 1},
             {"/dev/zero", {"/I/dev/zero", "/O{out}"}, 1},
             {"7089 digits at level L",
              {"/I{in}/digits7089", "/L0", "/O{out}"},
              0,
              {"/T" + digits, "/L0", "/O{out}"}},
             {"7089 digits at level M", {"/I{in}/digits7089", "/O{out}"}, 2},
             {"7090 digits at level L", {"/I{in}/digits7090", "/L0", "/O{out}"}, 2},
             {"sparse file of 5 GiB", {"/I{in}/sparse5g", "/O{out}"}, 2},
             // Its first 7090 bytes are data, so the text after it is not taken.
             {"sparse file then text", {"/I{in}/sparse5g", "/Tabc", "/O{out}"}, 2},
             {"path of 1 MiB", {"/I" + std::string(kMiB, 'x'), "/O{out}"}, 1},
             {"empty path", {"/I", "/O{out}"}, 1},
         }) {
        Check(row);
    }
}

TEST_F(BadInput, FifoWithAWriterReadsAsEmptyWithoutBlocking) {
    const std::string fifo = inputs_ + "/fifo";
    const int writer = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(write(writer, "abc", 3), 3);
    Check({"FIFO holding data", {"/I{in}/fifo", "/O{out}"}, 1});
    close(writer);
}

TEST_F(BadInput, LongOptionsHighBitLettersAndNullSlots) {
    std::vector<Row> rows = {
        {"1 MiB level",
         {"/Tabc", "/L" + std::string(kMiB, '9'), "/O{out}"},
         0,
         {"/Tabc", "/O{out}"}},
        {"scale behind 1 MiB of zeros",
         {"/Tabc", "/S+" + std::string(kMiB, '0') + "5", "/O{out}"},
         0,
         {"/Tabc", "/S5", "/O{out}"}},
        {"version behind 1 MiB of white space",
         {"/Tabc", "/V" + std::string(kMiB, ' ') + "2", "/O{out}"},
         0,
         {"/Tabc", "/V2", "/O{out}"}},
        {"negative mask with 1 MiB of zeros",
         {"/Tabc", "/M-" + std::string(kMiB, '0') + "3", "/O{out}"},
         0,
         {"/Tabc", "/O{out}"}},
        {"1 MiB after /EN",
         {"/Tabc", "/V1", "/EN" + std::string(kMiB, 'x'), "/O{out}"},
         0,
         {"/Tabc", "/V1", "/EN", "/O{out}"}},
        {"output path of 1 MiB", {"/Tabc", "/O" + std::string(kMiB, 'x')}, 3},
        {"1 MiB without a slash",
         {std::string(kMiB, 'T'), "/Tabc", "/O{out}"},
         0,
         {"/Tabc", "/O{out}"}},
        {"four null slots", {kNullSlot, kNullSlot, kNullSlot, kNullSlot}, 1},
        {"null slots around the options",
         {kNullSlot, "/Tabc", kNullSlot, "/O{out}"},
         0,
         {"/Tabc", "/O{out}"}},
        {"text and three null slots", {"/Tabc", kNullSlot, kNullSlot, kNullSlot}, 1},
        {"output and three null slots", {kNullSlot, kNullSlot, kNullSlot, "/O{out}"}, 1},
        {"no slash", {"Tabc", "/O{out}"}, 1},
        {"backslash", {"\\Tabc", "/O{out}"}, 1},
        {"leading space", {" /Tabc", "/O{out}"}, 1},
        {"a slash alone", {"/", "/Tabc", "/O{out}"}, 0, {"/Tabc", "/O{out}"}},
        {"an empty output path", {"/Tabc", "/O"}, 1},
    };
    for (unsigned letter = 0x80; letter <= 0xFF; ++letter) {
        const std::string slash = "/" + std::string(1, static_cast<char>(letter));
        const std::string name = "letter 0x" + Hex2(letter);
        rows.push_back(
            {name + " with a value", {slash + "N3", "/Tabc", "/O{out}"}, 0, {"/Tabc", "/O{out}"}});
        rows.push_back({name + " with a path", {"/Tabc", slash + "{out}"}, 1});
        rows.push_back({name + " with text", {slash + "abc", "/O{out}"}, 1});
    }
    for (const Row& row : rows) Check(row);
}

// Output paths relative to a folder that holds an old file, an empty folder, a FIFO and links.
TEST(BadOutput, PathsThatCannotOrMayBeWritten) {
    struct Case {
        const char* name;
        const char* path;  // relative to the folder; null: an empty "/O"
        int result;
        std::vector<std::string> after;  // the folder's entries: '/' folder, '|' FIFO, '@' link
        const char* oldFile;             // "old": untouched; "bmp": replaced by the symbol
    };
    const std::vector<std::string> base = {"fifo|",   "folder/", "link-dangling@", "link-old@",
                                           "loop-a@", "loop-b@", "old.bmp"};
    const std::vector<std::string> withNew = {"fifo|",   "folder/", "link-dangling@", "link-old@",
                                              "loop-a@", "loop-b@", "new.bmp",        "old.bmp"};
    for (const Case& c : std::vector<Case>{
             {"a missing folder", "missing/out.bmp", 3, base, "old"},
             {"an existing folder", "folder", 3, base, "old"},
             {"a folder with a slash", "folder/", 3, base, "old"},
             {"a file used as a folder", "old.bmp/out.bmp", 3, base, "old"},
             {"a FIFO", "fifo", 3, base, "old"},
             {"a loop of links", "loop-a", 3, base, "old"},
             {"an empty path", nullptr, 1, base, "old"},
             {"the old file", "old.bmp", 0, base, "bmp"},
             {"a link to the old file", "link-old", 0, base, "bmp"},
             {"a dangling link", "link-dangling", 0, withNew, "old"},
         }) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string& f = dir.path();
        ASSERT_TRUE(WriteFile(f + "/old.bmp", kOldBytes));
        ASSERT_EQ(mkdir((f + "/folder").c_str(), 0755), 0);
        ASSERT_EQ(mkfifo((f + "/fifo").c_str(), 0644), 0);
        ASSERT_EQ(symlink("old.bmp", (f + "/link-old").c_str()), 0);
        ASSERT_EQ(symlink("new.bmp", (f + "/link-dangling").c_str()), 0);
        ASSERT_EQ(symlink("loop-b", (f + "/loop-a").c_str()), 0);
        ASSERT_EQ(symlink("loop-a", (f + "/loop-b").c_str()), 0);

        const std::string out = c.path == nullptr ? "" : f + "/" + c.path;
        EXPECT_EQ(CallExport({"/Tabc", "/O" + out}), c.result);

        std::vector<std::string> after;
        for (const std::string& name : Entries(f)) {
            const mode_t mode = ModeOf(f + "/" + name);
            after.push_back(name + (S_ISDIR(mode)    ? "/"
                                    : S_ISFIFO(mode) ? "|"
                                    : S_ISLNK(mode)  ? "@"
                                                     : ""));
        }
        EXPECT_EQ(after, c.after);
        EXPECT_EQ(Entries(f + "/folder"), std::vector<std::string>{});
        Bytes old;
        ASSERT_TRUE(ReadFile(f + "/old.bmp", &old));
        if (std::string(c.oldFile) == "old") {
            EXPECT_EQ(old, kOldBytes);
        } else {
            EXPECT_EQ(BmpFault(old), "");
        }
        if (c.after == withNew) {
            Bytes created;
            ASSERT_TRUE(ReadFile(f + "/new.bmp", &created));
            EXPECT_EQ(BmpFault(created), "");
        }
    }
}

// A path of exactly `length` characters in `folder`, its last name made of 'p's.
std::string PathOfLength(const std::string& folder, std::size_t length) {
    return folder + "/" + std::string(length - folder.size() - 1, 'p');
}

TEST(BadOutput, PathsOf258And259Characters) {
    TempDir dir;
    ASSERT_LT(dir.path().size(), 200u)
        << "the temporary folder's path leaves no room for the names";
    const std::string path258 = PathOfLength(dir.path(), 258);
    const std::string path259 = PathOfLength(dir.path(), 259);
    const std::string path300 = PathOfLength(dir.path(), 300);

    // A longer path is refused whole; were it cut, it would name the 258-character file.
    for (const std::string& path : {path259, path300}) {
        SCOPED_TRACE(std::to_string(path.size()) + " characters");
        EXPECT_EQ(CallExport({"/Tabc", "/O" + path}), TESSERA_CANNOT_WRITE);
        EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{});
    }
    EXPECT_EQ(CallExport({"/Tabc", "/O" + path258}), TESSERA_WRITTEN);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{path258.substr(dir.path().size() + 1)});
    Bytes written;
    ASSERT_TRUE(ReadFile(path258, &written));
    EXPECT_EQ(BmpFault(written), "");

    // The 258-character file survives a refused longer path.
    EXPECT_EQ(CallExport({"/Tdef", "/O" + path259}), TESSERA_CANNOT_WRITE);
    Bytes after;
    ASSERT_TRUE(ReadFile(path258, &after));
    EXPECT_EQ(after, written);
}

// Calls the export with `options` as an unprivileged user (nobody, when the test runs as root,
// since root writes anywhere) in a child process. Returns "result N", or a skip line.
std::string CallUnprivileged(const std::vector<std::string>& options,
                             const std::string& cannotWrite) {
    return InChild([&]() -> std::string {
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            return std::string(kSkipPrefix) + "cannot become an unprivileged user";
        }
        if (access(cannotWrite.c_str(), W_OK) == 0) {
            return std::string(kSkipPrefix) + "this user may still write " + cannotWrite;
        }
        return "result " + std::to_string(CallExport(options));
    });
}

TEST(BadOutput, ReadOnlyFolderOrFile) {
    struct Case {
        const char* name;
        mode_t folderMode;
        mode_t fileMode;
        bool checkFolder;  // whether the folder or the file is the one that cannot be written
    };
    for (const Case& c : std::vector<Case>{
             {"a read-only folder", 0555, 0644, true},
             // Renaming over it would replace it, but a file its owner made read-only is kept.
             {"a read-only file in a writable folder", 0777, 0444, false},
         }) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string folder = dir.File("folder");
        const std::string out = folder + "/out.bmp";
        ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
        ASSERT_TRUE(WriteFile(out, kOldBytes));
        ASSERT_EQ(chmod(out.c_str(), c.fileMode), 0);
        ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);
        ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);

        const std::string report =
            CallUnprivileged({"/Tabc", "/O" + out}, c.checkFolder ? folder : out);
        chmod(folder.c_str(), 0755);
        if (report.rfind(kSkipPrefix, 0) == 0) GTEST_SKIP() << report;
        EXPECT_EQ(report, "result 3");
        EXPECT_EQ(Entries(folder), std::vector<std::string>{"out.bmp"});
        Bytes now;
        ASSERT_TRUE(ReadFile(out, &now));
        EXPECT_EQ(now, kOldBytes);
        EXPECT_EQ(ModeOf(out), S_IFREG | c.fileMode);
    }
}

// The names in the folder watched by `watch` of the events since the last look.
std::vector<std::string> WatchedNames(int watch) {
    std::vector<std::string> names;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = read(watch, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if (event->len > 0) names.push_back(event->name);
            at += sizeof(inotify_event) + event->len;
        }
    }
    return names;
}

// Mounts a tmpfs of `size` bytes at `folder` in a private mount namespace of the calling
// process. Returns "" or why it cannot be done here.
std::string MountTinyDisk(const std::string& folder, const char* size) {
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    if (uid == 0) {
        if (unshare(CLONE_NEWNS) != 0)
            return std::string("no mount namespace: ") + std::strerror(errno);
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            return std::string("cannot make the mounts private: ") + std::strerror(errno);
        }
    } else {
        // An unprivileged user may mount in a user namespace of its own, keeping its ids.
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            return std::string("no user namespace: ") + std::strerror(errno);
        }
        const std::string uidMap = std::to_string(uid) + " " + std::to_string(uid) + " 1";
        const std::string gidMap = std::to_string(gid) + " " + std::to_string(gid) + " 1";
        if (!WriteFile("/proc/self/setgroups", ToBytes("deny")) ||
            !WriteFile("/proc/self/uid_map", ToBytes(uidMap)) ||
            !WriteFile("/proc/self/gid_map", ToBytes(gidMap))) {
            return "cannot map the user into its namespace";
        }
    }
    const std::string options = std::string("size=") + size;
    if (mount("tessera-full", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
        return std::string("cannot mount a tmpfs: ") + std::strerror(errno);
    }
    return "";
}

// Fills the file system of `path` up to its last byte.
bool FillUp(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    if (fd < 0) return false;
    const std::string block(4096, 'f');
    for (std::size_t chunk = block.size(); chunk > 0;) {
        if (write(fd, block.data(), chunk) < 0) {
            if (errno != ENOSPC) break;
            chunk /= 2;
        }
    }
    close(fd);
    return true;
}

TEST(BadOutput, FullDisk) {
    struct Case {
        const char* name;
        const char* diskSize;
        bool fillFirst;
        std::vector<std::string> options;
    };
    for (const Case& c : std::vector<Case>{
             {"a full disk", "256k", true, {"/Tabc", "/S1"}},
             {"a disk with less room than the file", "512k", false, {"/Tabc", "/V40", "/S20"}},
         }) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string disk = dir.File("disk");
        ASSERT_EQ(mkdir(disk.c_str(), 0755), 0);
        const std::string report = InChild([&]() -> std::string {
            const std::string why = MountTinyDisk(disk, c.diskSize);
            if (!why.empty()) return kSkipPrefix + why;
            const std::string out = disk + "/out.bmp";
            if (!WriteFile(out, kOldBytes)) return "cannot write the old file";
            if (c.fillFirst && !FillUp(disk + "/filler")) return "cannot fill the disk";
            std::vector<std::string> options = c.options;
            options.push_back("/O" + out);
            std::string text = "result " + std::to_string(CallExport(options)) + "; entries";
            for (const std::string& name : Entries(disk)) text += " " + name;
            Bytes now;
            text += ReadFile(out, &now) && now == kOldBytes ? "; old file intact"
                                                            : "; old file changed";
            return text;
        });
        if (report.rfind(kSkipPrefix, 0) == 0) GTEST_SKIP() << report;
        EXPECT_EQ(report, std::string("result 3; entries ") + (c.fillFirst ? "filler " : "") +
                              "out.bmp; old file intact");
    }
}

// The writer's faults found by trying it adversarially, one row each, and what each must now do.
// Every row runs in a child process as root, in a fresh folder, taking on other users as setpriv
// would, and reports what it saw in one line.

constexpr uid_t kOwner = 1234;  // a user who only owns files
constexpr gid_t kOwnerGroup = 4321;
constexpr rlim_t kFileSizeLimit = 1024;  // below the size of the file of kHello
constexpr int kMaxAllocations = 64;
constexpr int kGuessesPerNumber = 128;  // more than any writer's retries
constexpr unsigned kReaderSeconds = 10;
constexpr char kAcl[] = "system.posix_acl_access";
const std::string kHello = "/THello, writer";

// Takes on user and group `id` and the supplementary `groups` for good (setpriv --reuid
// --regid --groups).
bool BecomeUser(uid_t id, const std::vector<gid_t>& groups) {
    return setgroups(groups.size(), groups.data()) == 0 && setresgid(id, id, id) == 0 &&
           setresuid(id, id, id) == 0;
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : " ") + part;
    return text;
}

ino_t InodeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::string Hello(const std::string& path) {
    return std::to_string(CallExport({kHello, "/O" + path}));
}

// Each allocation of one call fails in turn until a call runs with none failing: each failure
// gives its step's result (1 without the input block, 2 without the encoder or the symbol it
// finishes, 3 for the image), prints nothing and leaves nothing. The encoder's and the symbol's
// records are kept for later calls once made, so the steps run twice: in a process that has made
// none, then with them kept. An exception leaving the export would end the child.
std::string MemoryRunsOut(const std::string& folder) {
    // The records that earlier calls in this process kept are let go, so that the first call
    // here allocates its own, as the first call of a process does.
    for (int i = 0; i < kKeptRecords; ++i) {
        Kept<CQrEncoder>().Take();
        Kept<Symbol>().Take();
    }
    const std::string printed = folder + "/printed";
    const int sink = open(printed.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (dup2(sink, 1) < 0 || dup2(sink, 2) < 0) return "no sink";
    const std::string text = "/THello";
    auto failing = [&](const std::string& out) {
        if (mkdir(out.c_str(), 0755) != 0) return std::string("no folder");
        const std::string path = "/O" + out + "/a path over fifteen characters";
        std::string steps, last;
        for (int nth = 1; nth <= kMaxAllocations; ++nth) {
            FailAllocation(nth);
            const int result = tessera(text.c_str(), path.c_str(), "/S20", "");
            const FailedAllocation failed = FailedSoFar();
            FailAllocation(0);
            const std::string seen = (!failed.happened                    ? "none "
                                      : failed.zeroed                     ? "input block "
                                      : failed.size == sizeof(CQrEncoder) ? "encoder "
                                      : failed.size == sizeof(Symbol)     ? "symbol "
                                                                          : "other ") +
                                     std::to_string(result);
            if (seen != last) steps += (steps.empty() ? "" : ", ") + seen;
            last = seen;
            if (!failed.happened || !Entries(out).empty()) break;
        }
        return steps + "; left " + Joined(Entries(out));
    };
    const std::string first = failing(folder + "/first");
    const std::string kept = failing(folder + "/kept");
    struct stat st;
    const bool quiet = stat(printed.c_str(), &st) == 0 && st.st_size == 0;
    return "first " + first + "; kept " + kept + (quiet ? "; printed nothing" : "; printed");
}

// Each call's syncs and namings in order (with the mode and owner of the file as it is named).
std::string Journal(const std::function<int()>& call, bool unnamed = true) {
    RefuseUnnamedFiles(!unnamed);
    RecordCalls(true);
    const int result = call();
    RecordCalls(false);
    RefuseUnnamedFiles(false);
    return std::to_string(result) + ": " + RecordedCalls();
}

// One file: its data synced before its name, its folder after. A group of files (tessera_save_all,
// or one file whose folders are to be made): its file system synced once before their names and
// once after. Unsynced (the power-cut stage's control): only named.
std::string SyncsInOrder(const std::string& folder) {
    const std::string old = folder + "/old";
    if (!WriteFile(old, kOldBytes) || chmod(old.c_str(), kOldFileMode) != 0) return "no old file";
    tessera_symbol* symbol = nullptr;
    if (tessera_encode("Hello", 5, nullptr, &symbol) != TESSERA_OK) return "no symbol";
    const std::vector<std::string> paths = {folder + "/a.bmp", folder + "/b.bmp", old};
    const char* const names[] = {paths[0].c_str(), paths[1].c_str(), paths[2].c_str()};
    const tessera_symbol* const symbols[] = {symbol, symbol, symbol};
    platform::WriteOptions unsynced, makeFolders;
    unsynced.durable = false;
    makeFolders.makeFolders = true;
    const auto replace = [](const std::string& path, const platform::WriteOptions& options) {
        return !platform::ReplaceFile(path.c_str(), "b", 1, options);
    };
    std::string report = "replace " + Journal([&] { return CallExport({kHello, "/O" + old}); });
    report += "; new " + Journal([&] { return CallExport({kHello, "/O" + folder + "/new"}); });
    report += "; all " + Journal([&] {
                  return static_cast<int>(
                      tessera_save_all(symbols, names, 3, TESSERA_FORMAT_BMP, nullptr, nullptr));
              });
    report += "; folders " + Journal([&] { return replace(folder + "/x/y/z", makeFolders); });
    tessera_symbol_free(symbol);
    return report + "; unsynced " + Journal([&] { return replace(folder + "/u", unsynced); });
}

// Linux's binary access ACL user::rw-, user:nobody:rw-, group::---, mask::rw-, other::---.
Bytes AclDenyingTheGroup() {
    Bytes acl;
    const std::uint32_t entries[][3] = {{0x01, 6, ~0u},
                                        {0x02, 6, kNobody},
                                        {0x04, 0, ~0u},
                                        {0x10, 6, ~0u},
                                        {0x20, 0, ~0u}};  // tag, rwx, id
    const auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) acl.push_back(static_cast<unsigned char>(value >> 8 * i));
    };
    put(2, 4);  // version
    for (const auto& e : entries) put(e[0], 2), put(e[1], 2), put(e[2], 4);
    return acl;
}

// Files of user 1234, group 4321, with an extended attribute, replaced by others, always by a
// rename ("same file" where it was rewritten in place): root keeps owner and group, a member of
// the group keeps the group, and the owner outside it keeps the mode for its own group with no
// more rights than others had; each keeps the mode (less set-id bits), ACL and attribute.
std::string KeepsWhatItReplaces(const std::string& folder) {
    struct Case {
        const char* name;
        uid_t caller;
        std::vector<gid_t> groups;
        mode_t mode;
        bool acl;
    };
    const Bytes acl = AclDenyingTheGroup();
    std::string report;
    for (const Case& c : std::vector<Case>{{"group member", kNobody, {kOwnerGroup}, 0664, false},
                                           {"root, ACL", 0, {}, 0660, true},
                                           {"root, set-id", 0, {}, 06775, false},
                                           {"owner outside the group", kOwner, {}, 0664, false}}) {
        const std::string path = folder + "/" + c.name;
        if (chmod(folder.c_str(), 0777) != 0 || !WriteFile(path, kOldBytes) ||
            chown(path.c_str(), kOwner, kOwnerGroup) || chmod(path.c_str(), c.mode) ||
            setxattr(path.c_str(), "user.origin", "x", 1, 0) ||
            (c.acl && setxattr(path.c_str(), kAcl, acl.data(), acl.size(), 0))) {
            return std::string(kSkipPrefix) + "cannot give a file owner, ACL and attribute here";
        }
        const ino_t before = InodeOf(path);
        const std::string result = InChild([&] {
            return BecomeUser(c.caller, c.groups) ? Hello(path) : std::string("cannot become");
        });
        struct stat st;
        Bytes now, aclNow(acl.size());
        char line[128];
        const bool aclKept = getxattr(path.c_str(), kAcl, aclNow.data(), aclNow.size()) ==
                                 static_cast<ssize_t>(acl.size()) &&
                             aclNow == acl;
        if (stat(path.c_str(), &st) != 0 || !ReadFile(path, &now)) return "lost " + path;
        std::snprintf(line, sizeof line, "%s: %s %u:%u %04o", c.name, result.c_str(), st.st_uid,
                      st.st_gid, static_cast<unsigned>(st.st_mode & 07777));
        report += (report.empty() ? "" : "; ") + std::string(line) +
                  (c.acl ? (aclKept ? " acl kept" : " acl changed") : "") +
                  (getxattr(path.c_str(), "user.origin", nullptr, 0) == 1 ? "" : " xattr lost") +
                  (st.st_ino == before ? " same file" : "") + (BmpFault(now).empty() ? "" : " old");
    }
    return report;
}

// Replacing a 0600 file of nobody: the new file has its mode and owner before it has a name.
std::string PrivateUntilNamed(const std::string& folder) {
    const std::string path = folder + "/private";
    if (!WriteFile(path, kOldBytes) || chown(path.c_str(), kNobody, kNobody) != 0 ||
        chmod(path.c_str(), 0600) != 0) {
        return "cannot prepare";
    }
    const auto call = [&] { return CallExport({kHello, "/O" + path}); };
    const std::string unnamed = "unnamed " + Journal(call);
    return unnamed + "; named " + Journal(call, false);
}

bool SetAppendOnly(const std::string& folder, bool on) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_APPEND_FL : flags & ~FS_APPEND_FL;
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return ok;
}

// In an append-only folder (chattr +a) a new file is linked in directly; an existing one cannot be
// replaced by a rename, and is kept; without unnamed files nothing is made.
std::string AppendOnlyFolder(const std::string& folder) {
    const std::string old = folder + "/old";
    if (!WriteFile(old, kOldBytes)) return "cannot prepare";
    const ino_t before = InodeOf(old);
    if (!SetAppendOnly(folder, true)) return std::string(kSkipPrefix) + "no append-only folders";
    std::string report = "new " + Hello(folder + "/new");
    report += ", old " + Hello(old);
    RefuseUnnamedFiles(true);
    report += ", without unnamed files " + Hello(folder + "/named");
    RefuseUnnamedFiles(false);
    SetAppendOnly(folder, false);
    return report + (InodeOf(old) == before ? " same file" : "") + "; " + Joined(Entries(folder));
}

// /O through descriptor links: the open file is written, a pipe refused, and nothing is made
// where the link's text would point.
std::string DescriptorLinks(const std::string& folder) {
    const std::string reference = folder + "/reference", gone = folder + "/gone";
    Bytes hello;
    if (Hello(reference) != "0" || !ReadFile(reference, &hello) || chdir(folder.c_str()) != 0) {
        return "cannot prepare";
    }
    const auto written = [&](int fd) {
        Bytes now(hello.size() + 1);
        now.resize(
            static_cast<std::size_t>(std::max<ssize_t>(0, pread(fd, now.data(), now.size(), 0))));
        return now == hello ? " written" : " not written";
    };
    const int memory = memfd_create("tessera", 0);
    const int deleted = open(gone.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    int pipe[2];
    if (unlink(gone.c_str()) != 0 || pipe2(pipe, O_NONBLOCK | O_CLOEXEC) != 0) return "no pipe";
    char byte;
    std::string report = "memfd " + Hello("/proc/self/fd/" + std::to_string(memory));
    report += written(memory);
    report += ftruncate(memory, 0) == 0 ? ", " : ", not truncated ";
    report += Hello("/dev/fd/" + std::to_string(memory));
    report += written(memory);
    report += "; deleted file " + Hello("/proc/self/fd/" + std::to_string(deleted));
    report += written(deleted);
    report += "; pipe " + Hello("/dev/fd/" + std::to_string(pipe[1]));
    report += read(pipe[0], &byte, 1) > 0 ? " written" : " empty";
    return report + "; " + Joined(Entries(folder));
}

// Another user plants, in a shared sticky folder, the temporary name one replace was seen to use
// and the next kGuessesPerNumber names counted on from every number in it: later replaces still
// succeed and touch none of them.
std::string UnguessableNames(const std::string& dir) {
    const std::string shared = dir + "/shared", target = shared + "/target";
    if (chmod(dir.c_str(), 0755) || mkdir(shared.c_str(), 0) || chmod(shared.c_str(), 01777) ||
        Hello(target) != "0") {
        return "cannot prepare";
    }
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(watch, shared.c_str(), IN_CREATE);
    std::string report = "first " + Hello(target);
    std::vector<std::string> guesses = WatchedNames(watch);
    guesses.erase(std::remove(guesses.begin(), guesses.end(), "target"), guesses.end());
    if (guesses.size() != 1) return "names made: " + Joined(guesses);
    const std::string seen = guesses[0];
    for (std::size_t at = 0, end; (at = seen.find_first_of("0123456789", at)) != std::string::npos;
         at = end) {
        end = std::min(seen.find_first_not_of("0123456789", at), seen.size());
        const unsigned long long number =
            std::stoull(seen.substr(at, std::min<std::size_t>(end - at, 18)));
        for (int k = 1; k <= kGuessesPerNumber; ++k) {
            guesses.push_back(seen.substr(0, at) + std::to_string(number + k) + seen.substr(end));
        }
    }
    const std::string planted = InChild([&]() -> std::string {
        if (!BecomeUser(kNobody, {})) return "cannot become nobody; ";
        for (const std::string& guess : guesses) {
            if (!WriteFile(shared + "/" + guess, kOldBytes)) return "cannot plant; ";
        }
        return "";
    });
    report += ", then " + Hello(target);
    RefuseUnnamedFiles(true);
    report += ", named " + Hello(target);
    RefuseUnnamedFiles(false);
    std::size_t untouched = 0;
    for (const std::string& guess : guesses) {
        Bytes now;
        untouched += ReadFile(shared + "/" + guess, &now) && now == kOldBytes;
    }
    return planted + report + (untouched == guesses.size() ? "; planted untouched" : "") +
           (Entries(shared).size() == guesses.size() + 1 ? "" : "; entries changed");
}

// /I of a device or a FIFO finds no data and never opens them (inotify sees every open).
std::string InputDevicesStayClosed(const std::string& dir) {
    const std::string in = dir + "/in";
    if (mkdir(in.c_str(), 0755) || mkfifo((in + "/fifo").c_str(), 0666) ||
        !WriteFile(in + "/text", ToBytes("Hello"))) {
        return "cannot prepare";
    }
    if (mknod((in + "/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        return std::string(kSkipPrefix) + "cannot make a device node here";
    }
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(watch, in.c_str(), IN_OPEN);
    std::string report;
    for (const char* name : {"null", "fifo", "text"}) {
        report +=
            name +
            (" " + std::to_string(CallExport({"/I" + in + "/" + name, "/O" + dir + "/out"}))) +
            ", ";
    }
    return report + "opened: " + Joined(WatchedNames(watch));
}

// Beyond the file-size limit: result 3, no SIGXFSZ (the child would die), nothing left.
std::string FileSizeLimit(const std::string& dir) {
    const std::string old = dir + "/old";
    const rlimit limit = {kFileSizeLimit, kFileSizeLimit};
    if (!WriteFile(old, kOldBytes) || setrlimit(RLIMIT_FSIZE, &limit) != 0) return "cannot prepare";
    std::string report = "new " + Hello(dir + "/new");
    report += ", replace " + Hello(old);
    Bytes now;
    return report + (ReadFile(old, &now) && now == kOldBytes ? ", old kept; " : ", old changed; ") +
           Joined(Entries(dir));
}

// In a shared sticky folder another user's file, which the caller may write as a member of its
// group, cannot be renamed over: it is kept whole, never rewritten in place.
std::string StickyFolder(const std::string& folder) {
    const std::string shared = folder + "/shared", path = shared + "/theirs";
    if (chmod(folder.c_str(), 0755) || mkdir(shared.c_str(), 0) || chmod(shared.c_str(), 01777) ||
        !WriteFile(path, kOldBytes) || chown(path.c_str(), kOwner, kOwnerGroup) ||
        chmod(path.c_str(), 0664)) {
        return "cannot prepare";
    }
    const std::string result = InChild([&] {
        return BecomeUser(kNobody, {kOwnerGroup}) ? Hello(path) : std::string("cannot become");
    });
    Bytes now;
    return result + (ReadFile(path, &now) && now == kOldBytes ? " kept; " : " changed; ") +
           Joined(Entries(shared));
}

// The reason the writer gives for each failure that a system call's error names.
std::string Reasons(const std::string& folder) {
    const auto reason = [](const std::string& path) {
        platform::WriteFailure failure = platform::WriteFailure::kNone;
        platform::ReplaceFile(path.c_str(), "x", 1, platform::WriteOptions(), &failure);
        return std::string(WriteFailureText(failure));
    };
    const std::string readOnly = folder + "/read-only";
    if (symlink("loop-b", (folder + "/loop-a").c_str()) ||
        symlink("loop-a", (folder + "/loop-b").c_str()) || mkdir(readOnly.c_str(), 0755)) {
        return "cannot prepare";
    }
    std::string report = "long name: " + reason(folder + "/" + std::string(NAME_MAX + 1, 'n'));
    report += "; loop: " + reason(folder + "/loop-a");
    report += "; /proc/version: " + reason("/proc/version");
    // One descriptor left: the folder takes it, the file finds none.
    const int free = dup(0);
    rlimit before;
    if (free < 0 || close(free) != 0 || getrlimit(RLIMIT_NOFILE, &before) != 0) {
        return "cannot limit the open files";
    }
    rlimit fewFiles = before;
    fewFiles.rlim_cur = static_cast<rlim_t>(free) + 1;
    if (setrlimit(RLIMIT_NOFILE, &fewFiles) != 0) return "cannot limit the open files";
    report += "; open files: " + reason(folder + "/file");
    setrlimit(RLIMIT_NOFILE, &before);
    const std::string why = MountTinyDisk(readOnly, "64k");
    if (!why.empty()) return kSkipPrefix + why;
    if (mount(nullptr, readOnly.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
        return std::string(kSkipPrefix) + "cannot make a mount read-only";
    }
    return report + "; read-only: " + reason(readOnly + "/file");
}

// A group opens each folder once: a later path with the same text before its name is staged in
// the folder opened for the first, even when another folder has taken that name since, and a name
// there that is a link leads where it points. A folder removed since is looked for again from
// the path: the file fails as in a missing folder, whether at once or when named (tmpfs makes
// unnamed files in a removed folder).
std::string FoldersOfAGroup(const std::string& folder) {
    const std::string d = folder + "/d", f = folder + "/f";
    if (mkdir(d.c_str(), 0755) || mkdir(f.c_str(), 0755) || mkdir((folder + "/e").c_str(), 0755) ||
        symlink("../e/t", (d + "/link").c_str()) || mkdir((d + "/sub").c_str(), 0755)) {
        return "cannot prepare";
    }
    platform::StagedFile slots[6];
    platform::FileGroup group(slots, 6, platform::WriteOptions());
    std::string report;
    for (const std::string& path :
         {d + "/a", d + "/b", d + "/link", d + "/sub", d + "/c", f + "/a"}) {
        if (path == d + "/b" &&
            (rename(d.c_str(), (folder + "/old").c_str()) || mkdir(d.c_str(), 0755)))
            return "cannot move";
        report += WriteFailureText(group.Stage(path.c_str(), "x", 1)) + std::string(", ");
    }
    if (rmdir(f.c_str()) != 0) return "cannot remove";
    const platform::WriteFailure removed = group.Stage((f + "/b").c_str(), "x", 1);
    platform::WriteFailure results[platform::FileGroup::kMaxFiles];
    const std::size_t count = group.Size();
    group.Commit(results);
    for (std::size_t i = 0; i < count; ++i)
        report += WriteFailureText(results[i]) + std::string(", ");
    report +=
        std::string("removed: ") +
        WriteFailureText(removed != platform::WriteFailure::kNone ? removed : results[count - 1]);
    for (const char* name : {"old", "d", "e"})
        report += std::string("; ") + name + ": " + Joined(Entries(folder + "/" + name));
    return report;
}

// Files on two file systems in one group: the one with two files synced whole (syncfs), the other
// file alone (fdatasync, then fsync of its folder).
std::string TwoFileSystems(const std::string& folder) {
    char shm[] = "/dev/shm/tessera-test.XXXXXX";
    struct stat here, there;
    if (mkdtemp(shm) == nullptr || stat(folder.c_str(), &here) || stat(shm, &there)) {
        return std::string(kSkipPrefix) + "no /dev/shm";
    }
    if (here.st_dev == there.st_dev) {
        rmdir(shm);
        return std::string(kSkipPrefix) + "/dev/shm is on the file system of the test's folder";
    }
    platform::StagedFile slots[3];
    platform::FileGroup group(slots, 3, platform::WriteOptions());
    for (const std::string& path : {folder + "/a", std::string(shm) + "/b", folder + "/c"})
        group.Stage(path.c_str(), "x", 1);
    const std::string report = Journal([&] {
        platform::WriteFailure results[3];
        group.Commit(results);
        return static_cast<int>(results[0]) + static_cast<int>(results[1]) +
               static_cast<int>(results[2]);
    });
    const std::string left = Joined(Entries(shm));
    unlink((std::string(shm) + "/b").c_str());
    rmdir(shm);
    return report + "; " + left;
}

// Where the kernel links no descriptor itself, the files are linked through /proc, the first and
// every one after it.
std::string WithoutDescriptorLinks(const std::string& folder) {
    RefuseDescriptorLinks(true);
    std::string report = Journal([&] { return CallExport({kHello, "/O" + folder + "/a"}); });
    report += "; " + Journal([&] { return CallExport({kHello, "/O" + folder + "/b"}); });
    RefuseDescriptorLinks(false);
    return report + "; " + Joined(Entries(folder));
}

TEST(WriterFaults, EachBehavesSoundly) {
    if (geteuid() != 0) GTEST_SKIP() << "the rows need root, to take on other users";
    struct FaultRow {
        const char* fault;
        std::string (*run)(const std::string& folder);
        std::string expected;
    };
    std::vector<std::string> skipped;
    for (const FaultRow& row : std::vector<FaultRow>{
             {"1 memory runs out", MemoryRunsOut,
              "first input block 1, encoder 2, symbol 2, none 0; left a path over fifteen "
              "characters; kept input block 1, other 3, none 0; left a path over fifteen "
              "characters; printed nothing"},
             {"2 not durable", SyncsInOrder,
              "replace 0: fdatasync, link 0640 0:0, rename 0640 0:0, fsync folder; new 0: "
              "fdatasync, link 0644 0:0, fsync folder; all 0: syncfs, link 0644 0:0, link 0644 "
              "0:0, link 0640 0:0, rename 0640 0:0, syncfs; folders 0: syncfs, link 0644 0:0, "
              "syncfs; unsynced 0: link 0644 0:0"},
             {"3 replacing takes the file over", KeepsWhatItReplaces,
              "group member: 0 65534:4321 0664; root, ACL: 0 1234:4321 0660 acl kept; "
              "root, set-id: 0 1234:4321 0775; owner outside the group: 0 1234:1234 0644"},
             {"4 readable before complete", PrivateUntilNamed,
              "unnamed 0: fdatasync, link 0600 65534:65534, rename 0600 65534:65534, fsync "
              "folder; named 0: create 0600, fdatasync, rename 0600 65534:65534, fsync folder"},
             {"5 append-only folder", AppendOnlyFolder,
              "new 0, old 3, without unnamed files 3 same file; new old"},
             {"6 descriptor links", DescriptorLinks,
              "memfd 0 written, 0 written; deleted file 0 written; pipe 3 empty; reference"},
             {"7 guessable names", UnguessableNames, "first 0, then 0, named 0; planted untouched"},
             {"8 /I opens devices", InputDevicesStayClosed, "null 1, fifo 1, text 0, opened: text"},
             {"9 file-size limit", FileSizeLimit, "new 3, replace 3, old kept; old"},
             {"10 another's file in a sticky folder", StickyFolder, "3 kept; theirs"},
             {"11 reasons", Reasons,
              "long name: the name is too long; loop: too many symbolic links, or a loop of "
              "them; /proc/version: its folder takes no new files; open files: too many open "
              "files; read-only: the file system is read-only"},
             {"12 a group's folders", FoldersOfAGroup,
              "no error, no error, no error, it is not a file that can be replaced, no error, no "
              "error, no error, no error, no error, no error, the folder does not exist, "
              "removed: the folder does not exist; old: a b c link sub; d: ; e: t"},
             {"13 two file systems", TwoFileSystems,
              "0: syncfs, fdatasync, link 0644 0:0, link 0644 0:0, link 0644 0:0, syncfs, fsync "
              "folder; b"},
             {"14 no descriptor links", WithoutDescriptorLinks,
              "0: fdatasync, link 0644 0:0, fsync folder; 0: fdatasync, link 0644 0:0, fsync "
              "folder; a b"},
         }) {
        SCOPED_TRACE(row.fault);
        TempDir dir;
        const std::string report = InChild([&] {
            umask(022);
            return row.run(dir.path());
        });
        if (report.rfind(kSkipPrefix, 0) == 0) {
            skipped.push_back(row.fault + (": " + report));
        } else {
            EXPECT_EQ(report, row.expected);
        }
    }
    if (!skipped.empty()) GTEST_SKIP() << Joined(skipped);
}

// Devices, FIFOs and pipes are written only with `streams`; a reader that leaves gives "broken
// pipe" and no SIGPIPE (which would end the child).
TEST(WriterFaults, StreamsAreWrittenOnlyWhenAskedFor) {
    static const char* const kFailures[] = {
        "none",     "no space",   "permission",  "read-only",   "no folder", "folder blocked",
        "no new",   "not a file", "too large",   "broken pipe", "no memory", "too many files",
        "too long", "link loop",  "interrupted", "other"};
    TempDir dir;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    const auto write = [](const std::string& path, std::size_t size, bool streams) {
        const Bytes data(size, 'x');
        platform::WriteOptions options;
        options.streams = streams;
        platform::WriteFailure failure = platform::WriteFailure::kOther;
        platform::ReplaceFile(path.c_str(), data.data(), data.size(), options, &failure);
        sigset_t pending;
        sigpending(&pending);
        return kFailures[static_cast<int>(failure)] +
               std::string(sigismember(&pending, SIGPIPE) ? ", SIGPIPE pending" : "");
    };
    const auto pipeEnd = [](bool reader, std::string* link) {
        int channel[2];
        if (pipe2(channel, O_NONBLOCK) != 0 || (!reader && close(channel[0]) != 0)) return -1;
        *link = "/proc/self/fd/" + std::to_string(channel[1]);
        return channel[0];
    };
    struct Case {
        const char* name;
        std::function<std::string()> run;
        const char* expected;
    };
    for (const Case& c : std::vector<Case>{
             {"/dev/null", [&] { return write("/dev/null", 1, true); }, "none"},
             {"/dev/null as a file", [&] { return write("/dev/null", 1, false); }, "not a file"},
             {"/dev/full", [&] { return write("/dev/full", 1, true); }, "no space"},
             {"a FIFO as a file", [&] { return write(fifo, 1, false); }, "not a file"},
             {"a FIFO whose reader leaves after a byte",
              [&] {
                  if (fork() == 0) {
                      alarm(kReaderSeconds);  // in case no writer comes
                      char byte;
                      _exit(read(open(fifo.c_str(), O_RDONLY), &byte, 1) == 1 ? 0 : 1);
                  }
                  return write(fifo, kMiB, true);
              },
              "broken pipe"},
             {"a pipe with a reader",
              [&] {
                  std::string link;
                  const int reader = pipeEnd(true, &link);
                  char got[4] = "";
                  const std::string outcome = write(link, 3, true);
                  return outcome + (read(reader, got, 4) == 3 ? ", read" : "");
              },
              "none, read"},
             {"a pipe without a reader",
              [&] {
                  std::string link;
                  pipeEnd(false, &link);
                  return write(link, 3, true);
              },
              "broken pipe"},
         }) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(InChild(c.run), c.expected);
    }
}

// A group holds SIGPIPE and SIGXFSZ from its first file until it is committed or dropped: the
// signal of a broken pipe written among its files stays blocked while it fills and is gone, with
// the thread's mask back, once the group is empty; one pending before the group stays pending.
TEST(WriterFaults, GroupHoldsBrokenPipesUntilItEnds) {
    const auto state = [] {
        sigset_t mask, pending;
        pthread_sigmask(SIG_BLOCK, nullptr, &mask);
        sigpending(&pending);
        return std::string(sigismember(&mask, SIGPIPE) ? "blocked" : "open") +
               (sigismember(&pending, SIGPIPE) ? ", pending" : ", none");
    };
    for (const auto& [pendingBefore, commit, expected] :
         std::vector<std::tuple<bool, bool, std::string>>{
             {false, true, "blocked, pending; open, none, 2 files"},
             {false, false, "blocked, pending; open, none, 0 files"},
             {true, true, "blocked, pending; blocked, pending, 2 files"}}) {
        SCOPED_TRACE(expected);
        EXPECT_EQ(
            InChild([&, pendingBefore = pendingBefore, commit = commit] {
                TempDir dir;
                sigset_t pipeSignal;
                sigemptyset(&pipeSignal);
                sigaddset(&pipeSignal, SIGPIPE);
                if (pendingBefore) pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
                if (pendingBefore) raise(SIGPIPE);
                int channel[2];
                if (pipe2(channel, O_NONBLOCK) != 0 || close(channel[0]) != 0)
                    return std::string("no pipe");
                platform::WriteOptions options;
                options.streams = true;
                platform::StagedFile slots[3];
                platform::FileGroup group(slots, 3, options);
                for (const std::string& path :
                     {dir.File("a"), "/proc/self/fd/" + std::to_string(channel[1]), dir.File("b")})
                    group.Stage(path.c_str(), "xyz", 3);
                const std::string staged = state();
                platform::WriteFailure results[3];
                commit ? group.Commit(results) : group.Abandon();
                return staged + "; " + state() + ", " + std::to_string(Entries(dir.path()).size()) +
                       " files";
            }),
            expected);
    }
}

// A batch whose allocations fail one after another still counts each line once, as written or
// failed, and the files it leaves are those it counts as written. It runs as a user who may start
// no thread, so that every line is encoded and written on this thread, where allocations fail.
TEST(BatchFaults, EachLineIsCountedOnceWhenMemoryRunsOut) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root, to become a user who may start no thread";
    constexpr int kMaxBatchAllocations = 4000;
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    ASSERT_TRUE(WriteFile(dir.File("lines"), ToBytes("alpha\nbeta\n")));
    std::string report;
    for (int nth = 1; nth <= kMaxBatchAllocations && report.rfind("none failed", 0) != 0; ++nth) {
        SCOPED_TRACE("allocation " + std::to_string(nth));
        const std::string out = dir.File("run" + std::to_string(nth));
        const std::string printed = out + ".err";
        report = InChild([&]() -> std::string {
            cli::CommandLine line;
            line.batch = true;
            line.batchPath = dir.File("lines");
            line.hasOutput = true;
            line.outputPath = out + "/{n}.svg";
            const int sink = open(printed.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            const rlimit oneProcess = {1, 1};
            if (sink < 0 || dup2(sink, 2) < 0 || !BecomeUser(kNobody, {}) ||
                setrlimit(RLIMIT_NPROC, &oneProcess) != 0) {
                return "cannot prepare";
            }
            FailAllocation(nth);
            try {
                cli::RunBatch(line);
            } catch (const std::bad_alloc&) {
            }
            const bool failed = FailedSoFar().happened;
            FailAllocation(0);
            return failed ? "" : "none failed";
        });
        Bytes text;
        ReadFile(printed, &text);
        const std::string err(text.begin(), text.end());
        std::smatch counts;
        if (!std::regex_search(err, counts, std::regex("([0-9]+) written, ([0-9]+) failed"))) {
            continue;  // stopped before its summary: out of memory at the start
        }
        const std::size_t written = std::stoul(counts[1]), failed = std::stoul(counts[2]);
        EXPECT_EQ(written + failed, 2u) << err;
        EXPECT_EQ(Entries(out).size(), written) << err;
    }
    EXPECT_EQ(report, "none failed");
}

}  // namespace
}  // namespace qr::test

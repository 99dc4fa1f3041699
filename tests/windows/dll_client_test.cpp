// tessera.dll as a Windows program uses it: loaded with LoadLibraryA, called through
// GetProcAddress, its version resource read with GetFileVersionInfoA. Checks every result code,
// the bytes of the calls in the Linux library's digest list, and Windows paths: backslashes,
// drive letters, missing folders and files held open by another handle.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// <windows.h> first: these need its types.
#include <bcrypt.h>
#include <gtest/gtest.h>
#include <winioctl.h>
#include <winver.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using TesseraFunction = int(__cdecl*)(const char*, const char*, const char*, const char*);

constexpr char kDllPath[] = TESSERA_DLL_PATH;
constexpr char kDigestData[] = TESSERA_DIGEST_DATA;
constexpr int kDigestRows = 320;

// The text of the path cases and the size of its file: "Hello, Windows" is version 1 at the
// default level, 29 modules with the quiet zone, 116 pixels at the default scale.
constexpr char kText[] = "Hello, Windows";
constexpr std::size_t kTextFileSize = 1918;

// The DLL, loaded once per test program.
TesseraFunction Tessera() {
    static const HMODULE module = LoadLibraryA(kDllPath);
    static const auto function =
        module == nullptr ? nullptr
                          : reinterpret_cast<TesseraFunction>(
                                reinterpret_cast<void*>(GetProcAddress(module, "tessera")));
    return function;
}

int Call(const std::string& a, const std::string& b = "", const std::string& c = "",
         const std::string& d = "") {
    return Tessera()(a.c_str(), b.c_str(), c.c_str(), d.c_str());
}

bool ReadAll(const std::string& path, Bytes* content) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) != 0;
    content->assign(ok ? static_cast<std::size_t>(size.QuadPart) : 0, 0);
    DWORD read = 0;
    ok = ok &&
         (content->empty() ||
          (ReadFile(file, content->data(), static_cast<DWORD>(content->size()), &read, nullptr) &&
           read == content->size()));
    CloseHandle(file);
    return ok;
}

bool WriteAll(const std::string& path, const std::string& content) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
        written == content.size();
    return CloseHandle(file) && ok;
}

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Names in `folder`, sorted, without "." and "..".
std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::string Sha256Hex(const Bytes& data) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[32] = {};
    bool ok = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0;
    ok = ok && BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    ok = ok && BCryptHashData(hash, const_cast<unsigned char*>(data.data()),
                              static_cast<ULONG>(data.size()), 0) == 0;
    ok = ok && BCryptFinishHash(hash, digest, sizeof digest, 0) == 0;
    if (hash != nullptr) BCryptDestroyHash(hash);
    if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!ok) return "no digest";
    std::string hex;
    char pair[3];
    for (unsigned char byte : digest) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        hex += pair;
    }
    return hex;
}

// A fresh folder under the Windows temporary folder, as an absolute path with a drive letter and
// backslashes; removed with everything in it at the end.
class WindowsTempDir {
public:
    WindowsTempDir() {
        static unsigned counter = 0;
        char base[MAX_PATH + 1];
        const DWORD length = GetTempPathA(sizeof base, base);
        for (int attempt = 0; length > 0 && attempt < 100 && path_.empty(); ++attempt) {
            const std::string candidate = std::string(base, length) + "tessera-dll-" +
                                          std::to_string(GetCurrentProcessId()) + "-" +
                                          std::to_string(counter++);
            if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
        }
    }
    ~WindowsTempDir() {
        if (!path_.empty()) Remove(path_);
    }
    WindowsTempDir(const WindowsTempDir&) = delete;
    WindowsTempDir& operator=(const WindowsTempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    static void Remove(const std::string& folder) {
        for (const std::string& name : Listing(folder)) {
            const std::string path = folder + "\\" + name;
            const DWORD attributes = GetFileAttributesA(path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                Remove(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        }
        RemoveDirectoryA(folder.c_str());
    }

    std::string path_;
};

// The bytes the DLL writes for kText with the default options, through a plain path.
Bytes ReferenceBytes(const WindowsTempDir& dir) {
    const std::string path = dir.File("reference.bmp");
    Bytes bytes;
    if (Call(std::string("/T") + kText, "/O" + path) == 0) ReadAll(path, &bytes);
    DeleteFileA(path.c_str());
    return bytes;
}

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

std::string Replace(std::string text, const std::string& marker, const std::string& with) {
    for (std::size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + with.size())) {
        text.replace(at, marker.size(), with);
    }
    return text;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream stream(line);
    while (std::getline(stream, field, '\t')) fields.push_back(field);
    if (!line.empty() && line.back() == '\t') fields.push_back("");
    return fields;
}

class DllClient : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Tessera(), nullptr) << "cannot load " << kDllPath << " or find tessera in it";
        ASSERT_FALSE(dir_.path().empty());
    }
    WindowsTempDir dir_;
};

TEST_F(DllClient, LoadsAndUnloadsWithoutAction) {
    // A second handle to the module, released again: loading runs nothing that can fail.
    const HMODULE again = LoadLibraryA(kDllPath);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(GetProcAddress(again, "tessera"), nullptr);
    EXPECT_EQ(GetProcAddress(again, "Tessera"), nullptr);  // names are exact
    EXPECT_EQ(GetProcAddress(again, "DllMain"), nullptr);
    EXPECT_TRUE(FreeLibrary(again));
    EXPECT_EQ(Call(std::string("/T") + kText, "/O" + dir_.File("after-unload.bmp")), 0);
}

TEST_F(DllClient, VersionResourceNamesTheModule) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(kDllPath, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(kDllPath, 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    // MAJOR.MINOR.PATCH of the release as the four 16-bit numbers MAJOR, MINOR, PATCH, 0.
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(TESSERA_VERSION_TEXT, "%u.%u.%u", &major, &minor, &patch), 3);
    EXPECT_EQ(fixed->dwFileVersionMS, major << 16 | minor);
    EXPECT_EQ(fixed->dwFileVersionLS, patch << 16);
    EXPECT_EQ(fixed->dwProductVersionMS, major << 16 | minor);
    EXPECT_EQ(fixed->dwProductVersionLS, patch << 16);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, sizeof(Translation));
    char block[64];
    std::snprintf(block, sizeof block, "\\StringFileInfo\\%04x%04x\\", translation->language,
                  translation->codePage);
    struct Case {
        const char* key;
        const char* expected;
    };
    for (const Case& c :
         {Case{"FileVersion", TESSERA_VERSION_TEXT}, Case{"ProductVersion", TESSERA_VERSION_TEXT},
          Case{"InternalName", "tessera.dll"}, Case{"OriginalFilename", "tessera.dll"}}) {
        SCOPED_TRACE(c.key);
        char* value = nullptr;
        ASSERT_TRUE(VerQueryValueA(info.data(), (std::string(block) + c.key).c_str(),
                                   reinterpret_cast<void**>(&value), &length));
        EXPECT_EQ(std::string(value), c.expected);
    }
}

TEST_F(DllClient, EveryResultCode) {
    const std::string out = dir_.File("out.bmp");
    const std::string hello = std::string("/T") + kText;
    struct Case {
        const char* name;
        std::vector<std::string> options;
        int result;
    };
    for (const Case& c : std::vector<Case>{
             {"all slots empty", {"", "", "", ""}, 1},
             {"data without an output path", {hello, "/L2", "", ""}, 1},
             {"output path without data", {"/O" + out, "", "", ""}, 1},
             {"input file that does not exist",
              {"/I" + dir_.File("missing.txt"), "/O" + out, "", ""},
              1},
             {"empty text", {"/T", "/O" + out, "", ""}, 2},
             {"too much for version 1 without a larger one",
              {"/T" + std::string(200, '7'), "/V1", "/EN", "/O" + out},
              2},
             {"too much for any version",
              {"/T" + std::string(8000, '7'), "/L0", "/O" + out, ""},
              2},
             {"folder that does not exist",
              {hello, "/O" + dir_.File("no-such-folder\\out.bmp"), "", ""},
              3},
             {"written", {hello, "/O" + out, "", ""}, 0},
         }) {
        SCOPED_TRACE(c.name);
        DeleteFileA(out.c_str());
        EXPECT_EQ(Call(c.options[0], c.options[1], c.options[2], c.options[3]), c.result);
        Bytes written;
        EXPECT_EQ(ReadAll(out, &written), c.result == 0);
        if (c.result == 0) {
            EXPECT_EQ(written.size(), kTextFileSize);
        }
    }
    // A null pointer is taken as an empty slot.
    EXPECT_EQ(Tessera()(nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(Tessera()(hello.c_str(), nullptr, ("/O" + out).c_str(), nullptr), 0);
}

TEST_F(DllClient, BytesMatchTheLinuxLibrary) {
    std::ifstream list(std::string(kDigestData) + "/linux_digests.tsv");
    ASSERT_TRUE(list) << kDigestData;
    std::string line;
    std::getline(list, line);
    const std::vector<std::string> columns = SplitTabs(line.substr(2));
    ASSERT_EQ(columns.size(), 8u) << line;
    int rows = 0;
    int matched = 0;
    while (std::getline(list, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> row = SplitTabs(line);
        ASSERT_EQ(row.size(), columns.size()) << line;
        SCOPED_TRACE("digest row " + row[0]);
        ++rows;
        const std::string out = dir_.File("out-" + row[0] + ".bmp");
        std::string options[4];
        for (int i = 0; i < 4; ++i) {
            const Bytes raw = FromHex(row[1 + i]);
            options[i] = Replace(Replace(Text(raw), "{out}", out), "{data}", kDigestData);
        }
        const int result = Call(options[0], options[1], options[2], options[3]);
        Bytes file;
        const bool written = ReadAll(out, &file);
        EXPECT_EQ(std::to_string(result), row[5]);
        EXPECT_EQ(written, row[6] != "-");
        const std::string size = written ? std::to_string(file.size()) : "-";
        const std::string digest = written ? Sha256Hex(file) : "-";
        EXPECT_EQ(size, row[6]);
        EXPECT_EQ(digest, row[7]);
        if (std::to_string(result) == row[5] && size == row[6] && digest == row[7]) ++matched;
        DeleteFileA(out.c_str());
    }
    std::cout << "bytes and result codes matched the Linux library in " << matched << " of " << rows
              << " calls\n";
    EXPECT_EQ(rows, kDigestRows);
    EXPECT_EQ(matched, rows);
}

// Windows spellings of one output path, each against the bytes of a plain call.
TEST_F(DllClient, WindowsPathSpellingsWriteTheSameFile) {
    const Bytes reference = ReferenceBytes(dir_);
    ASSERT_EQ(reference.size(), kTextFileSize);
    ASSERT_TRUE(CreateDirectoryA(dir_.File("sub").c_str(), nullptr));
    const std::string base = dir_.path();  // "C:\users\...\Temp\tessera-dll-..."
    ASSERT_TRUE(base.size() > 3 && base[1] == ':' && base[2] == '\\') << base;
    std::string forward = base;
    std::replace(forward.begin(), forward.end(), '\\', '/');
    std::string lowerDrive = base;
    lowerDrive[0] = static_cast<char>(lowerDrive[0] - 'A' + 'a');
    const std::string driveOnly = base.substr(0, 2);  // "C:"

    char previous[MAX_PATH + 1];
    ASSERT_GT(GetCurrentDirectoryA(sizeof previous, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(base.c_str()));
    struct Case {
        const char* name;
        std::string option;  // the "/O" value
        std::string file;    // where the file must appear
    };
    for (const Case& c : std::vector<Case>{
             {"drive letter and backslashes", base + "\\a.bmp", dir_.File("a.bmp")},
             {"forward slashes", forward + "/b.bmp", dir_.File("b.bmp")},
             {"mixed slashes", forward + "\\sub/c.bmp", dir_.File("sub\\c.bmp")},
             {"lower-case drive letter", lowerDrive + "\\d.bmp", dir_.File("d.bmp")},
             {"dot and dot-dot", base + "\\sub\\.\\..\\e.bmp", dir_.File("e.bmp")},
             {"relative to the current folder", "sub\\f.bmp", dir_.File("sub\\f.bmp")},
             {"current folder of the drive", driveOnly + "g.bmp", dir_.File("g.bmp")},
             {"long-path prefix", "\\\\?\\" + base + "\\h.bmp", dir_.File("h.bmp")},
         }) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Call(std::string("/T") + kText, "/O" + c.option), 0) << c.option;
        Bytes written;
        ASSERT_TRUE(ReadAll(c.file, &written)) << c.file;
        EXPECT_EQ(written, reference);
    }
    EXPECT_TRUE(SetCurrentDirectoryA(previous));
    EXPECT_EQ(Listing(base), (std::vector<std::string>{"a.bmp", "b.bmp", "d.bmp", "e.bmp", "g.bmp",
                                                       "h.bmp", "sub"}));
    EXPECT_EQ(Listing(dir_.File("sub")), (std::vector<std::string>{"c.bmp", "f.bmp"}));
}

TEST_F(DllClient, WindowsPathSpellingsOfTheInputFile) {
    const Bytes reference = ReferenceBytes(dir_);
    ASSERT_EQ(reference.size(), kTextFileSize);
    ASSERT_TRUE(WriteAll(dir_.File("input.txt"), kText));
    std::string forward = dir_.path();
    std::replace(forward.begin(), forward.end(), '\\', '/');
    for (const std::string& input :
         {dir_.File("input.txt"), forward + "/input.txt", dir_.path() + "\\.\\input.txt",
          "\\\\?\\" + dir_.File("input.txt")}) {
        SCOPED_TRACE(input);
        ASSERT_EQ(Call("/I" + input, "/O" + dir_.File("out.bmp")), 0);
        Bytes written;
        ASSERT_TRUE(ReadAll(dir_.File("out.bmp"), &written));
        EXPECT_EQ(written, reference);
    }
}

TEST_F(DllClient, MissingFolderOrDriveWritesNothing) {
    for (const std::string& path :
         {dir_.File("missing\\out.bmp"), dir_.File("missing\\deeper\\out.bmp"),
          dir_.path() + "/missing/out.bmp", std::string("Q:\\no-such-drive\\out.bmp")}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(Call(std::string("/T") + kText, "/O" + path), 3);
        EXPECT_FALSE(Exists(path));
    }
    EXPECT_TRUE(Listing(dir_.path()).empty());  // no file left beside the targets either
}

TEST_F(DllClient, FolderAsOutputGivesThree) {
    ASSERT_TRUE(CreateDirectoryA(dir_.File("folder.bmp").c_str(), nullptr));
    EXPECT_EQ(Call(std::string("/T") + kText, "/O" + dir_.File("folder.bmp")), 3);
    EXPECT_EQ(GetFileAttributesA(dir_.File("folder.bmp").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(Listing(dir_.path()), std::vector<std::string>{"folder.bmp"});
}

TEST_F(DllClient, ExistingFileIsReplacedWhole) {
    const Bytes reference = ReferenceBytes(dir_);
    const std::string target = dir_.File("existing.bmp");
    ASSERT_TRUE(WriteAll(target, std::string(10000, 'x')));  // longer than the new file
    ASSERT_EQ(Call(std::string("/T") + kText, "/O" + target), 0);
    Bytes written;
    ASSERT_TRUE(ReadAll(target, &written));
    EXPECT_EQ(written, reference);
    EXPECT_EQ(Listing(dir_.path()), std::vector<std::string>{"existing.bmp"});
}

// A target held open by another handle that does not share deletion cannot be replaced: result 3,
// the file keeps its bytes, and nothing is left beside it.
TEST_F(DllClient, FileHeldOpenElsewhereIsLeftAsItWas) {
    const std::string target = dir_.File("locked.bmp");
    const std::string previous = "the bytes that were there";
    struct Case {
        const char* name;
        DWORD share;
    };
    for (const Case& c : {Case{"no sharing", 0}, Case{"read sharing", FILE_SHARE_READ},
                          Case{"read and write sharing", FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteAll(target, previous));
        const HANDLE holder = CreateFileA(target.c_str(), GENERIC_READ | GENERIC_WRITE, c.share,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        EXPECT_EQ(Call(std::string("/T") + kText, "/O" + target), 3);
        CloseHandle(holder);
        Bytes kept;
        ASSERT_TRUE(ReadAll(target, &kept));
        EXPECT_TRUE(Text(kept) == previous) << kept.size() << " bytes now";
        EXPECT_EQ(Listing(dir_.path()), std::vector<std::string>{"locked.bmp"});
    }
    // Released, the same file is replaced.
    EXPECT_EQ(Call(std::string("/T") + kText, "/O" + target), 0);
}

TEST_F(DllClient, ReadOnlyFileIsLeftAsItWas) {
    const std::string target = dir_.File("read-only.bmp");
    ASSERT_TRUE(WriteAll(target, "kept"));
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Call(std::string("/T") + kText, "/O" + target), 3);
    Bytes kept;
    ASSERT_TRUE(ReadAll(target, &kept));
    EXPECT_TRUE(Text(kept) == "kept") << kept.size() << " bytes now";
    EXPECT_EQ(Listing(dir_.path()), std::vector<std::string>{"read-only.bmp"});
}

// Files planted at the names the writer once gave its temporary files (process id and call
// number) block nothing: the writer's names are random, and it leaves none behind.
TEST_F(DllClient, PlantedTemporaryNamesDoNotStopTheCall) {
    constexpr std::size_t kPlanted = 1024;  // more than the calls this program makes before
    const Bytes reference = ReferenceBytes(dir_);
    const std::string target = dir_.File("target.bmp");
    ASSERT_TRUE(WriteAll(target, "the old file"));
    for (std::size_t n = 0; n < kPlanted; ++n) {
        ASSERT_TRUE(WriteAll(dir_.File(".tessera-" + std::to_string(GetCurrentProcessId()) + "-" +
                                       std::to_string(n) + ".tmp"),
                             "planted"));
    }
    ASSERT_EQ(Call(std::string("/T") + kText, "/O" + target), 0);
    Bytes written;
    ASSERT_TRUE(ReadAll(target, &written));
    EXPECT_EQ(written, reference);
    EXPECT_EQ(Listing(dir_.path()).size(), kPlanted + 1);
}

// The input is opened for reading with read sharing only: a handle elsewhere that writes, or that
// shares nothing, keeps it from being read; a reader that shares reading does not.
TEST_F(DllClient, InputFileHeldOpenElsewhere) {
    const Bytes reference = ReferenceBytes(dir_);
    const std::string input = dir_.File("input.txt");
    ASSERT_TRUE(WriteAll(input, kText));
    struct Case {
        const char* name;
        DWORD access;
        DWORD share;
        int result;
    };
    for (const Case& c : {Case{"reader sharing reads", GENERIC_READ, FILE_SHARE_READ, 0},
                          Case{"reader sharing nothing", GENERIC_READ, 0, 1},
                          Case{"writer sharing reads and writes", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, 1}}) {
        SCOPED_TRACE(c.name);
        const std::string out = dir_.File("out.bmp");
        DeleteFileA(out.c_str());
        const HANDLE holder = CreateFileA(input.c_str(), c.access, c.share, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        EXPECT_EQ(Call("/I" + input, "/O" + out), c.result);
        CloseHandle(holder);
        Bytes written;
        EXPECT_EQ(ReadAll(out, &written), c.result == 0);
        if (c.result == 0) {
            EXPECT_EQ(written, reference);
        }
    }
}

// An input file's size is taken in 64 bits: a file of 4 GiB and a few bytes is far too much data
// (result 2), where the low 32 bits alone would read as a short text or as an empty file.
TEST_F(DllClient, InputSizeBeyondFourGigabytesIsNotTruncated) {
    constexpr std::int64_t kFourGiB = std::int64_t{1} << 32;
    for (const std::int64_t size : {kFourGiB + 16, kFourGiB}) {
        SCOPED_TRACE(size);
        const std::string input = dir_.File("huge.bin");
        const HANDLE file = CreateFileA(input.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD ignored = 0;
        // Sparse where the file system allows it, so no 4 GiB are written.
        DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = size;
        const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
        CloseHandle(file);
        if (!sized) GTEST_SKIP() << "this file system cannot hold a 4 GiB file";
        EXPECT_EQ(Call("/I" + input, "/O" + dir_.File("out.bmp")), 2);
        EXPECT_FALSE(Exists(dir_.File("out.bmp")));
        DeleteFileA(input.c_str());
    }
}

}  // namespace

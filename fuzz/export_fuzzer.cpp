// The exported call with four fuzzed option strings. Input: the options separated by NUL bytes
// (a fifth piece and beyond are dropped; a piece that is the single byte 0xFF is a null slot).
// Everything but the paths reaches tessera() as it is. Paths are confined to a scratch folder:
// an "/O" value keeps only [A-Za-z0-9._/-] (no "..") under scratch/out/, and the first byte of an
// "/I" value picks one of the inputs the harness made (files at the capacity limits, an empty
// file, a folder, a FIFO, a device, a missing name). The letter byte itself is kept, high bit and
// all. After each call the result must be 0-3, a written file must be a whole BMP and the only
// entry in scratch/out/, and a failed call must leave scratch/out/ empty.
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "module/tessera.h"

namespace {

constexpr int kSlots = 4;
constexpr unsigned char kNullPiece = 0xFF;
constexpr std::size_t kMaxOutputName = 240;  // with the scratch folder, paths cross 258 characters
constexpr int kMostDigits = 7089;
constexpr std::size_t kBmpHeadersSize = 62;

std::string scratch;  // the scratch folder, removed at exit
std::string outputs;  // scratch/out, empty between calls
std::vector<std::string> inputs;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "export fuzzer: %s\n", what.c_str());
    std::abort();
}

void Write(const std::string& path, const std::string& content) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(content.data(), 1, content.size(), f) != content.size()) {
        Fail("cannot write " + path);
    }
    std::fclose(f);
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

void RemoveScratch() {
    nftw(scratch.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void MakeScratch() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/tfz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make the scratch folder");
    scratch = pattern;
    outputs = scratch + "/out";
    const std::string in = scratch + "/in";
    if (mkdir(outputs.c_str(), 0755) != 0 || mkdir(in.c_str(), 0755) != 0) Fail("mkdir");
    std::atexit(RemoveScratch);

    const std::string digits = [] {
        std::string d;
        for (int i = 0; i < kMostDigits; ++i) d += static_cast<char>('0' + i * 7 % 10);
        return d;
    }();
    Write(in + "/empty", "");
    Write(in + "/digits7089", digits);
    Write(in + "/digits7090", digits + "9");
    Write(in + "/alphanumeric", "HTTPS://EXAMPLE.ORG/TESSERA $%*+-./:");
    Write(in + "/kanji",
          "\x93\xFA\x96\x7B\x8C\xEA\x82\xC5\x82\xB7\x81\x81\x40"
          "abc");
    std::string binary;
    for (int b = 0; b < 256; ++b) binary += static_cast<char>(b);
    Write(in + "/binary", binary);
    if (mkdir((in + "/folder").c_str(), 0755) != 0) Fail("mkdir folder");
    if (mkfifo((in + "/fifo").c_str(), 0644) != 0) Fail("mkfifo");
    if (symlink("digits7089", (in + "/link").c_str()) != 0) Fail("symlink");
    inputs = {in + "/empty", in + "/digits7089", in + "/digits7090", in + "/alphanumeric",
              in + "/kanji", in + "/binary",     in + "/folder",     in + "/fifo",
              in + "/link",  in + "/missing",    "/dev/null",        "/dev/zero"};
}

// The letter of an option piece with the high bit cleared, upper case; 0 for no option.
char LetterOf(const std::string& piece) {
    if (piece.size() < 2 || piece[0] != '/') return 0;
    const char c = static_cast<char>(piece[1] & 0x7F);
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Confine(const std::string& piece) {
    if (piece.size() < 2) return piece;
    const std::string head = piece.substr(0, 2);
    const std::string value = piece.substr(2);
    switch (LetterOf(piece)) {
        case 'O': {
            std::string name;
            for (const char c : value) {
                const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                  (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-' ||
                                  c == '/';
                if (!kept) continue;
                if (c == '.' && !name.empty() && name.back() == '.') continue;  // never ".."
                name += c;
            }
            return head + outputs + "/" + name.substr(0, kMaxOutputName);
        }
        case 'I':
            return head +
                   inputs[value.empty() ? 0 : static_cast<unsigned char>(value[0]) % inputs.size()];
        default:
            return piece;
    }
}

std::uint32_t Read32(const std::string& b, std::size_t at) {
    const auto u = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + i]));
    };
    return u(0) | u(1) << 8 | u(2) << 16 | u(3) << 24;
}

void CheckBmp(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) Fail("cannot read the written file");
    std::string bytes;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
    std::fclose(f);
    if (bytes.size() < kBmpHeadersSize || bytes[0] != 'B' || bytes[1] != 'M') Fail("not a BMP");
    const std::uint32_t side = Read32(bytes, 18);
    const std::uint32_t rowSize = (side + 31) / 32 * 4;
    if (Read32(bytes, 2) != bytes.size() || Read32(bytes, 22) != side ||
        kBmpHeadersSize + std::size_t{rowSize} * side != bytes.size()) {
        Fail("the BMP headers do not match the file");
    }
}

std::vector<std::string> OutputEntries() {
    std::vector<std::string> names;
    DIR* dir = opendir(outputs.c_str());
    if (dir == nullptr) Fail("cannot list the outputs");
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    MakeScratch();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] != 0) {
            pieces.back() += static_cast<char>(data[i]);
        } else if (pieces.size() == kSlots) {
            break;
        } else {
            pieces.emplace_back();
        }
    }
    pieces.resize(kSlots);
    std::vector<std::string> options;
    const char* slots[kSlots];
    for (int i = 0; i < kSlots; ++i) options.push_back(Confine(pieces[i]));
    for (int i = 0; i < kSlots; ++i) {
        const bool null =
            pieces[i].size() == 1 && static_cast<unsigned char>(pieces[i][0]) == kNullPiece;
        slots[i] = null ? nullptr : options[i].c_str();
    }

    const int result = tessera(slots[0], slots[1], slots[2], slots[3]);
    if (result < TESSERA_WRITTEN || result > TESSERA_CANNOT_WRITE)
        Fail("result " + std::to_string(result));
    const std::vector<std::string> entries = OutputEntries();
    if (result != TESSERA_WRITTEN) {
        if (!entries.empty()) Fail("a failed call left " + entries[0]);
        return 0;
    }
    if (entries.size() != 1)
        Fail("a written call left " + std::to_string(entries.size()) + " entries");
    const std::string written = outputs + "/" + entries[0];
    struct stat st;
    if (lstat(written.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) Fail("the output is not a file");
    CheckBmp(written);
    if (unlink(written.c_str()) != 0) Fail("cannot remove the output");
    return 0;
}

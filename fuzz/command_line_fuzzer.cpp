// The command's argument reading and batch naming with fuzzed input. Input: arguments separated by
// NUL bytes. Whatever they are, ParseCommandLine must either refuse them with a message or leave
// every setting in its range; file names made from a line must be safe; and the line splitter,
// fed the whole input in pieces, must number its lines in order and keep no line over its share.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/command_line.h"

namespace {

constexpr std::size_t kKeep = 16;

void Expect(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "command line fuzzer: %s\n", what);
        std::abort();
    }
}

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t length) {
    const std::string text(reinterpret_cast<const char*>(input), length);
    std::vector<std::string> arguments;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = text.find('\0', start);
        arguments.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());

    qr::cli::CommandLine line;
    const std::string error =
        qr::cli::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), &line);
    if (error.empty()) {
        Expect(line.level == -1 || InRange(line.level, 0, 3), "level out of range");
        Expect(InRange(line.version, 0, 40), "version out of range");
        Expect(line.mask == -1 || InRange(line.mask, 0, 7), "mask out of range");
        Expect(InRange(line.scale, 0, 20), "scale out of range");
        Expect(!line.strictVersion || line.version > 0 || line.help || line.showVersion,
               "strict without a version");
    } else {
        Expect(error.find('\n') == std::string::npos, "a message of more than one line");
    }

    // Names made from the first argument as a pattern and the second as a line.
    const std::string pattern = arguments[0];
    const std::string batchLine = arguments.size() > 1 ? arguments[1] : std::string();
    const std::string safe = qr::cli::SafeFileName(batchLine);
    Expect(safe.size() <= qr::cli::kMaxSafeNameBytes, "a long safe name");
    Expect(safe.empty() || safe[0] != '.', "a hidden safe name");
    for (char c : safe) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        Expect(ok, "an unsafe byte in a safe name");
    }
    const std::string name = qr::cli::ExpandPattern(pattern, 7, batchLine);
    if (pattern.find('{') == std::string::npos) Expect(name == pattern, "a plain pattern changed");

    // The splitter over the input in pieces of 7 bytes.
    qr::cli::LineSplitter splitter(kKeep);
    int expected = 0;
    auto take = [&](const qr::cli::LineSplitter::Line& got) {
        Expect(got.number == ++expected, "lines out of order");
        Expect(got.text.size() <= kKeep, "a line over its share");
        Expect(got.text.find('\n') == std::string::npos, "a line holding a line end");
        Expect(got.cut || got.text.size() < kKeep || got.text.size() == kKeep, "cut wrongly");
    };
    for (std::size_t at = 0; at < text.size(); at += 7) {
        splitter.Push(text.data() + at, std::min<std::size_t>(7, text.size() - at), take);
    }
    splitter.End(take);
    return 0;
}

// The command. Slash options keep the library's lenient rules and messages; conventional flags
// are strict and every failure is one line on standard error.
#include "cli/command.h"

#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/symbol_job.h"
#include "module/job_options.h"
#include "module/tessera.h"

#ifndef TESSERA_VERSION
#error "the build defines TESSERA_VERSION"
#endif

namespace qr::cli {

namespace {

constexpr int kMaxSlashOptions = 4;

constexpr const char* SLASH_MESSAGES[] = {
    nullptr,
    "nothing to do: no input data or no output path",
    "the data cannot be encoded",
    "the output file cannot be created",
};

int Report(int status) {
    if (status > kWritten && status <= kCannotWrite) {
        std::fprintf(stderr, "tessera: %s\n", SLASH_MESSAGES[status]);
    }
    return status;
}

int Fail(int status, const std::string& message) {
    std::fprintf(stderr, "tessera: %s\n", message.c_str());
    return status;
}

// "-t TYPE", "-tTYPE", "--type TYPE" or "--type=TYPE" at argv[*i]; advances *i past its value.
// Returns false when argv[*i] is not one of them.
bool TakeTypeFlag(int argc, char** argv, int* i, std::string* value, bool* missing) {
    const std::string arg = argv[*i];
    if (arg == "-t" || arg == "--type") {
        *missing = *i + 1 >= argc;
        if (!*missing) *value = argv[++*i];
        return true;
    }
    if (arg.compare(0, 2, "-t") == 0) {
        *value = arg.substr(2);
        return true;
    }
    if (arg.compare(0, 7, "--type=") == 0) {
        *value = arg.substr(7);
        return true;
    }
    return false;
}

// The slash options through the library's own option rules, written as `type`.
int RunSlashAsType(const std::vector<const char*>& options, OutputType type) {
    JobOptions job;
    for (const char* option : options) job.ParseOption(option);
    if (job.inputData == nullptr || !job.HasOutputPath()) return Report(kNothingToDo);
    std::unique_ptr<CQrEncoder> encoder(new (std::nothrow) CQrEncoder);
    if (!encoder) return Report(kCannotEncode);
    if (job.outputPathTooLong) {
        // The library refuses such a path only once the data is known to encode.
        const bool encoded =
            job.inputLength > 0 &&
            encoder->Encode(job.level, job.requestedVersion, job.allowLargerVersion, job.maskNumber,
                            job.inputData, job.inputLength);
        return Report(encoded ? kCannotWrite : kCannotEncode);
    }
    SymbolSettings settings;
    settings.level = job.level;
    settings.version = job.requestedVersion;
    settings.allowLargerVersion = job.allowLargerVersion != 0;
    settings.mask = job.maskNumber;
    settings.type = type;
    settings.scale = job.scale;
    std::string ignored;
    // An empty "/T" leaves an empty input, which cannot be encoded, as in the library.
    return Report(EncodeAndWrite(encoder.get(), job.inputData,
                                 static_cast<std::size_t>(job.inputLength), settings,
                                 job.outputPath, &ignored));
}

int RunSlash(int argc, char** argv) {
    std::vector<const char*> options;
    bool hasType = false;
    OutputType type = OutputType::kBmp;
    for (int i = 1; i < argc; ++i) {
        std::string value;
        bool missing = false;
        if (TakeTypeFlag(argc, argv, &i, &value, &missing)) {
            if (missing) return Fail(kExitUsage, "-t needs a value");
            if (!TypeFromName(value, &type)) {
                return Fail(kExitUsage,
                            "-t takes bmp, png, svg, txt, utf8 or ansi, not '" + value + "'");
            }
            hasType = true;
        } else {
            options.push_back(argv[i]);
        }
    }
    if (options.size() > static_cast<std::size_t>(kMaxSlashOptions)) {
        std::fputs(
            "usage: tessera /Ttext|/Ifile /Opath [/L0-3] [/V1-40] [/EN] [/M0-7] [/S1-20]\n"
            "       (at most four options; see tessera --help)\n",
            stderr);
        return kExitUsage;
    }
    if (hasType) return RunSlashAsType(options, type);
    options.resize(kMaxSlashOptions, "");
    return Report(tessera(options[0], options[1], options[2], options[3]));
}

int RunConventional(int argc, char** argv) {
    CommandLine line;
    const std::string error = ParseCommandLine(argc - 1, argv + 1, &line);
    if (!error.empty()) return Fail(kExitUsage, error);
    if (line.help) {
        std::fputs(UsageText(), stdout);
        return kWritten;
    }
    if (line.showVersion) {
        std::printf("tessera %s\n", TESSERA_VERSION);
        return kWritten;
    }
    if (line.batch) return RunBatch(line);

    std::string data;
    if (line.hasText) {
        data = line.text;
    } else if (!line.inputPath.empty()) {
        if (!ReadWholeFile(line.inputPath, &data)) {
            return Fail(kNothingToDo,
                        "nothing to do: the input file '" + line.inputPath + "' cannot be read");
        }
    } else if (!line.standardInput && IsTerminal(0)) {
        // Nothing given and nothing piped in: waiting for typed data would look like a hang.
        return Fail(kExitUsage,
                    "no data: give TEXT, -i FILE, or data on standard input (- reads "
                    "a terminal); see tessera --help");
    } else if (!ReadAll(stdin, &data)) {
        return Fail(kNothingToDo, "nothing to do: standard input cannot be read");
    }
    if (data.empty()) return Fail(kNothingToDo, "nothing to do: the input is empty");

    const std::string output = line.hasOutput ? line.outputPath : kStandardStream;
    OutputType type = OutputType::kBmp;
    if (line.hasType) {
        type = line.type;
    } else if (output == kStandardStream) {
        type = IsTerminal(1) ? OutputType::kUtf8 : OutputType::kBmp;
    } else {
        type = TypeFromPath(output);
    }
    const SymbolSettings settings = SettingsFrom(line, type);

    std::unique_ptr<CQrEncoder> encoder(new (std::nothrow) CQrEncoder);
    if (!encoder) return Fail(kCannotEncode, "the data cannot be encoded: out of memory");
    std::string message;
    const int status =
        EncodeAndWrite(encoder.get(), reinterpret_cast<const unsigned char*>(data.data()),
                       data.size(), settings, output, &message);
    if (status != kWritten) return Fail(status, message);
    return kWritten;
}

}  // namespace

int RunCommand(int argc, char** argv) {
    if (argc >= 2 && argv[1][0] == '/') return RunSlash(argc, argv);
    return RunConventional(argc, argv);
}

}  // namespace qr::cli

// The command. Slash options keep the library's lenient rules and messages; conventional flags
// are strict and every failure is one line on standard error. Everything between the data and
// the output goes through the pipeline.
#include "cli/command.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/command_line.h"
#include "cli/limits.h"
#include "cli/payload_command.h"
#include "cli/usage.h"
#include "module/console.h"
#include "module/deliver.h"
#include "module/encode.h"
#include "module/messages.h"
#include "module/pipeline.h"
#include "module/structured.h"
#include "module/tessera_api.h"

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

}  // namespace

int Fail(int status, const std::string& message) {
    std::fprintf(stderr, "tessera: %s\n", message.c_str());
    return status;
}

namespace {

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

int RunSlash(int argc, char** argv) {
    std::vector<const char*> options;
    int format = TESSERA_FORMAT_BMP;
    for (int i = 1; i < argc; ++i) {
        std::string value;
        bool missing = false;
        if (TakeTypeFlag(argc, argv, &i, &value, &missing)) {
            if (missing) return Fail(kExitUsage, "-t needs a value");
            format = tessera_format_from_name(value.c_str());
            if (format < 0) {
                return Fail(kExitUsage,
                            "-t takes " + FormatNameList() + ", not " + PrintableName(value));
            }
        } else if (argv[i][0] == '/' || argv[i][0] == '\0') {
            options.push_back(argv[i]);  // a slash option, or an empty slot as the library takes it
        } else {
            // A flag or word beside slash options would be dropped without a word.
            return Fail(kExitUsage, PrintableName(argv[i]) +
                                        " is not a slash option; with slash options only -t TYPE "
                                        "may be given (see tessera --help)");
        }
    }
    if (options.size() > static_cast<std::size_t>(kMaxSlashOptions)) {
        std::fprintf(stderr,
                     "usage: tessera %s\n"
                     "       (at most four options; see tessera --help)\n",
                     SlashSynopsis().c_str());
        return kExitUsage;
    }
    return Report(RunSlashOptions(options.data(), static_cast<int>(options.size()), format));
}

}  // namespace

int Print(const std::string& text) {
    std::string message;
    if (WriteToStandardOutput(text, &message) == TESSERA_OK) return kWritten;
    return Fail(kCannotWrite, message);
}

namespace {

// The data of a single code: the text, or at most `limit` bytes of -i FILE or standard input.
// Returns 0, or the exit status with its message printed.
int ReadData(const CommandLine& line, std::size_t limit, std::string* data, bool* cut) {
    if (line.hasText) {
        *data = line.text.substr(0, limit);
        *cut = line.text.size() > limit;
        return kWritten;
    }
    if (!line.standardInput && line.inputPath.empty() && IsTerminal(0)) {
        // Nothing given and nothing piped in: waiting for typed data would look like a hang.
        return Fail(kExitUsage,
                    "no data: give TEXT, -i FILE, or data on standard input (- reads "
                    "a terminal); see tessera --help");
    }
    const bool fromFile = !line.inputPath.empty();
    std::string reason;
    if (ReadInput(fromFile ? line.inputPath.c_str() : nullptr, limit, data, &reason) !=
        TESSERA_OK) {
        if (InterruptSignal() != 0) return kExitSignalBase + InterruptSignal();
        return Fail(kNothingToDo, "nothing to do: " +
                                      (fromFile ? "the input file " + PrintableName(line.inputPath)
                                                : std::string("standard input")) +
                                      " cannot be read: " + reason);
    }
    *cut = data->size() == limit;  // there may be more
    return kWritten;
}

// Structured append: the symbols of `data` written through the -o pattern, {n} their number from
// 1, all or none: every file is written before any takes its name, and a failure or a signal
// before then leaves every path as it was. Missing folders are made as in a batch. With --verify,
// each symbol is verified too and each problem printed after the files are written. Returns the
// exit status, with its message printed.
int WriteStructured(const CommandLine& line, const std::string& data, const EncodeSettings& encode,
                    const OutputSettings& output, Encoder* encoder) {
    if (!encoder->Ready()) return Fail(kCannotEncode, CannotEncode("out of memory"));
    SymbolSet symbols;
    std::string message;
    const Status status =
        EncodeStructured(encoder, reinterpret_cast<const unsigned char*>(data.data()), data.size(),
                         encode, line.split, &symbols, &message);
    if (status != TESSERA_OK) return Fail(ExitStatusOf(status), message);
    int failed = kWritten;
    std::string problems;  // what --verify finds, one line each
    GroupWriter writer(symbols.Size(), true, false,
                       [&failed](std::size_t, Status named, const std::string& why) {
                           if (named == TESSERA_OK) return;
                           failed = Fail(ExitStatusOf(named), why);
                       });
    for (std::size_t i = 0; i < symbols.Size(); ++i) {
        if (InterruptSignal() != 0) return kExitSignalBase + InterruptSignal();
        const std::string path =
            ExpandPattern(line.outputPath, static_cast<int>(i) + 1, std::string());
        Status staged = TESSERA_OK;
        if (line.styling.styled) {
            std::string bytes;
            staged =
                RenderStyledExplained(symbols[i], output, line.styling.style, &bytes, &message);
            if (staged == TESSERA_OK) staged = writer.AddBytes(bytes, path, i, &message);
        } else {
            staged = writer.Add(symbols[i], output, path, i, &message);
        }
        if (staged == TESSERA_OK)
            staged = VerifyNamed(line.styling, symbols[i], output, path, &problems, &message);
        if (staged != TESSERA_OK) return Fail(ExitStatusOf(staged), message);
    }
    if (InterruptSignal() != 0) return kExitSignalBase + InterruptSignal();
    writer.Commit();
    if (failed != kWritten || problems.empty()) return failed;
    PrintLines(kVerifyPrefix, problems);
    return kExitNotVerified;
}

int RunConventional(int argc, char** argv) {
    CommandLine line;
    const std::string error = ParseCommandLine(argc - 1, argv + 1, &line);
    if (!error.empty()) return Fail(kExitUsage, error);
    if (line.help) return Print(UsageText());
    if (line.showVersion) return Print(std::string("tessera ") + tessera_library_version() + "\n");
    if (line.batch) return RunBatch(line);
    return WriteCode(line, EncodeSettingsOf(line));
}

}  // namespace

int WriteCode(const CommandLine& line, const EncodeSettings& encode) {
    const bool toStandardOutput = ToStandardOutput(line);
    const bool toTerminal = toStandardOutput && IsTerminal(1);
    const OutputSettings output = OutputSettingsOf(line, toTerminal);
    if (toTerminal && tessera_format_fact(output.format, "binary") == 1) {
        return Fail(kExitUsage, std::string(tessera_format_name(output.format)) +
                                    " is binary and standard output is a terminal: give -o "
                                    "FILE, or send standard output to a file or a program");
    }
    std::string data;
    bool cut = false;
    const std::size_t limit =
        InputBytesKept(line.Structured() ? static_cast<int>(Limit("structured.high")) : 1);
    const int read = ReadData(line, limit, &data, &cut);
    if (read != kWritten) return read;
    if (data.empty()) return Fail(kNothingToDo, "nothing to do: the input is empty");
    if (InterruptSignal() != 0) return kExitSignalBase + InterruptSignal();

    Destination destination;
    destination.standardOutput = toStandardOutput;
    destination.path = line.outputPath;
    destination.streams = true;  // -o /dev/stdout, a FIFO, >(command)
    if (toTerminal) destination.maxColumns = TerminalColumns(1);

    Encoder encoder;
    if (line.Structured()) return WriteStructured(line, data, encode, output, &encoder);
    SymbolRecord symbol;
    if (!encoder.Ready() || symbol.get() == nullptr) {
        return Fail(kCannotEncode, CannotEncode("out of memory"));
    }
    std::string message;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    if (line.styling.styled || line.styling.verify) {
        const Status encoded =
            encoder.Encode(bytes, data.size(), encode, symbol.get(), cut, &message);
        if (encoded != TESSERA_OK) return Fail(ExitStatusOf(encoded), message);
        const int written = WriteStyled(line.styling, *symbol.get(), output, destination);
        if (written != kWritten) return written;
    } else {
        const Status status = EncodeRenderWrite(&encoder, symbol.get(), bytes, data.size(), cut,
                                                encode, output, destination, &message);
        // A signal that ended a wait (a FIFO with no reader yet) is the signal's status.
        if (InterruptSignal() != 0) return kExitSignalBase + InterruptSignal();
        if (status != TESSERA_OK) return Fail(ExitStatusOf(status), message);
    }
    if (line.verbose) {
        std::string said = DescribeSymbol(*symbol.get());
        if (line.fitWidth != 0) {
            said += ": the smallest that fits " + std::to_string(line.fitWidth) + "x" +
                    std::to_string(line.fitHeight) + " with its quiet zone";
        }
        std::fprintf(stderr, "tessera: %s\n", said.c_str());
    }
    return kWritten;
}

int ExitStatusOf(Status status) {
    switch (status) {
        case TESSERA_OK:
            return kWritten;
        case TESSERA_ERROR_NOTHING_TO_DO:
            return kNothingToDo;
        case TESSERA_ERROR_CANNOT_ENCODE:
            return kCannotEncode;
        case TESSERA_ERROR_BAD_ARGUMENT:
            return kExitUsage;
        case TESSERA_ERROR_CANNOT_WRITE:
        case TESSERA_ERROR_BUFFER_TOO_SMALL:
        case TESSERA_ERROR_FORMAT_NOT_AVAILABLE:
        case TESSERA_ERROR_NO_MEMORY:
            break;
    }
    return kCannotWrite;
}

int RunCommand(int argc, char** argv) {
    try {
        CatchInterrupts();
        // The first argument chooses the road: the one-export library's slash options, or the
        // flags. The kinds of payload (tessera wifi ..., payload/payload.h) join here as words.
        if (argc >= 2 && argv[1][0] == '/') return RunSlash(argc, argv);
        if (argc >= 2 && IsPayloadKind(argv[1])) return RunPayload(argc, argv);
        return RunConventional(argc, argv);
    } catch (const std::bad_alloc&) {
        return Fail(kCannotWrite, "out of memory");
    } catch (const std::exception& unexpected) {
        return Fail(kCannotWrite, std::string("stopped: ") + unexpected.what());
    } catch (...) {
        return Fail(kCannotWrite, "stopped by an unexpected error");
    }
}

}  // namespace qr::cli

// Batches. The lines are read at once; workers, one per core, take the next line number from a
// shared counter, each with its own encoder, and record a result code per line. The main thread
// draws the progress bar and reports when all are done, so messages never interleave.
#include "cli/batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/command.h"
#include "cli/console.h"
#include "module/pipeline.h"

namespace qr::cli {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr std::size_t kProgressBarWidth = 40;
constexpr std::size_t kMaxReportedFailures = 10;

struct Line {
    int number;  // from 1
    std::string text;
};

// The non-blank lines of `data`, numbered from 1 as in the file.
std::vector<Line> SplitLines(const std::string& data, int* blankLines) {
    std::vector<Line> lines;
    *blankLines = 0;
    int number = 0;
    for (std::size_t start = 0; start < data.size();) {
        std::size_t end = data.find('\n', start);
        const std::size_t next = end == std::string::npos ? data.size() : end + 1;
        if (end == std::string::npos) end = data.size();
        if (end > start && data[end - 1] == '\r') --end;
        ++number;
        if (end == start) {
            ++*blankLines;
        } else {
            lines.push_back({number, data.substr(start, end - start)});
        }
        start = next;
    }
    return lines;
}

// Creates the folder of the pattern when no placeholder is in it.
void CreateOutputFolder(const std::string& pattern) {
    const std::filesystem::path folder = std::filesystem::path(pattern).parent_path();
    if (folder.empty() || folder.string().find('{') != std::string::npos) return;
    std::error_code ignored;  // a failure shows as unwritable files
    std::filesystem::create_directories(folder, ignored);
}

void DrawProgress(std::size_t done, std::size_t total) {
    const std::size_t filled = done * kProgressBarWidth / total;
    const std::string bar = std::string(filled, '#') + std::string(kProgressBarWidth - filled, ' ');
    std::fprintf(stderr, "\r[%s] %zu/%zu", bar.c_str(), done, total);
    std::fflush(stderr);
}

void ClearProgress() {
    std::fprintf(stderr, "\r%s\r", std::string(kProgressBarWidth + 30, ' ').c_str());
    std::fflush(stderr);
}

}  // namespace

std::string SafeFileName(const std::string& line) {
    std::string name = line.substr(0, kMaxSafeNameBytes);
    for (char& c : name) {
        const bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!safe) c = '_';
    }
    if (!name.empty() && name[0] == '.') name[0] = '_';
    return name;
}

std::string ExpandPattern(const std::string& pattern, int number, const std::string& line) {
    std::string name;
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern.compare(i, 3, "{n}") == 0) {
            name += std::to_string(number);
            i += 3;
        } else if (pattern.compare(i, 6, "{line}") == 0) {
            name += SafeFileName(line);
            i += 6;
        } else {
            name += pattern[i++];
        }
    }
    return name;
}

// Reads the whole batch file (null: standard input) into `data`.
bool ReadBatchFile(const char* path, std::string* data) {
    platform::InputStream stream;
    platform::ReadFailure failure;
    if (!stream.Open(path, &failure)) return false;
    char chunk[64 * 1024];
    for (long long n; (n = stream.Read(chunk, sizeof chunk)) > 0;) {
        data->append(chunk, static_cast<std::size_t>(n));
    }
    return true;
}

int RunBatch(const CommandLine& line) {
    std::string data;
    const bool fromStandardInput = line.batchPath == kStandardStream;
    if (!ReadBatchFile(fromStandardInput ? nullptr : line.batchPath.c_str(), &data)) {
        std::fprintf(stderr, "tessera: nothing to do: '%s' cannot be read\n",
                     line.batchPath.c_str());
        return kNothingToDo;
    }
    int blankLines = 0;
    const std::vector<Line> lines = SplitLines(data, &blankLines);
    if (lines.empty()) {
        std::fprintf(stderr, "tessera: nothing to do: '%s' has no lines\n", line.batchPath.c_str());
        return kNothingToDo;
    }

    const EncodeSettings encode = EncodeSettingsOf(line);
    OutputSettings output;
    if (line.hasType) {
        output.format = line.type;
    } else if (!FormatFromExtension(line.outputPath.c_str(), &output.format)) {
        output.format = ImageFormat::kBmp;
    }
    SetRenderFlags(line, &output);
    CreateOutputFolder(line.outputPath);

    const std::size_t total = lines.size();
    std::vector<int> results(total, kWritten);
    std::vector<std::string> messages(total);
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    std::mutex mutex;
    std::condition_variable finished;

    // One encoder and symbol per worker, each large; as many workers as cores and records can
    // be had.
    struct Worker {
        Encoder encoder;
        Symbol symbol;
    };
    std::vector<std::unique_ptr<Worker>> records;
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    while (records.size() < std::min(cores, total)) {
        std::unique_ptr<Worker> record(new (std::nothrow) Worker);
        if (!record || !record->encoder.Ready()) break;
        records.push_back(std::move(record));
    }
    if (records.empty()) {
        std::fprintf(stderr, "tessera: the batch cannot be started: out of memory\n");
        return kCannotWrite;
    }

    auto work = [&](Worker* record) {
        for (std::size_t i; (i = next.fetch_add(1)) < total;) {
            const Line& item = lines[i];
            Destination destination;
            destination.path = ExpandPattern(line.outputPath, item.number, item.text);
            const std::size_t kept = std::min(item.text.size(), InputBytesKept());
            results[i] = ExitStatusOf(EncodeRenderWrite(
                &record->encoder, &record->symbol,
                reinterpret_cast<const unsigned char*>(item.text.data()), kept,
                kept < item.text.size(), encode, output, destination, &messages[i]));
            if (done.fetch_add(1) + 1 == total) {
                std::lock_guard<std::mutex> lock(mutex);
                finished.notify_all();
            }
        }
    };

    const auto started = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (const auto& record : records) workers.emplace_back(work, record.get());
    if (IsTerminal(2)) {
        std::unique_lock<std::mutex> lock(mutex);
        while (!finished.wait_for(lock, kProgressInterval, [&] { return done == total; })) {
            DrawProgress(done, total);
        }
        ClearProgress();
    }
    for (std::thread& worker : workers) worker.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::size_t failed = 0;
    int status = kWritten;
    for (std::size_t i = 0; i < total; ++i) {
        if (results[i] == kWritten) continue;
        if (failed < kMaxReportedFailures) {
            std::fprintf(stderr, "tessera: line %d: %s\n", lines[i].number, messages[i].c_str());
        }
        ++failed;
        status = std::max(status, results[i]);
    }
    if (failed > kMaxReportedFailures) {
        std::fprintf(stderr, "tessera: ... and %zu more failed lines\n",
                     failed - kMaxReportedFailures);
    }
    std::fprintf(stderr, "tessera: %zu written, %zu failed", total - failed, failed);
    if (blankLines > 0) std::fprintf(stderr, ", %d blank lines skipped", blankLines);
    std::fprintf(stderr, " in %.2f s (%.0f codes per second)\n", seconds,
                 seconds > 0 ? static_cast<double>(total) / seconds : 0.0);
    return status;
}

}  // namespace qr::cli

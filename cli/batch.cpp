// Batches. The calling thread reads the lines as they arrive, claims each line's file name in line
// order and hands the line to a bounded queue; workers, one per core that can be had, each with
// its own encoder and group of files, take lines from the queue and stage their files, and commit
// the group (sync, name, sync) whenever it is full, when they run out of lines while the reader
// waits for input, and at the end. Only what is printed is kept:
// the counts, the first ten failures by line number and, where names can clash, a hash of each
// name claimed.
#include "cli/batch.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cli/job_queue.h"
#include "cli/payload_command.h"
#include "cli/styling.h"
#include "module/console.h"
#include "module/deliver.h"
#include "module/encode.h"
#include "module/messages.h"

namespace qr::cli {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr int kMaxProgressBar = 40;
constexpr std::size_t kMaxReportedFailures = 10;
constexpr std::size_t kReadChunk = 64 * 1024;
// Lines go to the workers in groups, so that the reader and the workers meet once per group, not
// once per line; a group is handed over when full or when a read has ended, so that lines arriving
// slowly are not held back.
constexpr std::size_t kGroupLines = 64;
constexpr std::size_t kQueuedGroupsPerWorker = 2;

// What the batch has done so far, shared by the reader and the workers.
class Tally {
public:
    explicit Tally(bool progress) : progress_(progress) {}

    void Read() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++read_;
    }

    void Written() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_.written;
        DrawProgressLocked(false);
    }

    // A failed line with its exit status and message. Counted even when its message cannot be
    // kept for want of memory.
    void Failed(int number, int status, const std::string& message) noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_.failed;
        worst_ = std::max(worst_, status);
        // The first ten by line number, whatever order the workers finish in.
        try {
            if (failures_.size() < kMaxReportedFailures || number < failures_.rbegin()->first) {
                failures_.emplace(number, message);
                if (failures_.size() > kMaxReportedFailures)
                    failures_.erase(std::prev(failures_.end()));
            }
            DrawProgressLocked(false);
        } catch (...) {
        }
    }

    // A line written whose symbol --verify finds fault with: `problems`, one line each.
    void Doubted(int number, const std::string& problems) noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        ++doubted_;
        try {
            if (doubts_.size() < kMaxReportedFailures || number < doubts_.rbegin()->first) {
                doubts_.emplace(number, problems);
                if (doubts_.size() > kMaxReportedFailures) doubts_.erase(std::prev(doubts_.end()));
            }
        } catch (...) {
        }
    }

    void NotStarted() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_.notStarted;
    }

    void Blank() { ++counts_.blank; }
    std::size_t ReadCount() const { return read_; }

    // Prints the failures and the problems --verify found that are kept, and the summary line,
    // which counts the time of the syncs too. Returns the largest status of a failed line, else
    // kExitNotVerified when --verify found fault with a line, else 0.
    int Finish(double seconds, int signal) {
        ClearProgress();
        for (const auto& failure : failures_) {
            std::fprintf(stderr, "tessera: line %d: %s\n", failure.first, failure.second.c_str());
        }
        if (counts_.failed > failures_.size()) {
            std::fprintf(stderr, "tessera: ... and %zu more failed lines\n",
                         counts_.failed - failures_.size());
        }
        for (const auto& doubt : doubts_)
            PrintLines("tessera: line " + std::to_string(doubt.first) + ": verify: ", doubt.second);
        if (doubted_ > doubts_.size()) {
            std::fprintf(stderr, "tessera: ... and %zu more lines --verify finds fault with\n",
                         doubted_ - doubts_.size());
        }
        std::fputs(SummaryLine(counts_, seconds, signal).c_str(), stderr);
        return worst_ != kWritten || doubted_ == 0 ? worst_ : kExitNotVerified;
    }

private:
    // "\r[####    ] 12/40", as wide as the terminal allows; at most every kProgressInterval.
    void DrawProgressLocked(bool force) {
        if (!progress_) return;
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - lastDraw_ < kProgressInterval) return;
        lastDraw_ = now;
        const std::size_t done = counts_.written + counts_.failed;
        const std::string counts =
            " " + std::to_string(done) + "/" + std::to_string(std::max(read_, done));
        const int columns = TerminalColumns(2);
        const int room = (columns > 0 ? columns : 80) - 1 - static_cast<int>(counts.size()) - 2;
        const int bar = std::min(kMaxProgressBar, room);
        std::string line = "\r";
        if (bar >= 4) {
            const std::size_t total = std::max<std::size_t>(read_, 1);
            const int filled = static_cast<int>(std::min(done, total) * bar / total);
            line += "[" + std::string(filled, '#') + std::string(bar - filled, ' ') + "]";
        }
        line += counts;
        drawn_ = std::max(drawn_, line.size());
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
    }

    void ClearProgress() {
        if (drawn_ == 0) return;
        std::fprintf(stderr, "\r%s\r", std::string(drawn_, ' ').c_str());
        std::fflush(stderr);
    }

    const bool progress_;
    std::mutex mutex_;
    std::size_t read_ = 0;
    BatchCounts counts_;
    int worst_ = kWritten;
    std::map<int, std::string> failures_;
    std::size_t doubted_ = 0;
    std::map<int, std::string> doubts_;
    std::chrono::steady_clock::time_point lastDraw_{};
    std::size_t drawn_ = 0;
};

// One worker's records, each large, and its group of files, whose outcomes go to the tally.
struct WorkerRecords {
    // The folders of a line are made when its file is named.
    WorkerRecords(std::size_t files, Tally* tally)
        : writer(files, true, true,
                 [tally](std::size_t line, Status status, const std::string& message) {
                     if (status == TESSERA_OK) {
                         tally->Written();
                     } else {
                         tally->Failed(static_cast<int>(line), ExitStatusOf(status), message);
                     }
                 }) {}

    bool Ready() const { return encoder.Ready() && symbol.get() != nullptr && writer.Ready(); }

    Encoder encoder;
    SymbolRecord symbol;
    GroupWriter writer;
};

// Stages one line's symbol in the worker's group, or leaves it when the batch was interrupted;
// with a `payload` kind, the line holds its fields; with styling flags, the symbol is drawn in
// their style. Each line is counted once: as failed here, or as its group's commit tells. Never
// throws: a worker thread has no one to throw to.
void RunJob(const Job& job, WorkerRecords* records, const std::string& payload,
            const StylingFlags& styling, const EncodeSettings& encode, const OutputSettings& output,
            Tally* tally) noexcept {
    if (InterruptSignal() != 0) {
        tally->NotStarted();
        return;
    }
    std::string message;
    Status status = TESSERA_ERROR_NO_MEMORY;
    try {
        std::string text;
        EncodeSettings settings = encode;
        status = TESSERA_OK;
        if (!payload.empty()) {
            status = job.cut ? TESSERA_ERROR_BAD_ARGUMENT
                             : PayloadOfLine(payload, job.text, &text, &settings, &message);
            if (job.cut) message = "the line is too long for the fields of a payload";
        }
        const std::string& data = payload.empty() ? job.text : text;
        if (status == TESSERA_OK) {
            status = records->encoder.Encode(reinterpret_cast<const unsigned char*>(data.data()),
                                             data.size(), settings, records->symbol.get(), job.cut,
                                             &message);
        }
        // Verified before it is staged: a line is counted as written or as failed, never both.
        std::string problems;
        if (status == TESSERA_OK) {
            status =
                VerifyNamed(styling, *records->symbol.get(), output, job.path, &problems, &message);
        }
        const auto id = static_cast<std::size_t>(job.number);
        if (status == TESSERA_OK && styling.styled) {
            std::string bytes;
            status = RenderStyledExplained(*records->symbol.get(), output, styling.style, &bytes,
                                           &message);
            if (status == TESSERA_OK)
                status = records->writer.AddBytes(bytes, job.path, id, &message);
        } else if (status == TESSERA_OK) {
            status = records->writer.Add(*records->symbol.get(), output, job.path, id, &message);
        }
        if (status == TESSERA_OK && !problems.empty()) tally->Doubted(job.number, problems);
    } catch (...) {
        status = TESSERA_ERROR_NO_MEMORY;
    }
    if (status != TESSERA_OK) {
        tally->Failed(job.number, ExitStatusOf(status),
                      message.empty() ? "out of memory" : message);
    }
}

// A name claimed by a line, as a 128-bit FNV-1a hash: names of up to the path limit kept in 16
// bytes each, with no clash to be feared between different names.
__extension__ typedef unsigned __int128 NameHash;

NameHash HashName(const std::string& name) {
    constexpr NameHash kPrime = (NameHash{1} << 88) + 0x13B;
    NameHash hash = NameHash{0x6C62272E07BB0142u} << 64 | 0x62B821756295C58Du;
    for (const unsigned char byte : name) {
        hash ^= byte;
        hash *= kPrime;
    }
    return hash;
}

struct NameHashBucket {
    std::size_t operator()(NameHash hash) const {
        return static_cast<std::size_t>(hash ^ hash >> 64);
    }
};

// Closes the queue and waits for the workers when the batch ends, however it ends.
class WorkersJoined {
public:
    WorkersJoined(JobQueue* queue, std::vector<std::thread>* workers)
        : queue_(queue), workers_(workers) {}
    ~WorkersJoined() { Join(); }
    WorkersJoined(const WorkersJoined&) = delete;
    WorkersJoined& operator=(const WorkersJoined&) = delete;

    void Join() {
        queue_->Close();
        for (std::thread& worker : *workers_) {
            if (worker.joinable()) worker.join();
        }
    }

private:
    JobQueue* queue_;
    std::vector<std::thread>* workers_;
};

}  // namespace

std::string SummaryLine(const BatchCounts& counts, double seconds, int signal) {
    char text[96];
    std::string line = "tessera: " + std::to_string(counts.written) + " written, " +
                       std::to_string(counts.failed) + " failed";
    if (counts.blank > 0) {
        line += ", " + std::to_string(counts.blank) +
                (counts.blank == 1 ? " blank line" : " blank lines") + " skipped";
    }
    if (signal != 0) {
        line += ", " + std::to_string(counts.notStarted) + " not started: interrupted by " +
                SignalName(signal);
    }
    const double rate = seconds > 0 ? static_cast<double>(counts.written) / seconds : 0.0;
    std::snprintf(text, sizeof text, " in %.2f s (%.0f %s per second)\n", seconds, rate,
                  std::lround(rate) == 1 ? "code" : "codes");
    return line + text;
}

int RunBatch(const CommandLine& line) {
    const bool fromStandardInput = line.batchPath == kStandardStream;
    InputReader input;
    std::string reason;
    if (!input.Open(fromStandardInput ? nullptr : line.batchPath.c_str(), &reason)) {
        std::fprintf(stderr, "tessera: nothing to do: %s cannot be read: %s\n",
                     PrintableName(line.batchPath).c_str(), reason.c_str());
        return kNothingToDo;
    }
    const EncodeSettings encode = EncodeSettingsOf(line);
    const OutputSettings output = OutputSettingsOf(line, false);
    Tally tally(IsTerminal(2));
    const auto started = std::chrono::steady_clock::now();

    // As many workers as cores and as the system grants; with none, this thread does the work.
    // Their groups of files together stay within the limit of open files.
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t files = FilesPerWriter(cores);
    std::vector<std::unique_ptr<WorkerRecords>> records;
    std::vector<std::thread> workers;
    JobQueue queue(cores * kQueuedGroupsPerWorker);
    WorkersJoined joined(&queue, &workers);
    {
        const InterruptsHeld held;  // signals go to this thread, which reads
        while (workers.size() < cores) {
            std::unique_ptr<WorkerRecords> own(new (std::nothrow) WorkerRecords(files, &tally));
            if (!own || !own->Ready()) break;
            WorkerRecords* mine = own.get();
            try {
                workers.emplace_back([&queue, mine, &line, &encode, &output, &tally] {
                    std::uint64_t idleSeen = 0;
                    for (JobGroup group;;) {
                        const JobQueue::Taken taken = queue.Take(&group, &idleSeen);
                        if (taken == JobQueue::Taken::kClosed) break;
                        if (taken == JobQueue::Taken::kIdle) mine->writer.Commit();
                        if (taken != JobQueue::Taken::kGroup) continue;
                        for (const Job& job : group) {
                            RunJob(job, mine, line.payload, line.styling, encode, output, &tally);
                        }
                    }
                    mine->writer.Commit();
                });
            } catch (const std::system_error&) {
                break;  // no more threads: the ones started do the work
            }
            records.push_back(std::move(own));
        }
    }
    std::unique_ptr<WorkerRecords> inline_;
    if (workers.empty()) {
        inline_.reset(new (std::nothrow) WorkerRecords(files, &tally));
        if (!inline_ || !inline_->Ready()) {
            std::fprintf(stderr, "tessera: the batch cannot be started: out of memory\n");
            return kCannotWrite;
        }
    }

    // Each line's name is claimed as the line is read, before any worker writes it. Names made
    // from line numbers alone cannot clash, and are not kept.
    const bool namesMayClash = line.outputPath.find("{line}") != std::string::npos;
    std::unordered_map<NameHash, int, NameHashBucket> claimed;
    JobGroup group;
    group.reserve(kGroupLines);
    auto handOver = [&] {
        if (group.empty()) return;
        queue.Put(std::move(group));
        group = JobGroup();
        group.reserve(kGroupLines);
    };
    auto take = [&](const LineSplitter::Line& read) {
        if (InterruptSignal() != 0) return;  // the rest of the chunk is not started
        if (read.blank) {
            tally.Blank();
            return;
        }
        tally.Read();
        Job job{read.number, read.text, read.cut,
                ExpandPattern(line.outputPath, read.number, read.text)};
        const auto claim = namesMayClash ? claimed.emplace(HashName(job.path), job.number)
                                         : std::make_pair(claimed.end(), true);
        if (!claim.second) {
            tally.Failed(job.number, kCannotWrite,
                         PrintableName(job.path) + " is the output of line " +
                             std::to_string(claim.first->second) + " already");
            return;
        }
        if (workers.empty()) {
            RunJob(job, inline_.get(), line.payload, line.styling, encode, output, &tally);
            return;
        }
        group.push_back(std::move(job));
        if (group.size() >= kGroupLines) handOver();
    };
    LineSplitter splitter(InputBytesKept());
    std::vector<char> chunk(kReadChunk);
    bool readFailed = false;
    while (InterruptSignal() == 0) {
        const long long n = input.Read(chunk.data(), chunk.size());
        if (n == InputReader::kInterrupted) continue;
        if (n < 0) readFailed = true;
        if (n <= 0) break;
        splitter.Push(chunk.data(), static_cast<std::size_t>(n), take);
        handOver();
        // The next read may wait: the files staged so far take their names meanwhile.
        queue.Idle();
        if (inline_) inline_->writer.Commit();
    }
    if (InterruptSignal() == 0 && !readFailed) splitter.End(take);
    handOver();
    joined.Join();
    if (inline_) inline_->writer.Commit();

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (readFailed) {
        std::fprintf(stderr, "tessera: %s cannot be read to its end\n",
                     PrintableName(line.batchPath).c_str());
    }
    if (tally.ReadCount() == 0 && InterruptSignal() == 0 && !readFailed) {
        std::fprintf(stderr, "tessera: nothing to do: %s has no lines\n",
                     PrintableName(line.batchPath).c_str());
        return kNothingToDo;
    }
    const int worst = tally.Finish(seconds, InterruptSignal());
    if (InterruptSignal() != 0) return kExitSignalBase + InterruptSignal();
    return readFailed ? std::max(worst, kNothingToDo) : worst;
}

}  // namespace qr::cli

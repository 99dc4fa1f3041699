// Batches. The calling thread reads the lines as they arrive, claims each line's file name in line
// order and hands the line to a bounded queue; workers, one per core that can be had, each with
// its own encoder, take lines from the queue and write them. Only what is printed is kept: the
// counts and the first ten failures by line number. Files are written without a sync each and the
// file systems written to are synced once at the end.
#include "cli/batch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cli/console.h"
#include "module/pipeline.h"

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

bool IsBlankByte(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

struct Job {
    int number;
    std::string text;
    bool cut;
    std::string path;
};

// One worker's records, each large.
struct WorkerRecords {
    Encoder encoder;
    Symbol symbol;
};

// What the batch has done so far, shared by the reader and the workers.
class Tally {
public:
    explicit Tally(bool progress) : progress_(progress) {}

    void Read() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++read_;
    }

    void Written(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++written_;
        folders_.insert(FolderOf(path));
        DrawProgressLocked(false);
    }

    // A failed line with its exit status and message.
    void Failed(int number, int status, std::string message) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++failed_;
        worst_ = std::max(worst_, status);
        // The first ten by line number, whatever order the workers finish in.
        if (failures_.size() < kMaxReportedFailures || number < failures_.rbegin()->first) {
            failures_.emplace(number, std::move(message));
            if (failures_.size() > kMaxReportedFailures)
                failures_.erase(std::prev(failures_.end()));
        }
        DrawProgressLocked(false);
    }

    void NotStarted() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++notStarted_;
    }

    void Blank() { ++blank_; }
    std::size_t ReadCount() const { return read_; }

    // Prints the failures kept and the summary line; syncs the file systems written to. Returns
    // the largest status of a failed line, or 0.
    int Finish(double seconds, int signal) {
        ClearProgress();
        for (const auto& failure : failures_) {
            std::fprintf(stderr, "tessera: line %d: %s\n", failure.first, failure.second.c_str());
        }
        if (failed_ > failures_.size()) {
            std::fprintf(stderr, "tessera: ... and %zu more failed lines\n",
                         failed_ - failures_.size());
        }
        for (const std::string& folder : folders_) {
            if (!platform::SyncFileSystemOf(folder.c_str())) {
                std::fprintf(stderr, "tessera: the files in %s cannot be synced to disk\n",
                             PrintableName(folder).c_str());
                worst_ = std::max(worst_, kCannotWrite);
            }
        }
        std::fprintf(stderr, "tessera: %zu written, %zu failed", written_, failed_);
        if (blank_ > 0) std::fprintf(stderr, ", %zu blank lines skipped", blank_);
        if (signal != 0) {
            std::fprintf(stderr, ", %zu not started: interrupted by %s", notStarted_,
                         SignalName(signal));
        }
        std::fprintf(stderr, " in %.2f s (%.0f codes per second)\n", seconds,
                     seconds > 0 ? static_cast<double>(written_) / seconds : 0.0);
        return worst_;
    }

private:
    static std::string FolderOf(const std::string& path) {
        const std::string::size_type slash = path.find_last_of("/\\");
        return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    }

    // "\r[####    ] 12/40", as wide as the terminal allows; at most every kProgressInterval.
    void DrawProgressLocked(bool force) {
        if (!progress_) return;
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - lastDraw_ < kProgressInterval) return;
        lastDraw_ = now;
        const std::size_t done = written_ + failed_;
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
    std::size_t read_ = 0, written_ = 0, failed_ = 0, notStarted_ = 0, blank_ = 0;
    int worst_ = kWritten;
    std::map<int, std::string> failures_;
    std::set<std::string> folders_;
    std::chrono::steady_clock::time_point lastDraw_{};
    std::size_t drawn_ = 0;
};

using JobGroup = std::vector<Job>;

// Groups of lines waiting for a worker; Put() waits while it is full. A side is woken only when it
// waits.
class JobQueue {
public:
    explicit JobQueue(std::size_t capacity) : capacity_(capacity) {}

    void Put(JobGroup job) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (jobs_.size() >= capacity_) {
            ++waitingToPut_;
            notFull_.wait(lock);
            --waitingToPut_;
        }
        jobs_.push_back(std::move(job));
        if (waitingToTake_ > 0) notEmpty_.notify_one();
    }

    // The next group; false when the queue is closed and empty.
    bool Take(JobGroup* job) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (jobs_.empty() && !closed_) {
            ++waitingToTake_;
            notEmpty_.wait(lock);
            --waitingToTake_;
        }
        if (jobs_.empty()) return false;
        *job = std::move(jobs_.front());
        jobs_.pop_front();
        if (waitingToPut_ > 0) notFull_.notify_one();
        return true;
    }

    void Close() {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        notEmpty_.notify_all();
    }

private:
    const std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable notEmpty_, notFull_;
    std::deque<JobGroup> jobs_;
    int waitingToTake_ = 0, waitingToPut_ = 0;
    bool closed_ = false;
};

// Writes one line's symbol, or leaves it when the batch was interrupted. Never throws: a worker
// thread has no one to throw to.
void RunJob(const Job& job, WorkerRecords* records, const EncodeSettings& encode,
            const OutputSettings& output, Tally* tally) noexcept try {
    if (InterruptSignal() != 0) {
        tally->NotStarted();
        return;
    }
    Destination destination;
    destination.path = job.path;
    destination.makeFolders = true;
    destination.options.durable = false;  // the file systems are synced once at the end
    std::string message;
    const Status status =
        EncodeRenderWrite(&records->encoder, &records->symbol,
                          reinterpret_cast<const unsigned char*>(job.text.data()), job.text.size(),
                          job.cut, encode, output, destination, &message);
    if (status == TESSERA_OK) {
        tally->Written(job.path);
    } else {
        tally->Failed(job.number, ExitStatusOf(status), message);
    }
} catch (...) {
    try {
        tally->Failed(job.number, kCannotWrite, "out of memory");
    } catch (...) {
    }
}

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

void LineSplitter::Add(char c) {
    started_ = true;
    if (pendingReturn_) {
        pendingReturn_ = false;
        Keep('\r');  // not before "\n": part of the line
    }
    if (c == '\r') {
        pendingReturn_ = true;
    } else {
        Keep(c);
    }
}

void LineSplitter::Keep(char c) {
    if (line_.text.size() < keep_) {
        line_.text += c;
    } else {
        line_.cut = true;
    }
}

void LineSplitter::Close() {
    line_.number = ++lines_;
    line_.blank = !line_.cut && std::all_of(line_.text.begin(), line_.text.end(), IsBlankByte);
}

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

int RunBatch(const CommandLine& line) {
    const bool fromStandardInput = line.batchPath == kStandardStream;
    platform::InputStream input;
    platform::ReadFailure failure = platform::ReadFailure::kNone;
    if (!input.Open(fromStandardInput ? nullptr : line.batchPath.c_str(), &failure)) {
        std::fprintf(stderr, "tessera: nothing to do: %s cannot be read: %s\n",
                     PrintableName(line.batchPath).c_str(), ReadFailureText(failure));
        return kNothingToDo;
    }
    const EncodeSettings encode = EncodeSettingsOf(line);
    const OutputSettings output = OutputSettingsOf(line, false);
    Tally tally(IsTerminal(2));
    const auto started = std::chrono::steady_clock::now();

    // As many workers as cores and as the system grants; with none, this thread does the work.
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::unique_ptr<WorkerRecords>> records;
    std::vector<std::thread> workers;
    JobQueue queue(cores * kQueuedGroupsPerWorker);
    WorkersJoined joined(&queue, &workers);
    {
        const InterruptsHeld held;  // signals go to this thread, which reads
        while (workers.size() < cores) {
            std::unique_ptr<WorkerRecords> own(new (std::nothrow) WorkerRecords);
            if (!own || !own->encoder.Ready()) break;
            WorkerRecords* mine = own.get();
            try {
                workers.emplace_back([&queue, mine, &encode, &output, &tally] {
                    for (JobGroup group; queue.Take(&group);) {
                        for (const Job& job : group) RunJob(job, mine, encode, output, &tally);
                    }
                });
            } catch (const std::system_error&) {
                break;  // no more threads: the ones started do the work
            }
            records.push_back(std::move(own));
        }
    }
    std::unique_ptr<WorkerRecords> inline_;
    if (workers.empty()) {
        inline_.reset(new (std::nothrow) WorkerRecords);
        if (!inline_ || !inline_->encoder.Ready()) {
            std::fprintf(stderr, "tessera: the batch cannot be started: out of memory\n");
            return kCannotWrite;
        }
    }

    // Each line's name is claimed as the line is read, before any worker writes it.
    std::unordered_map<std::string, int> claimed;
    JobGroup group;
    auto handOver = [&] {
        if (group.empty()) return;
        queue.Put(std::move(group));
        group = JobGroup();
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
        const auto claim = claimed.emplace(job.path, job.number);
        if (!claim.second) {
            tally.Failed(job.number, kCannotWrite,
                         PrintableName(job.path) + " is the output of line " +
                             std::to_string(claim.first->second) + " already");
            return;
        }
        if (workers.empty()) {
            RunJob(job, inline_.get(), encode, output, &tally);
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
        if (n == platform::InputStream::kInterrupted) continue;
        if (n < 0) readFailed = true;
        if (n <= 0) break;
        splitter.Push(chunk.data(), static_cast<std::size_t>(n), take);
        handOver();
    }
    if (InterruptSignal() == 0 && !readFailed) splitter.End(take);
    handOver();
    joined.Join();

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

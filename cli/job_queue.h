// The lines of a batch on their way from the reader to the workers: each line's number, text and
// file name, in groups, through a bounded queue.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace qr::cli {

// One line of a batch: its number from 1, its text (`cut` when the line was longer than is kept)
// and the file it is written to.
struct Job {
    int number;
    std::string text;
    bool cut;
    std::string path;
};

using JobGroup = std::vector<Job>;

// Groups of lines waiting for a worker, at most `capacity`; Put() waits while it is full. A side is
// woken only when it waits. Shared by the reader and the workers of a batch.
class JobQueue {
public:
    enum class Taken { kGroup, kIdle, kClosed };

    explicit JobQueue(std::size_t capacity) : capacity_(capacity) {}

    // Adds `job` at the end, once there is room.
    void Put(JobGroup job);

    // The next group (kGroup); else kIdle, once after each Idle() that `idleSeen` has not seen,
    // or kClosed when the queue is closed and empty.
    Taken Take(JobGroup* job, std::uint64_t* idleSeen);

    // Says that the reader is about to wait for input: a worker that then finds no group names
    // the files it has staged rather than hold them back.
    void Idle();

    // No more groups: Take() returns kClosed once the queue is empty.
    void Close();

private:
    const std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable notEmpty_, notFull_;
    std::deque<JobGroup> jobs_;
    int waitingToTake_ = 0, waitingToPut_ = 0;
    std::uint64_t idle_ = 0;
    bool closed_ = false;
};

}  // namespace qr::cli

// The batch's queue: one mutex, and a condition for each side, signalled only when that side waits.
#include "cli/job_queue.h"

#include <utility>

namespace qr::cli {

void JobQueue::Put(JobGroup job) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (jobs_.size() >= capacity_) {
        ++waitingToPut_;
        notFull_.wait(lock);
        --waitingToPut_;
    }
    jobs_.push_back(std::move(job));
    if (waitingToTake_ > 0) notEmpty_.notify_one();
}

JobQueue::Taken JobQueue::Take(JobGroup* job, std::uint64_t* idleSeen) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (jobs_.empty() && !closed_ && idle_ == *idleSeen) {
        ++waitingToTake_;
        notEmpty_.wait(lock);
        --waitingToTake_;
    }
    if (jobs_.empty()) {
        if (closed_) return Taken::kClosed;
        *idleSeen = idle_;
        return Taken::kIdle;
    }
    *job = std::move(jobs_.front());
    jobs_.pop_front();
    if (waitingToPut_ > 0) notFull_.notify_one();
    return Taken::kGroup;
}

void JobQueue::Idle() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++idle_;
    if (waitingToTake_ > 0) notEmpty_.notify_all();
}

void JobQueue::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    notEmpty_.notify_all();
}

}  // namespace qr::cli

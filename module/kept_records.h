// Large work records (symbols, the encoders' records) kept between calls, so that calls in a loop
// allocate none: at most kKeptRecords of each kind, shared by every thread under a lock.
#pragma once

#include <memory>
#include <mutex>
#include <new>

#include "module/symbol.h"

namespace qr {

// Records of one kind kept between calls. Take() hands out one kept before, or a new one (null
// without memory); Give() keeps it for a later call, or releases it when kKeptRecords are kept.
template <class Record>
class KeptRecords {
public:
    KeptRecords() = default;
    KeptRecords(const KeptRecords&) = delete;
    KeptRecords& operator=(const KeptRecords&) = delete;
    ~KeptRecords() {
        for (int i = 0; i < count_; ++i) delete kept_[i];
    }

    std::unique_ptr<Record> Take() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (count_ > 0) return std::unique_ptr<Record>(kept_[--count_]);
        }
        return std::unique_ptr<Record>(new (std::nothrow) Record);
    }

    void Give(std::unique_ptr<Record> record) {
        if (!record) return;
        const std::lock_guard<std::mutex> lock(mutex_);
        if (count_ < kKeptRecords) kept_[count_++] = record.release();
    }

private:
    std::mutex mutex_;
    Record* kept_[kKeptRecords] = {};
    int count_ = 0;
};

template <class Record>
KeptRecords<Record>& Kept() {
    static KeptRecords<Record> kept;
    return kept;
}

}  // namespace qr

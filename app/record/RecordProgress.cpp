#include "RecordProgress.h"

// Standard library
#include <algorithm>

void RecordProgress::markKept(qint64 ticket) {
    {
        const std::lock_guard lock(mutex_);
        kept_ = std::max(kept_, ticket);
    }
    changed_.notify_all();
}

void RecordProgress::markFailed(qint64 ticket, const QString& reason) {
    {
        const std::lock_guard lock(mutex_);
        failed_ = std::max(failed_, ticket);
        failure_ = reason;
    }
    changed_.notify_all();
}

qint64 RecordProgress::kept() const {
    const std::lock_guard lock(mutex_);
    return kept_;
}

qint64 RecordProgress::failed() const {
    const std::lock_guard lock(mutex_);
    return failed_;
}

bool RecordProgress::waitFor(qint64 ticket, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return kept_ >= ticket || failed_ >= ticket; });
    return kept_ >= ticket;
}

QString RecordProgress::failure() const {
    const std::lock_guard lock(mutex_);
    return failure_;
}

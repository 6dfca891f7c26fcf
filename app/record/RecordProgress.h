#pragma once

// Standard library
#include <chrono>
#include <condition_variable>
#include <mutex>

// Qt
#include <QString>

// How far the writer has come with the records handed to it, shared between the writer's
// thread and the threads waiting for their records. Records are numbered from 1 in the order
// handed over; the writer keeps them in that order, so one number says which are kept.
class RecordProgress {
public:
    // Every record up to `ticket` is committed or in the flushed spool.
    void markKept(qint64 ticket);
    // Records up to `ticket` reached neither; they stay with the writer, which tries again.
    void markFailed(qint64 ticket, const QString& reason);
    QString failure() const;

    qint64 kept() const;
    qint64 failed() const;

    // True once `ticket` is kept; false when it failed first or `timeout` passed.
    bool waitFor(qint64 ticket, std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    qint64 kept_ = 0;
    qint64 failed_ = 0;
    QString failure_;
};

#pragma once

// Standard library
#include <chrono>
#include <thread>

// Qt
#include <QObject>

// Ours
#include "InspectionRecord.h"
#include "RecordConfig.h"
#include "RecordState.h"

class QThread;
class RecordWriter;

// The inspection record as the programs see it: a writer thread commits judgements to the
// database, or appends them to the spool and flushes it to the disk, and only then counts
// them as kept. Records handed over while the writer works join its next transaction, so the
// cost of a flush is shared. The state of the writing comes back as a signal.
class RecordStore : public QObject {
    Q_OBJECT

public:
    explicit RecordStore(RecordConfig config, QObject* parent = nullptr,
                         std::chrono::milliseconds retryInterval = std::chrono::seconds(2));
    // Writes or spools every record handed over before it returns.
    ~RecordStore() override;

    // Fills in what the caller left empty (uuid, time, station, operator), hands it over
    // and returns once it is committed or flushed to the spool: true then, false when
    // neither would take it (state() says why).
    bool record(InspectionRecord record);

    // Hands the record over without waiting; its ticket tells when it is kept. Tickets
    // rise by one per record, and records are kept in the order handed over.
    qint64 submit(InspectionRecord record);
    // Whether every record up to `ticket` is committed or in the flushed spool.
    bool isKept(qint64 ticket) const;
    // Whether the record of `ticket` failed to reach both the database and the spool.
    bool hasFailed(qint64 ticket) const;
    // Blocks until `ticket` is kept (true), failed or `timeout` passed (false).
    bool waitUntilKept(qint64 ticket, std::chrono::milliseconds timeout) const;
    // Why the last record that failed was not kept.
    QString failure() const;

    const RecordConfig& config() const { return config_; }
    void setConfig(RecordConfig config);
    RecordState state() const { return state_; }

    // Waits (running this thread's events) until every record handed over is written,
    // spooled or failed; false on timeout. For the headless measurer and tests.
    bool waitUntilSettled(std::chrono::milliseconds timeout);
    // Tries the database again now instead of at the next retry.
    void retryNow();

signals:
    void stateChanged(const RecordState& state);

private:
    RecordConfig config_;
    // Joined, not only waited for: QThread::wait() returns while the thread is still ending,
    // and one that ends after the program has begun to exit keeps its Qt thread data for good.
    std::thread thread_;
    QThread* writerThread_ = nullptr; // Qt's view of thread_, which it adopts
    RecordWriter* writer_;
    RecordState state_;
    qint64 lastTicket_ = 0;
};

#pragma once

// Standard library
#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

// Qt
#include <QObject>

// Ours
#include "ImageArchive.h"
#include "InspectionRecord.h"
#include "RecordConfig.h"
#include "RecordProgress.h"
#include "RecordSpool.h"
#include "RecordState.h"

class QTimer;
class RecordDatabase;

// The worker behind RecordStore, living on its own thread: archives the judged images,
// writes records in batches and, while the database cannot be written, keeps them in the
// spool and tries again until every one is in. A record counts as kept once it is committed
// or its spool line is flushed to the disk, never before.
class RecordWriter : public QObject {
    Q_OBJECT

public:
    RecordWriter(RecordConfig config, std::chrono::milliseconds retryInterval);
    ~RecordWriter() override;

    // These run on the writer's thread.
    void start();
    void submit(InspectionRecord record);
    void retryNow();
    // Writes or spools everything submitted so far and lets go of the database.
    void finish();
    void reconfigure(RecordConfig config);

    // Records submitted and records written or spooled, readable from any thread.
    std::atomic<qint64> submitted{0};
    std::atomic<qint64> settled{0};
    // Which records are kept (committed or flushed to the spool), by their ticket.
    RecordProgress progress;

signals:
    void stateChanged(const RecordState& state);

private:
    void prepare(InspectionRecord& record);
    void writePending();
    bool drainSpool();
    void report();

    RecordConfig config_;
    std::chrono::milliseconds retryInterval_;
    std::unique_ptr<RecordDatabase> database_;
    std::unique_ptr<RecordSpool> spool_;
    std::unique_ptr<ImageArchive> archive_;
    QTimer* retryTimer_ = nullptr;

    std::vector<InspectionRecord> pending_;
    // Records that neither the database nor the spool would take; kept until one does.
    std::vector<InspectionRecord> unspooled_;
    bool writeScheduled_ = false;
    int spooled_ = 0;
    // Records handed over so far: the ticket of the newest.
    qint64 received_ = 0;
    QString databaseError_;
    QString archiveError_;
    QString localError_;
    RecordState reported_;
    bool reportedOnce_ = false;
};

#pragma once

// Standard library
#include <chrono>

// Qt
#include <QObject>
#include <QThread>

// Ours
#include "InspectionRecord.h"
#include "RecordConfig.h"
#include "RecordState.h"

class RecordWriter;

// The inspection record as the programs see it: record() hands a judgement to a writer
// thread and returns at once; the state of the writing comes back as a signal.
class RecordStore : public QObject {
    Q_OBJECT

public:
    explicit RecordStore(RecordConfig config, QObject* parent = nullptr,
                         std::chrono::milliseconds retryInterval = std::chrono::seconds(2));
    // Writes or spools every record handed over before it returns.
    ~RecordStore() override;

    // Fills in what the caller left empty (uuid, time, station, operator) and queues it.
    void record(InspectionRecord record);

    const RecordConfig& config() const { return config_; }
    void setConfig(RecordConfig config);
    RecordState state() const { return state_; }

    // Waits (running this thread's events) until every record handed over is written or
    // spooled; false on timeout. For the headless measurer and tests.
    bool waitUntilSettled(std::chrono::milliseconds timeout);
    // Tries the database again now instead of at the next retry.
    void retryNow();

signals:
    void stateChanged(const RecordState& state);

private:
    RecordConfig config_;
    QThread thread_;
    RecordWriter* writer_;
    RecordState state_;
};

#pragma once

// Standard library
#include <chrono>
#include <cstdio>
#include <memory>

// Qt
#include <QString>

// Ours
#include "Judgement.h"
#include "RecordConfig.h"

class RecordStore;
struct MeasuredInput;

// Puts every measured row into the inspection record, as the window does. Rows the database
// cannot take wait in the user's spool, written by the next run against the same database
// (or by Gavrel's next start). Each row's record is committed or flushed to the spool before
// its row may be shown: record() gives a ticket to wait for.
class RowRecorder {
public:
    // `recipe` names the set-up the rows were judged under ("" for none).
    explicit RowRecorder(const RecordConfig& config, QString recipe = {});
    ~RowRecorder();
    RowRecorder(const RowRecorder&) = delete;
    RowRecorder& operator=(const RowRecorder&) = delete;

    // Whether the database could ever take a record: a wrong password, a missing database
    // or a path that is no database file cannot, and spooling for it would hide the fault.
    // A server that is only down or busy can. False with `error` set when it cannot.
    static bool canEverWrite(const RecordConfig& config, QString* error);

    // Hands the rows over and returns the ticket of the last one (0 when none is recorded:
    // rows the library rejected (ERROR) are not).
    qint64 record(const MeasuredInput& measured);
    bool isKept(qint64 ticket) const;
    bool hasFailed(qint64 ticket) const;
    bool waitUntilKept(qint64 ticket, std::chrono::milliseconds timeout) const;
    // Why records could not be kept.
    QString failure() const;

    // Waits until every row is written or spooled and tells `errors` when some wait in the
    // spool or could not be kept at all; false in that last case.
    bool finish(std::FILE* errors);

private:
    Judgement judgementOf(const MeasuredInput& measured) const;

    RecordConfig config_;
    QString recipe_;
    std::unique_ptr<RecordStore> store_;
};

#pragma once

// Standard library
#include <cstdio>
#include <memory>

// Ours
#include "RecordConfig.h"

class RecordStore;
struct MeasuredInput;

// Puts every measured row into the inspection record, as the window does. Rows the database
// cannot take wait in the user's spool, written by the next run against the same database
// (or by Gavrel's next start).
class RowRecorder {
public:
    // `recipe` names the set-up the rows were judged under ("" for none).
    explicit RowRecorder(const RecordConfig& config, QString recipe = {});
    ~RowRecorder();
    RowRecorder(const RowRecorder&) = delete;
    RowRecorder& operator=(const RowRecorder&) = delete;

    // Rows the library rejected (ERROR) are not recorded.
    void record(const MeasuredInput& measured);

    // Waits until every row is written or spooled and tells `errors` when some wait in the
    // spool or could not be kept at all; false in that last case.
    bool finish(std::FILE* errors);

private:
    RecordConfig config_;
    QString recipe_;
    std::unique_ptr<RecordStore> store_;
};

#pragma once

// Standard library
#include <chrono>

// Ours
#include "Judgement.h"

class RecordStore;

// Hands settled judgements to the inspection record, exactly as judged. Without a store it
// does nothing.
class InspectionRecorder {
public:
    explicit InspectionRecorder(RecordStore* store);

    // Gives the judgement its record uuids and records one row per measured circle, and
    // returns once they are committed or flushed to the spool; false when nothing was kept
    // (no store, nothing measured, or neither the database nor the spool took them), and the
    // judgement then names no record.
    bool record(Judgement& judgement);

    // Beyond the database's own time limits and a flush of the spool, which come first.
    static constexpr std::chrono::seconds kKeepLimit{30};

private:
    RecordStore* store_;
};

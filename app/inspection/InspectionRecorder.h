#pragma once

// Ours
#include "Judgement.h"

class RecordStore;

// Hands settled judgements to the inspection record, exactly as judged. Without a store it
// does nothing.
class InspectionRecorder {
public:
    explicit InspectionRecorder(RecordStore* store);

    // Gives the judgement its record uuids and records one row per measured circle; false
    // when nothing was recorded (no store, or nothing measured).
    bool record(Judgement& judgement);

private:
    RecordStore* store_;
};

#include "InspectionRecorder.h"

// Ours
#include "JudgementRecords.h"
#include "RecordStore.h"

InspectionRecorder::InspectionRecorder(RecordStore* store) : store_(store) {}

bool InspectionRecorder::record(Judgement& judgement) {
    if (store_ == nullptr) {
        return false;
    }
    std::vector<InspectionRecord> records = JudgementRecords::toRecords(judgement);
    if (records.empty()) {
        return false;
    }
    // Every circle of the part handed over at once, so that they are kept in one commit;
    // the judgement is said to be recorded only once the last of them is kept.
    qint64 last = 0;
    for (InspectionRecord& record : records) {
        last = store_->submit(std::move(record));
    }
    return store_->waitUntilKept(last, kKeepLimit);
}

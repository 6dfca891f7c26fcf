#include "InspectionRecorder.h"

// Ours
#include "JudgementRecords.h"
#include "RecordStore.h"

InspectionRecorder::InspectionRecorder(RecordStore* store) : store_(store) {}

namespace {

// A judgement whose records were not kept names none: nothing that shows or publishes it may
// say a record exists.
void forgetRecords(Judgement& judgement) {
    judgement.inspectionUuid.clear();
    for (CircleJudgement& circle : judgement.circles) {
        circle.recordUuid.clear();
    }
}

} // namespace

bool InspectionRecorder::record(Judgement& judgement) {
    if (store_ == nullptr) {
        return false;
    }
    std::vector<InspectionRecord> records = JudgementRecords::toRecords(judgement);
    if (records.empty()) {
        forgetRecords(judgement);
        return false;
    }
    // Every circle of the part handed over at once, so that they are kept in one commit;
    // the judgement is said to be recorded only once the last of them is kept.
    qint64 last = 0;
    for (InspectionRecord& record : records) {
        last = store_->submit(std::move(record));
    }
    if (!store_->waitUntilKept(last, kKeepLimit)) {
        forgetRecords(judgement);
        return false;
    }
    return true;
}

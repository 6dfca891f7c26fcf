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
    for (InspectionRecord& record : records) {
        store_->record(std::move(record));
    }
    return !records.empty();
}

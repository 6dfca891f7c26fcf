#include "SettleRule.h"

// Standard library
#include <algorithm>

namespace SettleRule {

namespace {

bool sameCircle(const CircleJudgement& a, const CircleJudgement& b) {
    return a.name == b.name && a.circle == b.circle && a.standard == b.standard &&
           a.tolerance == b.tolerance && a.verdict == b.verdict &&
           (a.verdict == Verdict::Rejected || a.mean == b.mean);
}

bool liveShouldRecord(Verdict verdict, Clock::time_point now, Memory& memory) {
    const std::optional<Verdict> previous = std::exchange(memory.previousLiveVerdict, verdict);
    if (previous != verdict) {
        if (verdict == Verdict::NG) {
            memory.lastLiveNgRecorded = now;
        }
        return true;
    }
    if (verdict == Verdict::NG &&
        (!memory.lastLiveNgRecorded || now - *memory.lastLiveNgRecorded >= kLiveNgInterval)) {
        memory.lastLiveNgRecorded = now;
        return true;
    }
    return false;
}

} // namespace

bool sameSubstance(const Judgement& a, const Judgement& b) {
    return a.imageGeneration == b.imageGeneration && a.recipe == b.recipe &&
           std::equal(a.circles.begin(), a.circles.end(), b.circles.begin(), b.circles.end(),
                      sameCircle);
}

bool shouldRecord(Event event, const Judgement& judgement, Clock::time_point now, Memory& memory) {
    // A measurement the library refused has nothing to keep.
    if (judgement.measuredNothing()) {
        return false;
    }
    if (memory.lastRecordedSequence == judgement.sequence) {
        return false;
    }
    bool record = false;
    switch (event) {
    case Event::LiveFrame:
        record = liveShouldRecord(judgement.partVerdict(), now, memory);
        break;
    case Event::LineTriggered:
        // Kept whatever the live rule would say; the rule still counts it as the last verdict.
        liveShouldRecord(judgement.partVerdict(), now, memory);
        record = true;
        break;
    case Event::Grabbed:
    case Event::Loaded:
        record = true; // a new image, even with the same pixels
        break;
    case Event::DragReleased:
    case Event::KeysReleased:
    case Event::Recalculated:
        record = !memory.lastRecorded || !sameSubstance(*memory.lastRecorded, judgement);
        break;
    }
    if (record) {
        memory.lastRecordedSequence = judgement.sequence;
        memory.lastRecorded = judgement;
        memory.lastRecorded->pixels.clear(); // only its substance is compared
    }
    return record;
}

void startLive(Memory& memory) {
    memory.previousLiveVerdict.reset();
    memory.lastLiveNgRecorded.reset();
}

} // namespace SettleRule

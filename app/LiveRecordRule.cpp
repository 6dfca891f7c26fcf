#include "LiveRecordRule.h"

namespace LiveRecordRule {

bool shouldRecord(std::optional<DensityJudge::Verdict> previous, DensityJudge::Verdict verdict,
                  Clock::time_point now, std::optional<Clock::time_point> lastNgRecorded) {
    if (previous != verdict) {
        return true;
    }
    return verdict == DensityJudge::Verdict::NG &&
           (!lastNgRecorded || now - *lastNgRecorded >= kNgInterval);
}

} // namespace LiveRecordRule

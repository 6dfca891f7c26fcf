#pragma once

// Standard library
#include <chrono>
#include <optional>

// Ours
#include "DensityJudge.h"

// Which live frames go into the measurement record: a frame whose verdict differs from the
// frame before, and NG frames, at most one a second.
namespace LiveRecordRule {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::seconds kNgInterval{1};

// `previous` is the verdict of the frame before (none for the first frame of a live run);
// `lastNgRecorded` when an NG frame was last recorded.
bool shouldRecord(std::optional<DensityJudge::Verdict> previous, DensityJudge::Verdict verdict,
                  Clock::time_point now, std::optional<Clock::time_point> lastNgRecorded);

} // namespace LiveRecordRule

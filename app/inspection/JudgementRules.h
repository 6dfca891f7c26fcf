#pragma once

// Standard library
#include <cstdint>
#include <optional>

// Qt
#include <QString>

// Ours
#include "CircleSetting.h"
#include "Judgement.h"

// How a measurement becomes a judgement, for every program that judges.
namespace JudgementRules {

// The circle Pelmint is called with: the figure's values rounded half to even.
MeasuredCircle measuredCircle(const CircleFigure& figure);

// OK strictly inside standard ± tolerance of the unrounded mean; NaN and infinities as the
// window's judgement treats them.
Verdict verdictOf(double standard, double tolerance, double mean);

// One circle judged from the library's answers: `mean` is the average, or -1.0 when the
// library rejected the call.
CircleJudgement judgeAverage(const CircleSetting& setting, const MeasuredCircle& circle,
                             double mean, double elapsedMs);
// The same from the full statistics call; `status` is Pelmint's status.
CircleJudgement judgeStatistics(const CircleSetting& setting, const MeasuredCircle& circle,
                                std::int32_t status, const PixelStatistics& statistics,
                                double elapsedMs);

Verdict partVerdict(const std::vector<CircleJudgement>& circles);

// "OK", "NG" or "ERROR", as the record and the command line write it.
QString verdictText(Verdict verdict);

// Why Pelmint refused a call with this status.
QString rejectionText(std::int32_t status);

} // namespace JudgementRules

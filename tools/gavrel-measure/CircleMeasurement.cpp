#include "CircleMeasurement.h"

// Standard library
#include <chrono>

// Ours
#include "JudgementRules.h"
#include "KeshImage.h"
#include "pelmint.h"

namespace {

MeasurementRow rowFor(const QString& source, const InspectionCircle& circle,
                      const MeasureOptions& options) {
    MeasurementRow row;
    row.source = source;
    row.circle = circle;
    row.standard = circle.standard.value_or(options.standard);
    row.tolerance = circle.tolerance.value_or(options.tolerance);
    row.circleName = circle.name;
    return row;
}

} // namespace

namespace CircleMeasurement {

std::vector<MeasurementRow> measure(const QString& source, const KeshImage& image, bool converted,
                                    const MeasureOptions& options) {
    std::vector<MeasurementRow> rows;
    rows.reserve(options.circles.size());
    std::vector<CircleJudgement> judgements;
    judgements.reserve(options.circles.size());
    for (const InspectionCircle& circle : options.circles) {
        CircleSetting setting;
        setting.name = circle.name;
        setting.standard = circle.standard.value_or(options.standard);
        setting.tolerance = circle.tolerance.value_or(options.tolerance);
        MeasurementRow row = rowFor(source, circle, options);
        row.converted = converted;
        const MeasuredCircle measured{circle.centreX, circle.centreY, circle.radius};
        PelmintStatistics statistics{};
        const auto started = std::chrono::steady_clock::now();
        const int32_t status = CircleAreaStatistics(
            image.bufferAddress(), image.width(), image.height(), image.bytesPerLine(),
            measured.centreX, measured.centreY, measured.radius, &statistics);
        const auto elapsed = std::chrono::steady_clock::now() - started;
        row.elapsedUs = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
        // Judged by the same rule as every other judgement of the program.
        const CircleJudgement judged = JudgementRules::judgeStatistics(
            setting, measured, status,
            PixelStatistics{statistics.count, statistics.mean, statistics.stddev,
                            static_cast<int>(statistics.min), static_cast<int>(statistics.max)},
            std::chrono::duration<double, std::milli>(elapsed).count());
        row.statistics = judged.statistics;
        switch (judged.verdict) {
        case Verdict::OK:
            row.verdict = RowVerdict::OK;
            break;
        case Verdict::NG:
            row.verdict = RowVerdict::NG;
            break;
        case Verdict::Rejected:
            row.verdict = RowVerdict::Error;
            break;
        }
        rows.push_back(std::move(row));
        judgements.push_back(judged);
    }
    const RowVerdict part =
        JudgementRules::partVerdict(judgements) == Verdict::OK ? RowVerdict::OK : RowVerdict::NG;
    for (MeasurementRow& row : rows) {
        row.partVerdict = part;
    }
    return rows;
}

std::vector<MeasurementRow> failed(const QString& source, const MeasureOptions& options) {
    std::vector<MeasurementRow> rows;
    rows.reserve(options.circles.size());
    for (const InspectionCircle& circle : options.circles) {
        rows.push_back(rowFor(source, circle, options));
    }
    return rows;
}

} // namespace CircleMeasurement

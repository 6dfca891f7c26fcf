#include "CircleMeasurement.h"

// Standard library
#include <chrono>

// Ours
#include "DensityJudge.h"
#include "KeshImage.h"
#include "pelmint.h"

namespace {

MeasurementRow rowFor(const QString& source, const InspectionCircle& circle,
                      const MeasureOptions& options) {
    MeasurementRow row;
    row.source = source;
    row.circle = circle;
    row.standard = options.standard;
    row.tolerance = options.tolerance;
    return row;
}

} // namespace

namespace CircleMeasurement {

std::vector<MeasurementRow> measure(const QString& source, const KeshImage& image, bool converted,
                                    const MeasureOptions& options) {
    std::vector<MeasurementRow> rows;
    rows.reserve(options.circles.size());
    for (const InspectionCircle& circle : options.circles) {
        MeasurementRow row = rowFor(source, circle, options);
        row.converted = converted;
        PelmintStatistics statistics{};
        const auto started = std::chrono::steady_clock::now();
        const int32_t status = CircleAreaStatistics(
            image.bufferAddress(), image.width(), image.height(), image.bytesPerLine(),
            circle.centreX, circle.centreY, circle.radius, &statistics);
        row.elapsedUs = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count();
        if (status == PELMINT_OK) {
            row.statistics = CircleStatistics{statistics.count, statistics.mean, statistics.stddev,
                                              statistics.min, statistics.max};
            row.verdict = DensityJudge::judge(options.standard, options.tolerance,
                                              statistics.mean) == DensityJudge::Verdict::OK
                              ? RowVerdict::OK
                              : RowVerdict::NG;
        }
        rows.push_back(std::move(row));
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

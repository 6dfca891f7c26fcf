#include "CircleMeasurement.h"

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
        const int32_t status = CircleAreaStatistics(
            image.bufferAddress(), image.width(), image.height(), image.bytesPerLine(),
            circle.centreX, circle.centreY, circle.radius, &statistics);
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

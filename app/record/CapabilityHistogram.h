#pragma once

// Standard library
#include <optional>
#include <span>
#include <vector>

// Qt
#include <QPointF>

// The histogram of a group's values beside its limits and the normal curve of its overall
// figures.
namespace CapabilityHistogram {

struct Histogram {
    double low = 0;   // left edge of the first bin
    double width = 0; // of every bin
    std::vector<qint64> counts;
    // The normal curve of the overall mean and sd scaled to counts per bin; empty without an
    // sd.
    std::vector<QPointF> normalCurve;

    double high() const { return low + width * static_cast<double>(counts.size()); }
};

// Bins over the values and both limits (Sturges' count, 5 to 60 bins); the last bin is
// closed on the right. Nothing without values.
std::optional<Histogram> build(std::span<const double> values, double lsl, double usl,
                               std::optional<double> mean, std::optional<double> sd);

} // namespace CapabilityHistogram

#include "DensityChart.h"

// Standard library
#include <algorithm>
#include <limits>

namespace DensityChart {

Layout build(const std::vector<RecordQueries::DensityPoint>& points) {
    Layout layout;
    if (points.empty()) {
        layout.maxX = 1;
        layout.maxY = 1;
        return layout;
    }
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto& p = points[i];
        const auto x = static_cast<double>(p.measuredAt.toMSecsSinceEpoch());
        const double usl = p.standard + p.tolerance;
        const double lsl = p.standard - p.tolerance;
        layout.line.emplace_back(x, p.mean);
        (p.ng ? layout.ng : layout.ok).emplace_back(x, p.mean);
        if (i > 0 && (layout.upper.back().y() != usl || layout.lower.back().y() != lsl)) {
            layout.upper.emplace_back(x, layout.upper.back().y());
            layout.lower.emplace_back(x, layout.lower.back().y());
        }
        if (i == 0 || layout.upper.back().y() != usl || layout.lower.back().y() != lsl) {
            layout.upper.emplace_back(x, usl);
            layout.lower.emplace_back(x, lsl);
        }
        low = std::min({low, p.mean, lsl, usl});
        high = std::max({high, p.mean, lsl, usl});
    }
    const double lastX = layout.line.back().x();
    layout.upper.emplace_back(lastX, layout.upper.back().y());
    layout.lower.emplace_back(lastX, layout.lower.back().y());
    layout.minX = layout.line.front().x();
    layout.maxX = lastX;
    // A little room on both sides, so that the first and the last point are not cut.
    const double side = std::max((layout.maxX - layout.minX) * 0.02, 500.0);
    layout.minX -= side;
    layout.maxX += side;
    const double margin = std::max((high - low) * 0.05, 1.0);
    layout.minY = low - margin;
    layout.maxY = high + margin;
    return layout;
}

} // namespace DensityChart

#pragma once

// Standard library
#include <vector>

// Qt
#include <QPointF>

// Ours
#include "RecordQueries.h"

// What the record window's density chart draws: every point, the limits as steps that change
// at the records where they change, and ranges that hold all of it.
namespace DensityChart {

struct Layout {
    std::vector<QPointF> line; // every value in time order (x: ms since the epoch)
    std::vector<QPointF> ok;
    std::vector<QPointF> ng;
    std::vector<QPointF> upper; // USL, a step at each change, never a slope
    std::vector<QPointF> lower; // LSL, likewise
    double minX = 0;
    double maxX = 0;
    double minY = 0;
    double maxY = 0;
};

// The value range covers the values and both limits with a margin of 5 % of the span on
// each side; the time range covers every point with 2 % (at least half a second) to spare.
Layout build(const std::vector<RecordQueries::DensityPoint>& points);

} // namespace DensityChart

#pragma once

// Standard library
#include <span>
#include <vector>

// Qt
#include <QPointF>

// A long series drawn with few points: each bucket of consecutive values becomes its lowest
// and its highest, in their order, so that every value's extent stays visible.
namespace ChartEnvelope {

// The values at x = firstX, firstX + 1, …; as they are when there are at most `maxPoints`.
std::vector<QPointF> build(std::span<const double> values, double firstX, std::size_t maxPoints);

} // namespace ChartEnvelope

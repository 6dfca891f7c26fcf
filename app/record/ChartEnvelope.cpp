#include "ChartEnvelope.h"

// Standard library
#include <algorithm>

namespace ChartEnvelope {

std::vector<QPointF> build(std::span<const double> values, double firstX, std::size_t maxPoints) {
    std::vector<QPointF> points;
    if (values.size() <= maxPoints || maxPoints < 2) {
        points.reserve(values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            points.emplace_back(firstX + static_cast<double>(i), values[i]);
        }
        return points;
    }
    const std::size_t buckets = maxPoints / 2;
    points.reserve(buckets * 2);
    for (std::size_t b = 0; b < buckets; ++b) {
        const std::size_t from = b * values.size() / buckets;
        const std::size_t to = (b + 1) * values.size() / buckets;
        if (from >= to) {
            continue;
        }
        const auto begin = values.begin() + static_cast<std::ptrdiff_t>(from);
        const auto end = values.begin() + static_cast<std::ptrdiff_t>(to);
        const auto [low, high] = std::minmax_element(begin, end);
        const auto lowAt = static_cast<std::size_t>(low - values.begin());
        const auto highAt = static_cast<std::size_t>(high - values.begin());
        const QPointF a(firstX + static_cast<double>(lowAt), *low);
        const QPointF b2(firstX + static_cast<double>(highAt), *high);
        if (lowAt <= highAt) {
            points.push_back(a);
            points.push_back(b2);
        } else {
            points.push_back(b2);
            points.push_back(a);
        }
    }
    return points;
}

} // namespace ChartEnvelope

#include "CapabilityHistogram.h"

// Standard library
#include <algorithm>
#include <cmath>
#include <numbers>

namespace CapabilityHistogram {

std::optional<Histogram> build(std::span<const double> values, double lsl, double usl,
                               std::optional<double> mean, std::optional<double> sd) {
    if (values.empty()) {
        return std::nullopt;
    }
    const auto [smallest, largest] = std::minmax_element(values.begin(), values.end());
    double low = std::min({*smallest, lsl, usl});
    double high = std::max({*largest, lsl, usl});
    if (!(high > low)) {
        low -= 0.5;
        high += 0.5;
    }
    const auto n = static_cast<double>(values.size());
    const auto bins = std::clamp(static_cast<int>(std::ceil(std::log2(n))) + 1, 5, 60);
    Histogram h;
    h.low = low;
    h.width = (high - low) / bins;
    h.counts.assign(static_cast<std::size_t>(bins), 0);
    for (const double v : values) {
        const auto bin = std::clamp(static_cast<int>(std::floor((v - low) / h.width)), 0, bins - 1);
        ++h.counts[static_cast<std::size_t>(bin)];
    }
    if (mean && sd && *sd > 0) {
        constexpr int kSteps = 120;
        const double scale = n * h.width / (*sd * std::sqrt(2 * std::numbers::pi));
        for (int i = 0; i <= kSteps; ++i) {
            const double x = low + (high - low) * i / kSteps;
            const double z = (x - *mean) / *sd;
            h.normalCurve.emplace_back(x, scale * std::exp(-0.5 * z * z));
        }
    }
    return h;
}

} // namespace CapabilityHistogram

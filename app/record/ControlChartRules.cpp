#include "ControlChartRules.h"

// Standard library
#include <algorithm>
#include <cmath>

// Qt
#include <QCoreApplication>

// Ours
#include "ProcessCapability.h"

namespace ControlChartRules {

namespace {

// Which side of the centre, and how many sigmas beyond it, a value lies: +1 above, −1 below.
bool beyond(double value, const Limits& limits, double sigmas, int side) {
    const double edge = limits.centre + side * sigmas * limits.sigma;
    return side > 0 ? value > edge : value < edge;
}

// Whether the window of `length` values ending at `last` has at least `needed` beyond
// `sigmas` on one side, the last among them.
bool patternEndsAt(std::span<const double> x, std::size_t last, std::size_t length,
                   std::size_t needed, double sigmas, const Limits& limits) {
    if (last + 1 < length) {
        return false;
    }
    for (const int side : {1, -1}) {
        if (!beyond(x[last], limits, sigmas, side)) {
            continue;
        }
        std::size_t count = 0;
        for (std::size_t i = last + 1 - length; i <= last; ++i) {
            count += beyond(x[i], limits, sigmas, side) ? 1 : 0;
        }
        if (count >= needed) {
            return true;
        }
    }
    return false;
}

bool eightOnOneSideEndsAt(std::span<const double> x, std::size_t last, const Limits& limits) {
    if (last < 7) {
        return false;
    }
    for (const int side : {1, -1}) {
        bool all = true;
        for (std::size_t i = last - 7; i <= last && all; ++i) {
            all = beyond(x[i], limits, 0, side);
        }
        if (all) {
            return true;
        }
    }
    return false;
}

std::vector<Rule> rulesAt(std::span<const double> x, std::size_t i, const Limits& limits) {
    std::vector<Rule> rules;
    if (beyond(x[i], limits, 3, 1) || beyond(x[i], limits, 3, -1)) {
        rules.push_back(Rule::BeyondThreeSigma);
    }
    if (patternEndsAt(x, i, 3, 2, 2, limits)) {
        rules.push_back(Rule::TwoOfThreeBeyondTwo);
    }
    if (patternEndsAt(x, i, 5, 4, 1, limits)) {
        rules.push_back(Rule::FourOfFiveBeyondOne);
    }
    if (eightOnOneSideEndsAt(x, i, limits)) {
        rules.push_back(Rule::EightOnOneSide);
    }
    return rules;
}

} // namespace

std::optional<Limits> limitsFrom(std::span<const double> values, QString* reason) {
    if (values.size() < 2) {
        if (reason) {
            *reason = QCoreApplication::translate("ControlChartRules", "2件以上必要");
        }
        return std::nullopt;
    }
    double sum = 0;
    for (const double v : values) {
        sum += v;
    }
    const std::vector<double> ranges = movingRanges(values);
    double rangeSum = 0;
    for (const double r : ranges) {
        rangeSum += r;
    }
    Limits limits;
    limits.centre = sum / static_cast<double>(values.size());
    limits.movingRange = rangeSum / static_cast<double>(ranges.size());
    limits.sigma = limits.movingRange / ProcessCapability::kD2;
    if (!(limits.sigma > 0)) {
        if (reason) {
            *reason = QCoreApplication::translate("ControlChartRules", "ばらつきがゼロ");
        }
        return std::nullopt;
    }
    return limits;
}

std::vector<double> movingRanges(std::span<const double> values) {
    std::vector<double> ranges;
    ranges.reserve(values.empty() ? 0 : values.size() - 1);
    for (std::size_t i = 1; i < values.size(); ++i) {
        ranges.push_back(std::abs(values[i] - values[i - 1]));
    }
    return ranges;
}

std::vector<Break> breaks(std::span<const double> values, const Limits& limits) {
    std::vector<Break> found;
    for (std::size_t i = 0; i < values.size(); ++i) {
        for (const Rule rule : rulesAt(values, i, limits)) {
            found.push_back({i, rule});
        }
    }
    return found;
}

std::vector<Rule> breaksOfNewest(std::span<const double> recent, const Limits& baseline) {
    if (recent.empty()) {
        return {};
    }
    const std::span<const double> tail = recent.last(std::min<std::size_t>(recent.size(), 8));
    return rulesAt(tail, tail.size() - 1, baseline);
}

int number(Rule rule) {
    return static_cast<int>(rule);
}

QString describe(Rule rule) {
    switch (rule) {
    case Rule::BeyondThreeSigma:
        return QCoreApplication::translate("ControlChartRules", "3σを超えた点");
    case Rule::TwoOfThreeBeyondTwo:
        return QCoreApplication::translate("ControlChartRules", "3点中2点が同じ側の2σ超");
    case Rule::FourOfFiveBeyondOne:
        return QCoreApplication::translate("ControlChartRules", "5点中4点が同じ側の1σ超");
    case Rule::EightOnOneSide:
        return QCoreApplication::translate("ControlChartRules", "8点連続で中心線の同じ側");
    }
    return {};
}

} // namespace ControlChartRules

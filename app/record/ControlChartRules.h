#pragma once

// Standard library
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

// Qt
#include <QString>

// The individuals and moving-range (I-MR) chart and the Western Electric rules: whether a
// process is in statistical control, and whether a new value says it is drifting before any
// part turns NG.
namespace ControlChartRules {

enum class Rule {
    BeyondThreeSigma = 1, // one point beyond 3σ
    TwoOfThreeBeyondTwo,  // 2 of 3 in a row beyond 2σ on one side
    FourOfFiveBeyondOne,  // 4 of 5 in a row beyond 1σ on one side
    EightOnOneSide,       // 8 in a row on one side of the centre line
};

// The chart's centre lines and 3σ limits, from the data shown or from a baseline period the
// user froze.
struct Limits {
    double centre = 0;      // mean of the individuals
    double sigma = 0;       // average moving range / 1.128
    double movingRange = 0; // average moving range, the MR chart's centre line

    double upper() const { return centre + 3 * sigma; }
    double lower() const { return centre - 3 * sigma; }
    // D4 for ranges of two: the MR chart's upper limit; its lower limit is 0.
    double movingRangeUpper() const { return 3.267 * movingRange; }
};

struct Break {
    std::size_t index = 0; // the point that completes the pattern
    Rule rule = Rule::BeyondThreeSigma;
    friend bool operator==(const Break&, const Break&) = default;
};

// From two values or more; nothing (with `reason`) otherwise or when they do not vary.
std::optional<Limits> limitsFrom(std::span<const double> values, QString* reason = nullptr);

// The moving ranges |x[i] − x[i−1]|, one fewer than the values.
std::vector<double> movingRanges(std::span<const double> values);

// Every rule each point breaks, in order of the points, then of the rules.
std::vector<Break> breaks(std::span<const double> values, const Limits& limits);

// The early alarm: the rules the newest of `recent` (oldest first; the rules look back at
// most 8 values, earlier ones are ignored) breaks against a frozen baseline. Empty when it
// breaks none.
std::vector<Rule> breaksOfNewest(std::span<const double> recent, const Limits& baseline);

// The rule's number (1–4) and its short description in the window's language.
int number(Rule rule);
QString describe(Rule rule);

} // namespace ControlChartRules

#pragma once

// Standard library
#include <optional>
#include <vector>

// Qt
#include <QString>

// How capable a process is against its limits: every figure the record window, the report
// and the command line show comes from here, so that all three agree.
namespace ProcessCapability {

// A figure, or the reason there is none: a figure without enough data is never a number.
struct Figure {
    std::optional<double> value;
    QString reason;

    bool known() const { return value.has_value(); }
    // The value to `decimals` places, or "—".
    QString text(int decimals) const;
    // As text(), with the reason after the dash.
    QString textWithReason(int decimals) const;
};

// Judgements made against one pair of limits: LSL = standard − tolerance, USL = standard +
// tolerance. Records judged against other limits form a group of their own.
struct Group {
    double standard = 0;
    double tolerance = 0;
    std::vector<double> values; // the measured means, oldest first
    qint64 ok = 0;
    qint64 ng = 0;

    double lsl() const { return standard - tolerance; }
    double usl() const { return standard + tolerance; }
};

struct Figures {
    double standard = 0;
    double tolerance = 0;
    double lsl = 0;
    double usl = 0;
    qint64 n = 0;
    qint64 ok = 0;
    qint64 ng = 0;
    Figure yieldPercent;
    Figure mean;
    Figure overallSd;   // sample standard deviation (n − 1)
    Figure movingRange; // average moving range of consecutive values
    Figure withinSd;    // average moving range / d2 (1.128)
    Figure cp;          // (USL − LSL) / 6 within sd
    Figure cpk;         // distance of the mean to the nearer limit / 3 within sd
    Figure pp;          // as Cp with the overall sd
    Figure ppk;         // as Cpk with the overall sd
    Figure cpkLower95;  // 95 % confidence interval for Cpk
    Figure cpkUpper95;
};

// d2 of a moving range of two: the within sd is the average moving range divided by it.
inline constexpr double kD2 = 1.128;
// Fewest values for a confidence interval worth showing.
inline constexpr qint64 kIntervalMinimum = 10;

Figures compute(const Group& group);

// Adds one judged value to the group of its limits, made when it is the first of them; the
// groups keep the order in which their limits first appeared. Call it oldest first.
void addTo(std::vector<Group>& groups, double value, double standard, double tolerance, bool ng);

// The group's limits as "128 ± 20 (108 – 148)".
QString limitsText(const Group& group);

} // namespace ProcessCapability

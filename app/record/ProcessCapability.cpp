#include "ProcessCapability.h"

// Standard library
#include <algorithm>
#include <cmath>

// Qt
#include <QCoreApplication>

namespace ProcessCapability {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("ProcessCapability", text);
}

Figure known(double value) {
    return Figure{value, {}};
}

Figure unknown(const QString& reason) {
    return Figure{std::nullopt, reason};
}

// Two-pass, so that a large common offset costs no precision.
double sampleSd(const std::vector<double>& values, double mean) {
    double squares = 0;
    for (const double v : values) {
        squares += (v - mean) * (v - mean);
    }
    return std::sqrt(squares / static_cast<double>(values.size() - 1));
}

Figure ratio(const Figure& sd, double numerator, double divisor) {
    if (!sd.known()) {
        return unknown(sd.reason);
    }
    if (*sd.value <= 0) {
        return unknown(tr("ばらつきがゼロ"));
    }
    return known(numerator / (divisor * *sd.value));
}

} // namespace

QString Figure::text(int decimals) const {
    return value ? QString::number(*value, 'f', decimals) : QStringLiteral("—");
}

QString Figure::textWithReason(int decimals) const {
    return value ? text(decimals) : QStringLiteral("— (%1)").arg(reason);
}

Figures compute(const Group& group) {
    Figures f;
    f.standard = group.standard;
    f.tolerance = group.tolerance;
    f.lsl = group.lsl();
    f.usl = group.usl();
    f.ok = group.ok;
    f.ng = group.ng;
    const auto& x = group.values;
    f.n = static_cast<qint64>(x.size());
    const double n = static_cast<double>(f.n);

    if (f.n == 0) {
        const Figure none = unknown(tr("記録がない"));
        f.yieldPercent = f.mean = f.overallSd = f.movingRange = f.withinSd = none;
        f.cp = f.cpk = f.pp = f.ppk = f.cpkLower95 = f.cpkUpper95 = none;
        return f;
    }
    f.yieldPercent = known(100.0 * static_cast<double>(f.ok) / static_cast<double>(f.ok + f.ng));
    double sum = 0;
    for (const double v : x) {
        sum += v;
    }
    const double mean = sum / n;
    f.mean = known(mean);

    if (f.n < 2) {
        const Figure few = unknown(tr("2件以上必要"));
        f.overallSd = f.movingRange = f.withinSd = few;
        f.cp = f.cpk = f.pp = f.ppk = f.cpkLower95 = f.cpkUpper95 = few;
        return f;
    }
    f.overallSd = known(sampleSd(x, mean));
    double ranges = 0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        ranges += std::abs(x[i] - x[i - 1]);
    }
    const double mrBar = ranges / (n - 1);
    f.movingRange = known(mrBar);
    f.withinSd = known(mrBar / kD2);

    if (group.tolerance <= 0) {
        const Figure noBand = unknown(tr("許容差がゼロ以下"));
        f.cp = f.cpk = f.pp = f.ppk = f.cpkLower95 = f.cpkUpper95 = noBand;
        return f;
    }
    const double width = f.usl - f.lsl;
    const double nearer = std::min(f.usl - mean, mean - f.lsl);
    f.cp = ratio(f.withinSd, width, 6);
    f.cpk = ratio(f.withinSd, nearer, 3);
    f.pp = ratio(f.overallSd, width, 6);
    f.ppk = ratio(f.overallSd, nearer, 3);

    if (!f.cpk.known()) {
        f.cpkLower95 = f.cpkUpper95 = unknown(f.cpk.reason);
    } else if (f.n < kIntervalMinimum) {
        f.cpkLower95 = f.cpkUpper95 = unknown(tr("信頼区間には%1件以上必要").arg(kIntervalMinimum));
    } else {
        // Bissell, A. F. (1990), "How reliable is your capability index?", Applied
        // Statistics 39(3), 331-340: Cpk ± z(0.975) √(1/(9n) + Cpk² / (2(n − 1))).
        constexpr double z975 = 1.959963984540054;
        const double cpk = *f.cpk.value;
        const double half = z975 * std::sqrt(1.0 / (9.0 * n) + cpk * cpk / (2.0 * (n - 1.0)));
        f.cpkLower95 = known(cpk - half);
        f.cpkUpper95 = known(cpk + half);
    }
    return f;
}

void addTo(std::vector<Group>& groups, double value, double standard, double tolerance, bool ng) {
    auto group = std::find_if(groups.begin(), groups.end(), [&](const Group& g) {
        return g.standard == standard && g.tolerance == tolerance;
    });
    if (group == groups.end()) {
        groups.push_back(Group{standard, tolerance, {}, 0, 0});
        group = std::prev(groups.end());
    }
    group->values.push_back(value);
    ++(ng ? group->ng : group->ok);
}

QString limitsText(const Group& group) {
    return QStringLiteral("%1 ± %2 (%3 – %4)")
        .arg(QString::number(group.standard, 'g', 10), QString::number(group.tolerance, 'g', 10),
             QString::number(group.lsl(), 'g', 10), QString::number(group.usl(), 'g', 10));
}

} // namespace ProcessCapability

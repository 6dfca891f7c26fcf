#include "RecordQueries.h"

// Standard library
#include <algorithm>
#include <cmath>

// Qt
#include <QSqlQuery>
#include <QVariant>

// Ours
#include "RecordCodec.h"

namespace RecordQueries {

Summary summarize(QSqlDatabase& database, const RecordFilter& filter) {
    Summary summary;
    QSqlQuery query(database);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT COUNT(*), SUM(CASE WHEN verdict = 'OK' THEN 1 ELSE 0 "
                                 "END), SUM(mean), SUM(mean * mean) FROM measurements%1")
                      .arg(filter.whereClause()));
    filter.bindTo(query);
    if (!query.exec() || !query.next()) {
        return summary;
    }
    summary.count = query.value(0).toLongLong();
    summary.ok = query.value(1).toLongLong();
    summary.ng = summary.count - summary.ok;
    if (summary.count > 0) {
        const double n = static_cast<double>(summary.count);
        const double sum = query.value(2).toDouble();
        const double squares = query.value(3).toDouble();
        summary.yieldPercent = 100.0 * static_cast<double>(summary.ok) / n;
        summary.meanDensity = sum / n;
        if (summary.count > 1) {
            summary.stddevDensity = std::sqrt(std::max(0.0, (squares - sum * sum / n) / (n - 1)));
        }
    }
    return summary;
}

std::vector<DensityPoint> densityPoints(QSqlDatabase& database, const RecordFilter& filter,
                                        int limit) {
    std::vector<DensityPoint> points;
    QSqlQuery query(database);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT measured_at, mean, standard, tolerance, verdict FROM "
                                 "measurements%1 ORDER BY measured_at DESC, id DESC LIMIT %2")
                      .arg(filter.whereClause())
                      .arg(limit));
    filter.bindTo(query);
    if (!query.exec()) {
        return points;
    }
    while (query.next()) {
        points.push_back({RecordCodec::parseTimestamp(query.value(0).toString()),
                          query.value(1).toDouble(), query.value(2).toDouble(),
                          query.value(3).toDouble(), query.value(4).toString() == u"NG"});
    }
    std::reverse(points.begin(), points.end());
    return points;
}

QStringList stations(QSqlDatabase& database) {
    QStringList list;
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (query.exec(QStringLiteral("SELECT DISTINCT station FROM measurements ORDER BY station"))) {
        while (query.next()) {
            list << query.value(0).toString();
        }
    }
    return list;
}

} // namespace RecordQueries

#include "RecordQueries.h"

// Standard library
#include <algorithm>
#include <cmath>

// Qt
#include <QSqlError>
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

namespace {

QStringList distinctTexts(QSqlDatabase& database, const QString& column) {
    QStringList list;
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (query.exec(QStringLiteral("SELECT DISTINCT %1 FROM measurements WHERE %1 <> '' ORDER BY %1")
                       .arg(column))) {
        while (query.next()) {
            list << query.value(0).toString();
        }
    }
    return list;
}

void readGroups(QSqlDatabase& database, const RecordFilter& filter, CapabilityData& data,
                bool newerOnly) {
    QString where = filter.whereClause();
    QVariantList values = filter.values();
    if (newerOnly) {
        where += where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
        where += QStringLiteral("id > ?");
        values << data.newestId;
    }
    QSqlQuery query(database);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT id, mean, standard, tolerance, verdict FROM "
                       "measurements%1 ORDER BY %2")
            .arg(where, newerOnly ? QStringLiteral("id") : QStringLiteral("measured_at, id")));
    for (int i = 0; i < values.size(); ++i) {
        query.bindValue(i, values[i]);
    }
    if (!query.exec()) {
        data.readable = false;
        data.error = query.lastError().text();
        return;
    }
    while (query.next()) {
        data.newestId = std::max(data.newestId, query.value(0).toLongLong());
        ProcessCapability::addTo(data.groups, query.value(1).toDouble(), query.value(2).toDouble(),
                                 query.value(3).toDouble(), query.value(4).toString() == u"NG");
    }
}

} // namespace

QStringList recipes(QSqlDatabase& database) {
    return distinctTexts(database, QStringLiteral("recipe"));
}

QStringList circles(QSqlDatabase& database) {
    return distinctTexts(database, QStringLiteral("circle_name"));
}

qint64 newestId(QSqlDatabase& database) {
    QSqlQuery query(database);
    query.setForwardOnly(true);
    return query.exec(QStringLiteral("SELECT MAX(id) FROM measurements")) && query.next()
               ? query.value(0).toLongLong()
               : 0;
}

qint64 CapabilityData::count() const {
    qint64 n = 0;
    for (const auto& group : groups) {
        n += static_cast<qint64>(group.values.size());
    }
    return n;
}

CapabilityData capabilityData(QSqlDatabase& database, const RecordFilter& filter) {
    CapabilityData data;
    readGroups(database, filter, data, false);
    return data;
}

void addNewer(QSqlDatabase& database, const RecordFilter& filter, CapabilityData& data) {
    readGroups(database, filter, data, true);
}

std::vector<ArchivedNg> archivedNgImages(QSqlDatabase& database, const RecordFilter& filter,
                                         int limit) {
    std::vector<ArchivedNg> found;
    QString where = filter.whereClause();
    where += where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
    where += QStringLiteral("verdict = 'NG' AND image_file <> ''");
    QSqlQuery query(database);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT measured_at, utc_offset_s, image_file, source, mean, cx, "
                                 "cy, r FROM measurements%1 ORDER BY measured_at DESC, id DESC "
                                 "LIMIT %2")
                      .arg(where)
                      .arg(limit));
    filter.bindTo(query);
    if (!query.exec()) {
        return found;
    }
    while (query.next()) {
        found.push_back(
            {RecordCodec::parseTimestamp(query.value(0).toString()), query.value(1).toInt(),
             query.value(2).toString(), query.value(3).toString(), query.value(4).toDouble(),
             query.value(5).toDouble(), query.value(6).toDouble(), query.value(7).toDouble()});
    }
    return found;
}

} // namespace RecordQueries

#pragma once

// Standard library
#include <vector>

// Qt
#include <QDateTime>
#include <QSqlDatabase>
#include <QStringList>

// Ours
#include "RecordFilter.h"

// What the record window reads besides its table: the summary and the chart's points.
namespace RecordQueries {

struct Summary {
    qint64 count = 0;
    qint64 ok = 0;
    qint64 ng = 0;
    double yieldPercent = 0;  // OK of all; 0 without records
    double meanDensity = 0;   // mean of the records' means
    double stddevDensity = 0; // sample standard deviation of the records' means
};

struct DensityPoint {
    QDateTime measuredAt;
    double mean = 0;
    double standard = 0;
    double tolerance = 0;
    bool ng = false;
};

Summary summarize(QSqlDatabase& database, const RecordFilter& filter);
// The newest `limit` matching records, oldest first.
std::vector<DensityPoint> densityPoints(QSqlDatabase& database, const RecordFilter& filter,
                                        int limit);
QStringList stations(QSqlDatabase& database);

} // namespace RecordQueries

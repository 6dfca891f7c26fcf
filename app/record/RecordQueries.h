#pragma once

// Standard library
#include <vector>

// Qt
#include <QDateTime>
#include <QSqlDatabase>
#include <QStringList>

// Ours
#include "ProcessCapability.h"
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
// The recipes and circle names in the record, "" left out; empty when the record keeps none.
QStringList recipes(QSqlDatabase& database);
QStringList circles(QSqlDatabase& database);
// The newest record's id, 0 for none: the window polls it to follow new records.
qint64 newestId(QSqlDatabase& database);

// The filter's records grouped by their limits, each oldest first: what the capability
// figures, the control chart and the histogram are computed from.
struct CapabilityData {
    std::vector<ProcessCapability::Group> groups;
    qint64 newestId = 0; // the largest id read
    bool readable = true;
    QString error;

    qint64 count() const;
};
CapabilityData capabilityData(QSqlDatabase& database, const RecordFilter& filter);
// Adds the filter's records with an id above data.newestId, in the order they were written.
void addNewer(QSqlDatabase& database, const RecordFilter& filter, CapabilityData& data);

// The newest NG records whose image is archived, newest first.
struct ArchivedNg {
    QDateTime measuredAt;
    int utcOffsetSeconds = 0;
    QString imageFile;
    QString source;
    double mean = 0;
    double cx = 0;
    double cy = 0;
    double r = 0;
};
std::vector<ArchivedNg> archivedNgImages(QSqlDatabase& database, const RecordFilter& filter,
                                         int limit);

} // namespace RecordQueries

#include "ChainVerifier.h"

// Qt
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

// Ours
#include "RecordChain.h"
#include "RecordDatabase.h"
#include "RecordSchema.h"

namespace ChainVerifier {

Report verifyAll(QSqlDatabase& database) {
    Report report;
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM measurements ORDER BY station, id")
                        .arg(RecordSchema::columnList()))) {
        report.error = query.lastError().text();
        return report;
    }
    report.readable = true;
    QString station;
    QString previous;
    bool first = true;
    while (query.next()) {
        const InspectionRecord record = RecordDatabase::fromRow(query);
        if (first || record.station != station) {
            station = record.station;
            previous = RecordChain::genesis();
            ++report.stations;
            first = false;
        }
        ++report.records;
        if (!RecordChain::linkHolds(record, previous)) {
            ++report.brokenLinks;
            if (report.brokenIds.size() < 20) {
                report.brokenIds << record.id;
            }
        }
        previous = record.recordSha256;
    }
    if (query.lastError().isValid()) {
        report.readable = false;
        report.error = query.lastError().text();
    }
    return report;
}

QSet<qint64> brokenAmong(QSqlDatabase& database, const std::vector<InspectionRecord>& rows) {
    QSet<qint64> broken;
    QSqlQuery query(database);
    query.prepare(QStringLiteral("SELECT record_sha256 FROM measurements WHERE station = ? AND "
                                 "id < ? ORDER BY id DESC LIMIT 1"));
    for (const InspectionRecord& row : rows) {
        query.bindValue(0, row.station);
        query.bindValue(1, row.id);
        if (!query.exec()) {
            continue;
        }
        const QString previous = query.next() ? query.value(0).toString() : RecordChain::genesis();
        query.finish();
        if (!RecordChain::linkHolds(row, previous)) {
            broken.insert(row.id);
        }
    }
    return broken;
}

} // namespace ChainVerifier

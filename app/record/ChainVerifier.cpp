#include "ChainVerifier.h"

// Qt
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

// Ours
#include "ImageArchive.h"
#include "RecordChain.h"
#include "RecordDatabase.h"
#include "RecordLocations.h"
#include "RecordSchema.h"
#include "StationKey.h"

namespace ChainVerifier {

namespace {

// From this id on every record must be sealed; before it, none may be.
qint64 firstSealedId(QSqlDatabase& database) {
    QSqlQuery query(database);
    if (query.exec(QStringLiteral("SELECT first_id FROM chain_forms WHERE form = 2")) &&
        query.next()) {
        return query.value(0).toLongLong();
    }
    return 1;
}

bool formFits(const InspectionRecord& record, qint64 firstSealed) {
    return record.id >= firstSealed ? record.chainForm == RecordChain::kSealedForm
                                    : record.chainForm == 1;
}

} // namespace

Report verifyAll(QSqlDatabase& database, const QString& keyFolder, const QString& headsFile,
                 const QString& archiveFolder) {
    Report report;
    const std::map<QString, QByteArray> keys =
        StationKey::all(keyFolder.isEmpty() ? RecordLocations::keyFolder() : keyFolder);
    const qint64 firstSealed = firstSealedId(database);
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM measurements ORDER BY station, id")
                        .arg(RecordSchema::columnList()))) {
        report.error = query.lastError().text();
        return report;
    }
    report.readable = true;
    std::map<QString, std::pair<qint64, QString>> newest;
    std::map<QString, QString> imageChecked; // file -> error or ""
    const ImageArchive archive(archiveFolder);
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
        newest[record.station] = {record.id, record.recordSha256};
        if (record.chainForm == RecordChain::kSealedForm && !keys.contains(record.chainKey)) {
            ++report.unknownKeys;
        } else if (!formFits(record, firstSealed) || record.previousSha256 != previous ||
                   !RecordChain::sealHolds(record, keys)) {
            ++report.brokenLinks;
            if (report.brokenIds.size() < 20) {
                report.brokenIds << record.id;
            }
        }
        previous = record.recordSha256;
        if (!archiveFolder.isEmpty() && !record.imageFile.isEmpty()) {
            auto checked = imageChecked.find(record.imageFile);
            if (checked == imageChecked.end()) {
                QString error;
                const QString hash = archive.hashOfFile(record.imageFile, &error);
                if (error.isEmpty() && hash != record.imageSha256) {
                    error = QStringLiteral("%1: the pixels changed")
                                .arg(archive.pathOf(record.imageFile));
                }
                checked = imageChecked.emplace(record.imageFile, error).first;
            }
            if (!checked->second.isEmpty()) {
                ++report.badImages;
                if (report.badImageNotes.size() < 20) {
                    report.badImageNotes
                        << QStringLiteral("record %1: %2").arg(record.id).arg(checked->second);
                }
            }
        }
    }
    if (query.lastError().isValid()) {
        report.readable = false;
        report.error = query.lastError().text();
        return report;
    }
    QFile heads(headsFile);
    if (!headsFile.isEmpty() && heads.open(QIODevice::ReadOnly)) {
        const QJsonObject known = QJsonDocument::fromJson(heads.readAll()).object();
        for (auto it = known.begin(); it != known.end(); ++it) {
            const QJsonObject head = it.value().toObject();
            const qint64 id = head.value(QStringLiteral("id")).toInteger();
            const QString seal = head.value(QStringLiteral("seal")).toString();
            QSqlQuery check(database);
            check.prepare(QStringLiteral("SELECT record_sha256 FROM measurements WHERE id = ? AND "
                                         "station = ?"));
            check.addBindValue(id);
            check.addBindValue(it.key());
            if (!check.exec() || !check.next() || check.value(0).toString() != seal) {
                report.missingHeads << QStringLiteral("%1 (record %2)").arg(it.key()).arg(id);
            }
        }
    }
    return report;
}

QSet<qint64> brokenAmong(QSqlDatabase& database, const std::vector<InspectionRecord>& rows) {
    QSet<qint64> broken;
    const std::map<QString, QByteArray> keys = StationKey::all(RecordLocations::keyFolder());
    const qint64 firstSealed = firstSealedId(database);
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
        // Another station's seal cannot be checked here without its key; its link can.
        const bool sealUnknown =
            row.chainForm == RecordChain::kSealedForm && !keys.contains(row.chainKey);
        if (!formFits(row, firstSealed) || row.previousSha256 != previous ||
            (!sealUnknown && !RecordChain::sealHolds(row, keys))) {
            broken.insert(row.id);
        }
    }
    return broken;
}

} // namespace ChainVerifier

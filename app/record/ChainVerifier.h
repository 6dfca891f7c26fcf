#pragma once

// Standard library
#include <map>
#include <vector>

// Qt
#include <QByteArray>
#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Ours
#include "InspectionRecord.h"

// Checks the stations' chains of a record database: each record's seal under its station's
// key (or, for records written before sealing, its hash), each link to the record before,
// the last records known outside the database, and the archived images.
namespace ChainVerifier {

struct Report {
    bool readable = false; // false: the database could not be read; see `error`
    QString error;
    qint64 records = 0;
    qint64 stations = 0;
    qint64 brokenLinks = 0;
    QList<qint64> brokenIds; // the first few, for the message
    // Records sealed with a key that is not in the key folder: not checked.
    qint64 unknownKeys = 0;
    // Stations whose newest known record is gone or changed (truncated or replaced).
    QStringList missingHeads;
    // Archived images missing or not matching the hash their record names.
    qint64 badImages = 0;
    QStringList badImageNotes; // the first few
    bool intact() const {
        return readable && brokenLinks == 0 && unknownKeys == 0 && missingHeads.isEmpty() &&
               badImages == 0;
    }
};

// Every chain of the whole database, read in one pass, with the keys of `keyFolder` and the
// heads it remembers for the database named `identityHeadsFile` (may be empty). Archived
// images are checked when `archiveFolder` is given.
Report verifyAll(QSqlDatabase& database, const QString& keyFolder = {},
                 const QString& headsFile = {}, const QString& archiveFolder = {});

// Ids among `rows` (each read with its chain fields) whose seal or link to the station's
// record before it does not hold, with the keys of the user's key folder. A seal made with a
// key that is not there is not judged; its link still is.
QSet<qint64> brokenAmong(QSqlDatabase& database, const std::vector<InspectionRecord>& rows);

} // namespace ChainVerifier

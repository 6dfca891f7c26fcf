#pragma once

// Standard library
#include <vector>

// Qt
#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>

// Ours
#include "InspectionRecord.h"

// Checks the stations' hash chains of a record database.
namespace ChainVerifier {

struct Report {
    bool readable = false; // false: the database could not be read; see `error`
    QString error;
    qint64 records = 0;
    qint64 stations = 0;
    qint64 brokenLinks = 0;
    QList<qint64> brokenIds; // the first few, for the message
    bool intact() const { return readable && brokenLinks == 0; }
};

// Every chain of the whole database, read in one pass.
Report verifyAll(QSqlDatabase& database);

// Ids among `rows` (each read with its chain fields) whose link to the station's record
// before it does not hold.
QSet<qint64> brokenAmong(QSqlDatabase& database, const std::vector<InspectionRecord>& rows);

} // namespace ChainVerifier

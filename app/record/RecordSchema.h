#pragma once

// Qt
#include <QSqlDatabase>
#include <QString>

// The one schema of the record on every kind of database, created and brought up to date
// by the program itself. Version 1 held the measurements alone; version 2 adds the frame
// number and the indexes that the record window's filters use.
namespace RecordSchema {

constexpr int kCurrentVersion = 2;

// 0 when the database holds no record yet.
int version(QSqlDatabase& database);

// Creates the tables or upgrades them to `targetVersion`, in one transaction, so that two
// programs opening a new database at once agree. False with `error` set on failure, and
// when the database is newer than this program understands.
bool ensure(QSqlDatabase& database, QString* error, int targetVersion = kCurrentVersion);

// The stored columns in the order every reader selects them.
QString columnList();

} // namespace RecordSchema

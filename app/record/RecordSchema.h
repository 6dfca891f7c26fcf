#pragma once

// Qt
#include <QSqlDatabase>
#include <QString>

// The one schema of the record on every kind of database, created and brought up to date
// by the program itself. Version 1 held the measurements alone; version 2 adds the frame
// number and the indexes that the record window's filters use; version 3 the recipe, the
// part (inspection_uuid, circle_name, part_verdict) and the sealed chain.
namespace RecordSchema {

constexpr int kCurrentVersion = 3;

// 0 when the database holds no record yet.
int version(QSqlDatabase& database);

// Creates the tables or upgrades them to `targetVersion`, one numbered step per
// transaction, so that two programs opening a new database at once agree. False with `error` set on
// failure, and when the database is newer than this program understands.
bool ensure(QSqlDatabase& database, QString* error, int targetVersion = kCurrentVersion);

// The stored columns in the order every reader selects them.
QString columnList();

} // namespace RecordSchema

#pragma once

// Qt
#include <QString>

// Ours
#include "DatabaseUrl.h"

// Where the record lives when nothing else is said, and who and where is recording.
namespace RecordLocations {

// The user's data folder of Gavrel, shared by the window and the headless measurer.
QString dataFolder();
DatabaseUrl defaultDatabaseUrl();

// Beside an SQLite file; in the data folder for a server.
QString archiveFolderFor(const DatabaseUrl& url);
QString spoolFolder();
// One spool file per database, so that each waits for its own.
QString spoolFileFor(const QString& spoolFolder, const DatabaseUrl& url);

// What names the database itself, however its URL was spelled: the file's own path, or the
// server (any loopback name as one), its port and the database. No user, no password.
QString databaseIdentity(const DatabaseUrl& url);

// The station key and the last known chain heads, readable by the user alone.
QString keyFolder();
QString headsFileFor(const QString& keyFolder, const DatabaseUrl& url);

QString hostName();
QString loginName();

} // namespace RecordLocations

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

QString hostName();
QString loginName();

} // namespace RecordLocations

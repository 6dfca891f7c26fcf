#include "RecordLocations.h"

// Standard library
#include <pwd.h>
#include <unistd.h>

// Qt
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>

namespace RecordLocations {

QString dataFolder() {
    // The same folder as AppDataLocation of Gavrel, whichever program asks.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Gavrel"));
}

DatabaseUrl defaultDatabaseUrl() {
    return DatabaseUrl::sqliteFile(
        QDir(dataFolder()).filePath(QStringLiteral("measurements.sqlite")));
}

QString archiveFolderFor(const DatabaseUrl& url) {
    if (url.kind() == DatabaseUrl::Kind::Sqlite) {
        return QFileInfo(url.path()).absoluteDir().filePath(QStringLiteral("archive"));
    }
    return QDir(dataFolder()).filePath(QStringLiteral("archive"));
}

QString spoolFolder() {
    return QDir(dataFolder()).filePath(QStringLiteral("spool"));
}

QString spoolFileFor(const QString& folder, const DatabaseUrl& url) {
    const QByteArray key =
        QCryptographicHash::hash(url.toDisplayString().toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    return QDir(folder).filePath(QString::fromLatin1(key) + QStringLiteral(".spool"));
}

QString hostName() {
    return QSysInfo::machineHostName();
}

QString loginName() {
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name) {
        return QString::fromLocal8Bit(entry->pw_name);
    }
    return qEnvironmentVariable("USER");
}

} // namespace RecordLocations

#include "RecordLocations.h"

// Standard library
#include <pwd.h>
#include <unistd.h>

// Qt
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
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

namespace {

QString identityKey(const DatabaseUrl& url) {
    return QString::fromLatin1(
        QCryptographicHash::hash(databaseIdentity(url).toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(16));
}

bool isLoopback(const QString& host) {
    static const QRegularExpression ipv4Loopback(
        QStringLiteral("^127\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}$"));
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
           host.endsWith(QLatin1String(".localhost"), Qt::CaseInsensitive) ||
           host == QLatin1String("::1") || host == QLatin1String("[::1]") ||
           ipv4Loopback.match(host).hasMatch();
}

} // namespace

QString databaseIdentity(const DatabaseUrl& url) {
    if (url.kind() == DatabaseUrl::Kind::Sqlite) {
        const QFileInfo file(url.path());
        const QString canonical = file.canonicalFilePath();
        if (!canonical.isEmpty()) {
            return QStringLiteral("sqlite:") + canonical;
        }
        const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
        return QStringLiteral("sqlite:") + (folder.isEmpty()
                                                ? file.absoluteFilePath()
                                                : QDir(folder).filePath(file.fileName()));
    }
    const QString host =
        isLoopback(url.host()) ? QStringLiteral("localhost") : url.host().toLower();
    return QStringLiteral("postgresql://%1:%2/%3").arg(host).arg(url.port()).arg(url.database());
}

QString spoolFileFor(const QString& folder, const DatabaseUrl& url) {
    return QDir(folder).filePath(identityKey(url) + QStringLiteral(".spool"));
}

QString keyFolder() {
    return QDir(dataFolder()).filePath(QStringLiteral("keys"));
}

QString headsFileFor(const QString& folder, const DatabaseUrl& url) {
    return QDir(folder).filePath(identityKey(url) + QStringLiteral(".heads"));
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

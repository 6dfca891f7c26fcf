#include "SettingsHome.h"

// Qt
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace SettingsHome {

void use() {
    QCoreApplication::setOrganizationName(QString::fromUtf16(kOrganization));
    moveEarlierSettings(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

bool moveEarlierSettings(const QString& configHome) {
    if (configHome.isEmpty()) {
        return false;
    }
    const QDir home(configHome);
    const QString earlierFolder = home.filePath(QStringLiteral("Unknown Organization"));
    const QString earlier = QDir(earlierFolder).filePath(QStringLiteral("Gavrel.conf"));
    const QString folder = home.filePath(QString::fromUtf16(kOrganization));
    const QString current = QDir(folder).filePath(QStringLiteral("Gavrel.conf"));
    if (!QFile::exists(earlier) || QFile::exists(current) || !QDir().mkpath(folder)) {
        return false;
    }
    // A rename keeps the file's owner-only permissions; the copy is for another file system.
    if (!QFile::rename(earlier, current)) {
        if (!QFile::copy(earlier, current)) {
            return false;
        }
        QFile::remove(earlier);
    }
    QDir().rmdir(earlierFolder); // only when nothing else lives there
    return true;
}

} // namespace SettingsHome

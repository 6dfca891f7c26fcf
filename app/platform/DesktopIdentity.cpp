#include "DesktopIdentity.h"

// Qt
#include <QDir>
#include <QGuiApplication>
#include <QIcon>

namespace DesktopIdentity {

QString iconBeside(const QString& programFolder) {
    return QDir::cleanPath(programFolder +
                           QStringLiteral("/../share/icons/hicolor/scalable/apps/gavrel.svg"));
}

void apply(const QString& programFolder) {
    QGuiApplication::setDesktopFileName(QStringLiteral("gavrel"));
    // The icon theme's, else the file beside the program (a build folder has no theme entry).
    QGuiApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("gavrel"), QIcon(iconBeside(programFolder))));
}

} // namespace DesktopIdentity

#include "ProgramFolder.h"

// Qt
#include <QCoreApplication>
#include <QDir>

QString ProgramFolder::path() {
    return QDir::toNativeSeparators(QDir::cleanPath(QCoreApplication::applicationDirPath()));
}

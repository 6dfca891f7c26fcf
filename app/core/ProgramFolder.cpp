#include "ProgramFolder.h"

// Qt
#include <QCoreApplication>
#include <QDir>

QString ProgramFolder::override_;

QString ProgramFolder::path() {
    const QString folder = override_.isEmpty() ? QCoreApplication::applicationDirPath() : override_;
    return QDir::toNativeSeparators(QDir::cleanPath(folder));
}

ProgramFolder::Override::Override(const QString& folder) : previous_(override_) {
    override_ = folder;
}

ProgramFolder::Override::~Override() {
    override_ = previous_;
}

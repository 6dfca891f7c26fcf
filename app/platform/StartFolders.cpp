#include "StartFolders.h"

// Qt
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace StartFolders {

QString imageFolder(const QString& programFolder, bool programFolderWritable,
                    const QString& picturesFolder, const QString& sampleImagesFolder) {
    if (programFolderWritable || picturesFolder.isEmpty()) {
        return programFolder;
    }
    const QString folder = QDir(picturesFolder).filePath(QStringLiteral("Gavrel"));
    if (QFileInfo(folder).isDir()) {
        return QDir::toNativeSeparators(folder);
    }
    if (!QDir().mkpath(folder)) {
        return programFolder;
    }
    // Only a folder made here gets the samples: ones the user deleted stay deleted.
    const QDir samples(sampleImagesFolder);
    for (const QString& name : samples.entryList({QStringLiteral("*.bmp")}, QDir::Files)) {
        QFile::copy(samples.filePath(name), QDir(folder).filePath(name));
    }
    return QDir::toNativeSeparators(folder);
}

QString videoFolder(const QString& defaultFolder, const QString& sampleVideoFolder) {
    if (QFileInfo(defaultFolder).isDir()) {
        return defaultFolder;
    }
    if (!sampleVideoFolder.isEmpty() && QFileInfo(sampleVideoFolder).isDir()) {
        return QDir::toNativeSeparators(sampleVideoFolder);
    }
    return QString();
}

QString installedDataFolder(const QString& programFolder) {
    return QDir::cleanPath(QDir(programFolder).filePath(QStringLiteral(GAVREL_DATA_FROM_PROGRAM)));
}

QString imageFolderFor(const QString& program) {
    return imageFolder(program, QFileInfo(program).isWritable(),
                       QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
                       installedDataFolder(program) + QStringLiteral("/images"));
}

} // namespace StartFolders

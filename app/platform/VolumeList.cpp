#include "VolumeList.h"

// Qt
#include <QDir>

Qt::CaseSensitivity VolumeList::fileNameCase() {
#ifdef Q_OS_WIN
    return Qt::CaseInsensitive;
#else
    return Qt::CaseSensitive;
#endif
}

bool VolumeList::holds(const QString& rootPath, const QString& path) {
    if (rootPath.isEmpty() || path.isEmpty()) {
        return false;
    }
    const QString root = QDir::cleanPath(QDir::fromNativeSeparators(rootPath));
    const QString candidate = QDir::cleanPath(QDir::fromNativeSeparators(path));
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return candidate.compare(root, fileNameCase()) == 0 ||
           candidate.startsWith(prefix, fileNameCase()) ||
           (candidate + QLatin1Char('/')).compare(prefix, fileNameCase()) == 0;
}

std::optional<VolumeList::Volume> VolumeList::volumeHolding(const QString& path) const {
    std::optional<Volume> best;
    qsizetype bestLength = -1;
    for (const Volume& volume : volumes()) {
        const qsizetype length =
            QDir::cleanPath(QDir::fromNativeSeparators(volume.rootPath)).size();
        if (length > bestLength && holds(volume.rootPath, path)) {
            best = volume;
            bestLength = length;
        }
    }
    return best;
}

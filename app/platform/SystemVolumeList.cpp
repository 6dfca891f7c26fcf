#include "SystemVolumeList.h"

// Standard library
#include <algorithm>

// Qt
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>
#include <QStringList>

namespace {

bool isReadableFolder(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && info.isReadable() && info.isExecutable();
}

#ifdef Q_OS_WIN

std::vector<VolumeList::Volume> driveLetters() {
    std::vector<VolumeList::Volume> drives;
    for (const QFileInfo& drive : QDir::drives()) {
        const QString root = QDir::toNativeSeparators(drive.absoluteFilePath()); // "C:\"
        const QStorageInfo storage(root);
        const QString letterName = root.left(2).toLower();
        const QString label = storage.isReady() ? storage.name() : QString();
        const QString displayName =
            label.isEmpty() ? letterName : QStringLiteral("%1 [%2]").arg(letterName, label);
        drives.push_back({root, displayName, storage.isReady() && isReadableFolder(root)});
    }
    return drives;
}

#else

bool isPseudoFileSystem(const QByteArray& type) {
    static const QSet<QByteArray> pseudo = {
        "autofs",     "binfmt_misc", "bpf",      "cgroup",   "cgroup2",    "configfs",
        "debugfs",    "devpts",      "devtmpfs", "efivarfs", "fusectl",    "hugetlbfs",
        "mqueue",     "nsfs",        "proc",     "pstore",   "rpc_pipefs", "securityfs",
        "selinuxfs",  "sysfs",       "tracefs",  "squashfs", "ramfs",      "fuse.gvfsd-fuse",
        "fuse.portal"};
    return pseudo.contains(type);
}

// Places where the system keeps its own mounts; removable media mounted by the desktop
// under /run/media are still the operator's.
bool isSystemPlace(const QString& root) {
    static const QStringList systemPlaces = {QStringLiteral("/proc"), QStringLiteral("/sys"),
                                             QStringLiteral("/dev"), QStringLiteral("/run"),
                                             QStringLiteral("/snap")};
    if (VolumeList::holds(QStringLiteral("/run/media"), root)) {
        return false;
    }
    for (const QString& place : systemPlaces) {
        if (VolumeList::holds(place, root)) {
            return true;
        }
    }
    return false;
}

QString labelOf(const QStorageInfo& storage) {
    if (!storage.name().isEmpty()) {
        return storage.name();
    }
    const QString device = QString::fromLocal8Bit(storage.device());
    const QString deviceName = device.section(QLatin1Char('/'), -1);
    return deviceName.isEmpty() ? QString::fromLatin1(storage.fileSystemType()) : deviceName;
}

std::vector<VolumeList::Volume> mountedVolumes() {
    const QString rootPath = QStringLiteral("/");
    std::vector<VolumeList::Volume> volumes{
        {rootPath, QStringLiteral("/ (root)"), isReadableFolder(rootPath)}};
    QSet<QString> seen{rootPath};

    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        const QString root = QDir::cleanPath(storage.rootPath());
        // Bind-mounted single files (containers mount /etc/hosts this way) are no drives.
        if (!storage.isValid() || seen.contains(root) || !QFileInfo(root).isDir() ||
            isPseudoFileSystem(storage.fileSystemType()) || isSystemPlace(root)) {
            continue;
        }
        seen.insert(root);
        volumes.push_back({root, QStringLiteral("%1 (%2)").arg(root, labelOf(storage)),
                           storage.isReady() && isReadableFolder(root)});
    }
    std::sort(volumes.begin() + 1, volumes.end(),
              [](const VolumeList::Volume& a, const VolumeList::Volume& b) {
                  return a.rootPath < b.rootPath;
              });
    return volumes;
}

#endif

} // namespace

std::vector<VolumeList::Volume> SystemVolumeList::volumes() const {
#ifdef Q_OS_WIN
    return driveLetters();
#else
    return mountedVolumes();
#endif
}

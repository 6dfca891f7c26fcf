#include "SaveTarget.h"

// Qt
#include <QDir>
#include <QFileInfo>
#include <QStringList>

// Ours
#include "KeshFileAccess.h"

#ifdef Q_OS_UNIX
// Standard library
#include <cerrno>
#include <climits>
#include <vector>

// System
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace SaveTarget {

#ifdef Q_OS_UNIX
namespace {

constexpr int kMaxLinks = 40; // as the kernel's own limit for nested links

QStringList componentsOf(const QString& path) {
    return path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

QString joined(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString parentOf(const QString& folder) {
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : folder.left(slash);
}

// The kernel's protected-symlinks rule for a link in `folder`.
bool mayFollow(const struct stat& link, const QString& folder) {
    struct stat dir {};
    if (::stat(QFile::encodeName(folder).constData(), &dir) != 0) {
        return false;
    }
    const bool shared = (dir.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
    return !shared || link.st_uid == ::geteuid() || link.st_uid == dir.st_uid;
}

QString readLink(const QString& path) {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length =
        ::readlink(QFile::encodeName(path).constData(), buffer.data(), buffer.size() - 1);
    return length < 0
               ? QString()
               : QFile::decodeName(QByteArray(buffer.data(), static_cast<qsizetype>(length)));
}

} // namespace

Resolution resolve(const QString& path) {
    if (path.isEmpty()) {
        return {KeshFileAccess::WriteFailed, path};
    }
    // `resolved` is always a path without links, so ".." may be taken lexically from it.
    QString resolved = QStringLiteral("/");
    // Not cleaned first: ".." after a link leaves the link's target, not the link.
    QStringList pending = componentsOf(
        path.startsWith(QLatin1Char('/')) ? path : QDir::currentPath() + QLatin1Char('/') + path);
    int links = 0;
    while (!pending.isEmpty()) {
        const QString name = pending.takeFirst();
        if (name == QLatin1String(".")) {
            continue;
        }
        if (name == QLatin1String("..")) {
            resolved = parentOf(resolved);
            continue;
        }
        const QString candidate = joined(resolved, name);
        struct stat entry {};
        if (::lstat(QFile::encodeName(candidate).constData(), &entry) != 0 ||
            !S_ISLNK(entry.st_mode)) {
            // Missing or unsearchable: the write itself fails and says why.
            resolved = candidate;
            continue;
        }
        if (!mayFollow(entry, resolved)) {
            return {KeshFileAccess::PermissionDenied, candidate};
        }
        if (++links > kMaxLinks) {
            return {KeshFileAccess::WriteFailed, candidate};
        }
        const QString target = readLink(candidate);
        if (target.isEmpty()) {
            return {KeshFileAccess::WriteFailed, candidate};
        }
        pending = componentsOf(target) + pending;
        if (target.startsWith(QLatin1Char('/'))) {
            resolved = QStringLiteral("/");
        }
    }
    struct stat written {};
    if (::stat(QFile::encodeName(resolved).constData(), &written) == 0 &&
        !S_ISREG(written.st_mode)) {
        return {KeshFileAccess::WriteFailed, resolved};
    }
    return {KeshFileAccess::Ok, resolved};
}

#else

Resolution resolve(const QString& path) {
    if (path.isEmpty()) {
        return {KeshFileAccess::WriteFailed, path};
    }
    const QFileInfo info(QFileInfo(path).absoluteFilePath());
    const QString target = info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() && !targetInfo.isFile()) {
        return {KeshFileAccess::WriteFailed, target};
    }
    return {KeshFileAccess::Ok, target};
}

#endif

} // namespace SaveTarget

#include "PrivateFiles.h"

// Standard library
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Qt
#include <QDir>
#include <QFileInfo>

namespace PrivateFiles {

namespace {

bool fail(QString* error, const QString& what, int code) {
    if (error) {
        *error = QStringLiteral("%1: %2").arg(what, systemError(code));
    }
    return false;
}

} // namespace

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool makeFolder(const QString& path, QString* error) {
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (QFileInfo(clean).isDir()) {
        return true;
    }
    const QString parent = QFileInfo(clean).path();
    if (parent != clean && !makeFolder(parent, error)) {
        return false;
    }
    if (::mkdir(QFile::encodeName(clean).constData(), 0700) != 0 && errno != EEXIST) {
        return fail(error, clean, errno);
    }
    if (!QFileInfo(clean).isDir()) {
        return fail(error, clean, ENOTDIR);
    }
    return true;
}

bool syncFolder(const QString& path, QString* error) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return fail(error, path, errno);
    }
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    const int code = errno;
    ::close(fd);
    return synced || fail(error, path, code);
}

bool writeWhole(const QString& path, const QByteArray& data, QString* error, bool flush) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!makeFolder(folder, error)) {
        return false;
    }
    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return fail(error, path, errno);
    }
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, std::size_t(data.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int code = n < 0 ? errno : ENOSPC;
            ::close(fd);
            ::unlink(temporary.constData());
            return fail(error, path, code);
        }
        done += n;
    }
    if (flush && ::fdatasync(fd) != 0) {
        const int code = errno;
        ::close(fd);
        ::unlink(temporary.constData());
        return fail(error, path, code);
    }
    ::close(fd);
    if (::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return fail(error, path, code);
    }
    return !flush || syncFolder(folder, error);
}

} // namespace PrivateFiles

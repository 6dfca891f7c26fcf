#include "RecordSpool.h"

// Standard library
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// Qt
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

// Ours
#include "PrivateFiles.h"
#include "RecordCodec.h"

namespace {

bool failed(QString* error, const QString& path, int code) {
    if (error) {
        *error = QStringLiteral("Spool %1: %2").arg(path, PrivateFiles::systemError(code));
    }
    return false;
}

bool writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(size));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

QByteArray readFrom(int fd, qint64 offset) {
    QByteArray all;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        all.append(buffer, n);
        offset += n;
    }
    return all;
}

} // namespace

RecordSpool::RecordSpool(QString path) : path_(std::move(path)) {}

RecordSpool::~RecordSpool() {
    unlock();
}

bool RecordSpool::lock(int timeoutMs) {
    if (fd_ >= 0) {
        return true;
    }
    const QString folder = QFileInfo(path_).absolutePath();
    if (!PrivateFiles::makeFolder(folder, &lastError_)) {
        return false;
    }
    const QByteArray name = QFile::encodeName(path_);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        bool created = false;
        int fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            created = fd >= 0;
            if (fd < 0 && errno == EEXIST) {
                continue;
            }
        }
        if (fd < 0) {
            return failed(&lastError_, path_, errno);
        }
        if (created) {
            PrivateFiles::syncFolder(folder, nullptr);
        }
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                const int code = errno;
                ::close(fd);
                return failed(&lastError_, path_, code);
            }
            if (clock.elapsed() >= timeoutMs) {
                ::close(fd);
                lastError_ = QStringLiteral("Spool %1: held by another running program for %2 s")
                                 .arg(path_)
                                 .arg(timeoutMs / 1000.0);
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // The holder before us may have replaced the file: lock the one that is there now.
        struct stat opened {};
        struct stat current {};
        if (::fstat(fd, &opened) == 0 && ::stat(name.constData(), &current) == 0 &&
            opened.st_ino == current.st_ino && opened.st_dev == current.st_dev) {
            fd_ = fd;
            return true;
        }
        ::close(fd);
    }
}

void RecordSpool::unlock() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

bool RecordSpool::repair(QString* error) {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        return failed(error, path_, errno);
    }
    if (info.st_size == 0) {
        return true;
    }
    char last = 0;
    if (::pread(fd_, &last, 1, info.st_size - 1) == 1 && last == '\n') {
        return true;
    }
    // A crash tore the last line: keep whole lines only.
    const QByteArray all = readFrom(fd_, 0);
    const qsizetype end = all.lastIndexOf('\n') + 1;
    if (::ftruncate(fd_, end) != 0 || ::fdatasync(fd_) != 0) {
        return failed(error, path_, errno);
    }
    return true;
}

bool RecordSpool::append(const std::vector<InspectionRecord>& records, QString* error) {
    if (fd_ < 0) {
        if (error) {
            *error = QStringLiteral("Spool %1: not locked").arg(path_);
        }
        return false;
    }
    if (!repair(error)) {
        return false;
    }
    QByteArray lines;
    for (const InspectionRecord& record : records) {
        lines += RecordCodec::toSpoolLine(record);
    }
    struct stat info {};
    ::fstat(fd_, &info);
    if (!writeAll(fd_, lines.constData(), lines.size()) || ::fdatasync(fd_) != 0) {
        const int code = errno;
        // Leave no half line behind for the next append to glue onto.
        if (::ftruncate(fd_, info.st_size) == 0) {
            ::fdatasync(fd_);
        }
        return failed(error, path_, code);
    }
    return true;
}

std::vector<InspectionRecord> RecordSpool::readAll(QString* error, QByteArray* lines) {
    std::vector<InspectionRecord> records;
    QByteArray all;
    if (fd_ >= 0) {
        all = readFrom(fd_, 0);
    } else {
        QFile file(path_);
        if (!file.exists()) {
            return records;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            if (error) {
                *error = QStringLiteral("Spool %1: %2").arg(path_, file.errorString());
            }
            return records;
        }
        all = file.readAll();
    }
    qsizetype start = 0;
    while (start < all.size()) {
        const qsizetype end = all.indexOf('\n', start);
        if (end < 0) {
            break; // torn last line
        }
        if (auto record =
                RecordCodec::fromSpoolLine(QByteArrayView(all).sliced(start, end + 1 - start))) {
            records.push_back(std::move(*record));
        }
        start = end + 1;
    }
    if (lines) {
        *lines = all.left(start);
    }
    return records;
}

bool RecordSpool::removeFirst(const QByteArray& lines, QString* error) {
    if (fd_ < 0) {
        if (error) {
            *error = QStringLiteral("Spool %1: not locked").arg(path_);
        }
        return false;
    }
    const QByteArray all = readFrom(fd_, 0);
    if (!all.startsWith(lines)) {
        // Replayed and removed by another program meanwhile; what is there now is newer.
        return true;
    }
    const QByteArray rest = all.mid(lines.size());
    if (rest.isEmpty()) {
        return clear(error);
    }
    // The rest goes into a whole new file that replaces this one; the next holder sees the
    // change of file and locks the new one.
    if (!PrivateFiles::writeWhole(path_, rest, error)) {
        return false;
    }
    unlock();
    return true;
}

bool RecordSpool::clear(QString* error) {
    if (fd_ < 0) {
        if (error) {
            *error = QStringLiteral("Spool %1: not locked").arg(path_);
        }
        return false;
    }
    if (::ftruncate(fd_, 0) != 0 || ::fdatasync(fd_) != 0) {
        return failed(error, path_, errno);
    }
    return true;
}

int RecordSpool::count() {
    if (fd_ >= 0) {
        return static_cast<int>(readAll().size());
    }
    if (!QFileInfo::exists(path_)) {
        return 0;
    }
    if (!lock()) {
        return static_cast<int>(readAll().size());
    }
    const int n = static_cast<int>(readAll().size());
    unlock();
    return n;
}

#include "RecordSpool.h"

// Standard library
#include <unistd.h>

// Qt
#include <QDir>
#include <QFile>
#include <QFileInfo>

// Ours
#include "RecordCodec.h"

namespace {

bool sync(QFile& file) {
    return file.flush() && ::fsync(file.handle()) == 0;
}

void setError(QString* error, const QFile& file) {
    if (error) {
        *error = QStringLiteral("Spool %1: %2").arg(file.fileName(), file.errorString());
    }
}

} // namespace

RecordSpool::RecordSpool(QString path)
    : path_(std::move(path)), lockFile_(path_ + QStringLiteral(".lock")) {
    // Never taken from a live holder, however long it writes; a dead one is seen by its pid.
    lockFile_.setStaleLockTime(0);
}

bool RecordSpool::lock(int timeoutMs) {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    return lockFile_.tryLock(timeoutMs);
}

void RecordSpool::unlock() {
    lockFile_.unlock();
}

bool RecordSpool::repair(QString* error) {
    QFile file(path_);
    if (!file.exists()) {
        return true;
    }
    if (!file.open(QIODevice::ReadWrite)) {
        setError(error, file);
        return false;
    }
    const qint64 size = file.size();
    if (size == 0) {
        return true;
    }
    file.seek(size - 1);
    char last = 0;
    if (file.getChar(&last) && last == '\n') {
        return true;
    }
    // A crash tore the last line: keep whole lines only.
    const QByteArray all = (file.seek(0), file.readAll());
    const qsizetype end = all.lastIndexOf('\n') + 1;
    if (!file.resize(end) || !sync(file)) {
        setError(error, file);
        return false;
    }
    return true;
}

bool RecordSpool::append(const std::vector<InspectionRecord>& records, QString* error) {
    if (!repair(error)) {
        return false;
    }
    QByteArray lines;
    for (const InspectionRecord& record : records) {
        lines += RecordCodec::toSpoolLine(record);
    }
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QFile file(path_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(lines) != lines.size() ||
        !sync(file)) {
        setError(error, file);
        // Leave no half line behind for the next append to glue onto.
        file.close();
        repair(nullptr);
        return false;
    }
    return true;
}

std::vector<InspectionRecord> RecordSpool::readAll(QString* error) {
    std::vector<InspectionRecord> records;
    QFile file(path_);
    if (!file.exists()) {
        return records;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, file);
        return records;
    }
    const QByteArray all = file.readAll();
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
    return records;
}

bool RecordSpool::clear(QString* error) {
    QFile file(path_);
    if (!file.exists()) {
        return true;
    }
    if (!file.open(QIODevice::ReadWrite) || !file.resize(0) || !sync(file)) {
        setError(error, file);
        return false;
    }
    return true;
}

int RecordSpool::count() {
    return static_cast<int>(readAll().size());
}

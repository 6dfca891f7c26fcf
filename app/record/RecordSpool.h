#pragma once

// Standard library
#include <vector>

// Qt
#include <QString>

// Ours
#include "InspectionRecord.h"

// Records waiting for their database: an append-only file of mode 0600, one record per line,
// each append flushed to the disk before it returns. A line torn by a crash is cut off when
// the spool is next appended to. Programs share a spool through an flock on the open file,
// which the kernel lets go when its holder ends, however it ends.
class RecordSpool {
public:
    explicit RecordSpool(QString path);
    ~RecordSpool();
    RecordSpool(const RecordSpool&) = delete;
    RecordSpool& operator=(const RecordSpool&) = delete;

    QString path() const { return path_; }

    // Holds the spool for one sequence of reads, appends and clears across programs. Waits
    // at most `timeoutMs`; false with lastError() set when another program holds it that
    // long or the file cannot be opened.
    bool lock(int timeoutMs = 5000);
    void unlock();
    QString lastError() const { return lastError_; }

    // These need the lock.
    bool append(const std::vector<InspectionRecord>& records, QString* error);
    // The whole records waiting, and the lines they were read from.
    std::vector<InspectionRecord> readAll(QString* error = nullptr, QByteArray* lines = nullptr);
    // Removes `lines` (read earlier, and since written) from the start of the spool, keeping
    // what was appended after them; nothing when another program removed them first. Lets
    // go of the lock when it had to replace the file.
    bool removeFirst(const QByteArray& lines, QString* error);
    bool clear(QString* error);

    // Whole records waiting; takes the lock itself when it is not held.
    int count();

private:
    bool repair(QString* error);

    QString path_;
    int fd_ = -1;
    QString lastError_;
};

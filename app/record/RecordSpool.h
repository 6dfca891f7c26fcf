#pragma once

// Standard library
#include <vector>

// Qt
#include <QLockFile>
#include <QString>

// Ours
#include "InspectionRecord.h"

// Records waiting for their database: an append-only file, one record per line, each
// append flushed to the disk before it returns. A line torn by a crash is cut off when the
// spool is next opened. Programs of the same user share a spool through its lock file.
class RecordSpool {
public:
    explicit RecordSpool(QString path);

    QString path() const { return path_; }

    // Holds the spool for one sequence of reads, appends and a clear across programs.
    // Waits at most `timeoutMs`; false when another program holds it that long.
    bool lock(int timeoutMs = 5000);
    void unlock();

    bool append(const std::vector<InspectionRecord>& records, QString* error);
    std::vector<InspectionRecord> readAll(QString* error = nullptr);
    bool clear(QString* error);
    // Whole records waiting.
    int count();

private:
    bool repair(QString* error);

    QString path_;
    QLockFile lockFile_;
};

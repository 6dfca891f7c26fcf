#pragma once

// Standard library
#include <optional>
#include <vector>

// Qt
#include <QSqlDatabase>
#include <QString>

// Ours
#include "DatabaseUrl.h"
#include "InspectionRecord.h"

class QSqlQuery;

// One connection to a record database, used only on the thread that made it. Writing
// links every new record into its station's chain inside the same transaction.
class RecordDatabase {
public:
    // `purpose` goes into the Qt connection name, which must be unique per thread.
    RecordDatabase(DatabaseUrl url, const QString& purpose);
    ~RecordDatabase();
    RecordDatabase(const RecordDatabase&) = delete;
    RecordDatabase& operator=(const RecordDatabase&) = delete;

    // Opens the connection and brings the schema up to date; false with lastError() set.
    bool open();
    void close();
    bool isOpen() const;

    // Writes the records in order, each once: a record whose uuid is already stored is
    // skipped. Returns how many were new, or nothing (and writes nothing) on failure.
    std::optional<int> write(std::vector<InspectionRecord>& records);

    QSqlDatabase& connection() { return database_; }
    const DatabaseUrl& url() const { return url_; }
    QString lastError() const { return lastError_; }

    // Reads a row selected with RecordSchema::columnList().
    static InspectionRecord fromRow(const QSqlQuery& query);

private:
    bool fail(const QString& text);

    DatabaseUrl url_;
    QString connectionName_;
    QSqlDatabase database_;
    QString lastError_;
};

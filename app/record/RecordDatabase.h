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
#include "StationKey.h"

class QSqlQuery;

// One connection to a record database, used only on the thread that made it. Writing
// seals every new record into its station's chain inside the same transaction. Every wait
// on the database is bounded: a locked SQLite file, or a PostgreSQL server that stops
// answering, fails the call within seconds instead of holding the caller.
class RecordDatabase {
public:
    enum class Access {
        ReadWrite, // creates the database and its schema when needed
        ReadOnly,  // never writes, switches no journal and creates nothing: for audits
    };

    // `purpose` goes into the Qt connection name, which must be unique per thread.
    RecordDatabase(DatabaseUrl url, const QString& purpose, Access access = Access::ReadWrite);
    ~RecordDatabase();
    RecordDatabase(const RecordDatabase&) = delete;
    RecordDatabase& operator=(const RecordDatabase&) = delete;

    // Where the station key and the last known chain heads are (the user's by default).
    void setKeyFolder(const QString& folder) {
        keyFolder_ = folder;
        key_.reset();
    }
    QString keyFolder() const;

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
    // The last failure cannot pass by waiting: a wrong password, a missing database, a path
    // that is no database file. Records are then not spooled for it.
    bool lastErrorLasts() const { return lastErrorLasts_; }

    // Reads a row selected with RecordSchema::columnList().
    static InspectionRecord fromRow(const QSqlQuery& query);

    // Longest a PostgreSQL statement or a wait for an SQLite lock may take.
    static constexpr int kWaitLimitMs = 5000;

private:
    bool fail(const QString& text, bool lasting = false);
    bool checkSqlitePath();
    void rememberHeads(const std::vector<InspectionRecord>& records);

    DatabaseUrl url_;
    Access access_;
    QString connectionName_;
    QString keyFolder_;
    std::optional<StationKey> key_;
    QSqlDatabase database_;
    QString lastError_;
    bool lastErrorLasts_ = false;
};

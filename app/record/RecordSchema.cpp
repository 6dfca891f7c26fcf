#include "RecordSchema.h"

// Qt
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace RecordSchema {

namespace {

bool isSqlite(const QSqlDatabase& database) {
    return database.driver()->dbmsType() == QSqlDriver::SQLite;
}

QStringList stepsTo(int version, bool sqlite) {
    const QString key = sqlite ? QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")
                               : QStringLiteral("BIGSERIAL PRIMARY KEY");
    switch (version) {
    case 1:
        return {
            QStringLiteral("CREATE TABLE measurements ("
                           "id %1,"
                           "record_uuid TEXT NOT NULL UNIQUE,"
                           "measured_at TEXT NOT NULL,"
                           "utc_offset_s INTEGER NOT NULL,"
                           "station TEXT NOT NULL,"
                           "operator TEXT NOT NULL,"
                           "source TEXT NOT NULL,"
                           "image_sha256 TEXT NOT NULL,"
                           "image_file TEXT NOT NULL,"
                           "cx DOUBLE PRECISION, cy DOUBLE PRECISION, r DOUBLE PRECISION,"
                           "pixel_count BIGINT,"
                           "mean DOUBLE PRECISION, stddev DOUBLE PRECISION,"
                           "min DOUBLE PRECISION, max DOUBLE PRECISION,"
                           "standard DOUBLE PRECISION, tolerance DOUBLE PRECISION,"
                           "verdict TEXT NOT NULL,"
                           "elapsed_us BIGINT,"
                           "previous_sha256 TEXT NOT NULL,"
                           "record_sha256 TEXT NOT NULL)")
                .arg(key),
            QStringLiteral("CREATE INDEX measurements_station_id ON measurements (station, id)"),
        };
    case 2:
        return {
            QStringLiteral("ALTER TABLE measurements ADD COLUMN frame BIGINT"),
            QStringLiteral("CREATE INDEX measurements_measured_at ON measurements (measured_at)"),
            QStringLiteral("CREATE INDEX measurements_verdict_time ON measurements (verdict, "
                           "measured_at)"),
            QStringLiteral("CREATE INDEX measurements_station_time ON measurements (station, "
                           "measured_at)"),
        };
    default:
        return {};
    }
}

bool run(QSqlQuery& query, const QString& sql, QString* error) {
    if (query.exec(sql)) {
        return true;
    }
    if (error) {
        *error = query.lastError().text();
    }
    return false;
}

int readVersion(QSqlDatabase& database) {
    if (!database.tables().contains(QStringLiteral("schema_version"))) {
        return 0;
    }
    QSqlQuery query(database);
    if (query.exec(QStringLiteral("SELECT version FROM schema_version")) && query.next()) {
        return query.value(0).toInt();
    }
    return 0;
}

} // namespace

int version(QSqlDatabase& database) {
    return readVersion(database);
}

bool ensure(QSqlDatabase& database, QString* error, int targetVersion) {
    const bool sqlite = isSqlite(database);
    QSqlQuery query(database);
    // Quick path without a write lock: most opens find the schema current.
    if (readVersion(database) == targetVersion) {
        return true;
    }
    if (!run(query, sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"), error)) {
        return false;
    }
    auto rollback = [&] {
        QSqlQuery(database).exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    if (!sqlite) {
        // Serialises schema work among programs opening the same new database.
        if (!run(query, QStringLiteral("SELECT pg_advisory_xact_lock(7235101)"), error)) {
            return rollback();
        }
    }
    if (!run(query,
             QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER "
                            "NOT NULL)"),
             error)) {
        return rollback();
    }
    int current = 0;
    if (!run(query, QStringLiteral("SELECT version FROM schema_version"), error)) {
        return rollback();
    }
    const bool hasRow = query.next();
    if (hasRow) {
        current = query.value(0).toInt();
    }
    query.finish();
    if (current > kCurrentVersion) {
        if (error) {
            *error = QStringLiteral("The record was made by a newer program (schema version %1)")
                         .arg(current);
        }
        return rollback();
    }
    for (int step = current + 1; step <= targetVersion; ++step) {
        for (const QString& sql : stepsTo(step, sqlite)) {
            if (!run(query, sql, error)) {
                return rollback();
            }
        }
    }
    if (current < targetVersion) {
        const QString sql = hasRow ? QStringLiteral("UPDATE schema_version SET version = %1")
                                   : QStringLiteral("INSERT INTO schema_version VALUES (%1)");
        if (!run(query, sql.arg(targetVersion), error)) {
            return rollback();
        }
    }
    return run(query, QStringLiteral("COMMIT"), error) || rollback();
}

QString columnList() {
    return QStringLiteral("id, record_uuid, measured_at, utc_offset_s, station, operator, "
                          "source, frame, image_sha256, image_file, cx, cy, r, pixel_count, "
                          "mean, stddev, min, max, standard, tolerance, verdict, elapsed_us, "
                          "previous_sha256, record_sha256");
}

} // namespace RecordSchema

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
    case 3:
        // The part and recipe of each circle, and sealed chains from here on: rows written
        // before keep their form-1 hashes, and any form-1 row from `first_id` on is a forgery.
        return {
            QStringLiteral("ALTER TABLE measurements ADD COLUMN recipe TEXT NOT NULL DEFAULT ''"),
            QStringLiteral("ALTER TABLE measurements ADD COLUMN inspection_uuid TEXT NOT NULL "
                           "DEFAULT ''"),
            QStringLiteral("ALTER TABLE measurements ADD COLUMN circle_name TEXT NOT NULL "
                           "DEFAULT ''"),
            QStringLiteral("ALTER TABLE measurements ADD COLUMN part_verdict TEXT NOT NULL "
                           "DEFAULT ''"),
            QStringLiteral("ALTER TABLE measurements ADD COLUMN chain_form INTEGER NOT NULL "
                           "DEFAULT 1"),
            QStringLiteral("ALTER TABLE measurements ADD COLUMN chain_key TEXT NOT NULL "
                           "DEFAULT ''"),
            QStringLiteral("CREATE TABLE chain_forms (form INTEGER PRIMARY KEY, first_id BIGINT "
                           "NOT NULL)"),
            QStringLiteral("INSERT INTO chain_forms SELECT 2, COALESCE(MAX(id), 0) + 1 FROM "
                           "measurements"),
            QStringLiteral("CREATE INDEX measurements_inspection ON measurements "
                           "(inspection_uuid)"),
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
    auto rollback = [&] {
        query.finish();
        QSqlQuery(database).exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    // One numbered step per transaction: a crash or a failure leaves the database at the
    // last whole step, and the next program goes on from there.
    for (;;) {
        if (!run(query, sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"),
                 error)) {
            return false;
        }
        if (!sqlite) {
            // Serialises schema work among programs opening the same database.
            if (!run(query, QStringLiteral("SELECT pg_advisory_xact_lock(7235101)"), error)) {
                return rollback();
            }
        }
        if (!run(query,
                 QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER "
                                "NOT NULL)"),
                 error) ||
            !run(query, QStringLiteral("SELECT version FROM schema_version"), error)) {
            return rollback();
        }
        const bool hasRow = query.next();
        const int current = hasRow ? query.value(0).toInt() : 0;
        query.finish();
        if (current > kCurrentVersion) {
            if (error) {
                *error =
                    QStringLiteral("The record was made by a newer program (schema version %1)")
                        .arg(current);
            }
            return rollback();
        }
        if (current >= targetVersion) {
            return run(query, QStringLiteral("COMMIT"), error) || rollback();
        }
        const int step = current + 1;
        for (const QString& sql : stepsTo(step, sqlite)) {
            if (!run(query, sql, error)) {
                return rollback();
            }
        }
        const QString sql = hasRow ? QStringLiteral("UPDATE schema_version SET version = %1")
                                   : QStringLiteral("INSERT INTO schema_version VALUES (%1)");
        if (!run(query, sql.arg(step), error) || !run(query, QStringLiteral("COMMIT"), error)) {
            return rollback();
        }
    }
}

QString columnList() {
    return QStringLiteral("id, record_uuid, measured_at, utc_offset_s, station, operator, "
                          "source, frame, image_sha256, image_file, cx, cy, r, pixel_count, "
                          "mean, stddev, min, max, standard, tolerance, verdict, elapsed_us, "
                          "previous_sha256, record_sha256, recipe, inspection_uuid, circle_name, "
                          "part_verdict, chain_form, chain_key");
}

} // namespace RecordSchema

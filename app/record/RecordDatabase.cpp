#include "RecordDatabase.h"

// Standard library
#include <atomic>
#include <cmath>
#include <map>

// Qt
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

// Ours
#include "RecordChain.h"
#include "RecordCodec.h"
#include "RecordSchema.h"

namespace {

std::atomic<int> connectionCounter{0};

QVariant nullable(double value) {
    return std::isnan(value) ? QVariant(QMetaType::fromType<double>()) : QVariant(value);
}

// A null QString would bind as SQL NULL.
QString text(const QString& value) {
    return value.isNull() ? QStringLiteral("") : value;
}

double numberOrNan(const QVariant& value) {
    return value.isNull() ? std::nan("") : value.toDouble();
}

} // namespace

RecordDatabase::RecordDatabase(DatabaseUrl url, const QString& purpose)
    : url_(std::move(url)),
      connectionName_(QStringLiteral("gavrel-record-%1-%2").arg(purpose).arg(++connectionCounter)) {
}

RecordDatabase::~RecordDatabase() {
    close();
}

bool RecordDatabase::fail(const QString& text) {
    lastError_ = text;
    return false;
}

bool RecordDatabase::open() {
    if (isOpen()) {
        return true;
    }
    if (!QSqlDatabase::isDriverAvailable(url_.driverName())) {
        // Said in the words of the package that brings the driver, for whoever has to install it.
        const bool sqlite = url_.kind() == DatabaseUrl::Kind::Sqlite;
        return fail(QStringLiteral("The %1 driver is not installed: install %2")
                        .arg(sqlite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL"),
                             sqlite ? QStringLiteral("libqt6sql6-sqlite")
                                    : QStringLiteral("libqt6sql6-psql")));
    }
    if (!database_.isValid()) {
        database_ = QSqlDatabase::addDatabase(url_.driverName(), connectionName_);
    }
    if (url_.kind() == DatabaseUrl::Kind::Sqlite) {
        const QFileInfo file(url_.path());
        if (!QDir().mkpath(file.absolutePath())) {
            return fail(QStringLiteral("Cannot create the folder %1").arg(file.absolutePath()));
        }
        database_.setDatabaseName(url_.path());
        // A locked file is waited for briefly, then the record goes to the spool.
        database_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=500"));
    } else {
        database_.setHostName(url_.host());
        database_.setPort(url_.port());
        database_.setDatabaseName(url_.database());
        database_.setUserName(url_.user());
        database_.setPassword(url_.password());
        database_.setConnectOptions(QStringLiteral("connect_timeout=3"));
    }
    if (!database_.open()) {
        const QString text = database_.lastError().text();
        database_.close();
        return fail(text);
    }
    if (url_.kind() == DatabaseUrl::Kind::Sqlite) {
        QSqlQuery pragma(database_);
        // Readers never block the writer, and a commit costs no full flush of the file.
        if (!pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
            !pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"))) {
            const QString text = pragma.lastError().text();
            pragma.finish();
            database_.close();
            return fail(text);
        }
    }
    QString error;
    if (!RecordSchema::ensure(database_, &error)) {
        database_.close();
        return fail(error);
    }
    return true;
}

void RecordDatabase::close() {
    if (database_.isValid()) {
        database_.close();
        database_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName_);
    }
}

bool RecordDatabase::isOpen() const {
    return database_.isValid() && database_.isOpen();
}

std::optional<int> RecordDatabase::write(std::vector<InspectionRecord>& records) {
    if (!open()) {
        return std::nullopt;
    }
    const bool sqlite = url_.kind() == DatabaseUrl::Kind::Sqlite;
    QSqlQuery query(database_);
    auto failed = [&](const QSqlQuery& failing) -> std::optional<int> {
        lastError_ = failing.lastError().text();
        QSqlQuery(database_).exec(QStringLiteral("ROLLBACK"));
        // Opened again on the next attempt: a lost server connection, or a file that was
        // read-only and may have become writable.
        close();
        return std::nullopt;
    };
    if (!query.exec(sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"))) {
        return failed(query);
    }
    std::map<QString, QString> heads;
    for (const InspectionRecord& record : records) {
        heads.emplace(record.station, QString());
    }
    for (auto& [station, head] : heads) {
        if (!sqlite) {
            // One writer per station at a time, so each chain stays a line.
            query.prepare(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext(?))"));
            query.addBindValue(station);
            if (!query.exec()) {
                return failed(query);
            }
        }
        query.prepare(QStringLiteral("SELECT record_sha256 FROM measurements WHERE station = ? "
                                     "ORDER BY id DESC LIMIT 1"));
        query.addBindValue(station);
        if (!query.exec()) {
            return failed(query);
        }
        head = query.next() ? query.value(0).toString() : RecordChain::genesis();
        query.finish();
    }

    QSqlQuery insert(database_);
    insert.prepare(QStringLiteral(
        "INSERT INTO measurements (record_uuid, measured_at, utc_offset_s, station, operator, "
        "source, frame, image_sha256, image_file, cx, cy, r, pixel_count, mean, stddev, min, "
        "max, standard, tolerance, verdict, elapsed_us, previous_sha256, record_sha256) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
        "ON CONFLICT (record_uuid) DO NOTHING"));
    int inserted = 0;
    for (InspectionRecord& record : records) {
        QString& head = heads[record.station];
        record.previousSha256 = head;
        record.recordSha256 = RecordChain::hashOf(record);
        const QVariantList values{
            text(record.uuid),
            RecordCodec::timestampText(record.measuredAt),
            record.utcOffsetSeconds,
            text(record.station),
            text(record.operatorName),
            text(record.source),
            record.frame ? QVariant(*record.frame) : QVariant(QMetaType::fromType<qint64>()),
            text(record.imageSha256),
            text(record.imageFile),
            nullable(record.cx),
            nullable(record.cy),
            nullable(record.r),
            record.pixelCount,
            nullable(record.mean),
            nullable(record.stddev),
            nullable(record.min),
            nullable(record.max),
            nullable(record.standard),
            nullable(record.tolerance),
            text(record.verdict),
            record.elapsedUs,
            record.previousSha256,
            record.recordSha256,
        };
        for (int i = 0; i < values.size(); ++i) {
            insert.bindValue(i, values[i]);
        }
        if (!insert.exec()) {
            return failed(insert);
        }
        if (insert.numRowsAffected() > 0) {
            head = record.recordSha256;
            ++inserted;
        }
    }
    insert.finish();
    if (!query.exec(QStringLiteral("COMMIT"))) {
        return failed(query);
    }
    return inserted;
}

InspectionRecord RecordDatabase::fromRow(const QSqlQuery& q) {
    InspectionRecord r;
    r.id = q.value(0).toLongLong();
    r.uuid = q.value(1).toString();
    r.measuredAt = RecordCodec::parseTimestamp(q.value(2).toString());
    r.utcOffsetSeconds = q.value(3).toInt();
    r.station = q.value(4).toString();
    r.operatorName = q.value(5).toString();
    r.source = q.value(6).toString();
    if (!q.value(7).isNull()) {
        r.frame = q.value(7).toLongLong();
    }
    r.imageSha256 = q.value(8).toString();
    r.imageFile = q.value(9).toString();
    r.cx = numberOrNan(q.value(10));
    r.cy = numberOrNan(q.value(11));
    r.r = numberOrNan(q.value(12));
    r.pixelCount = q.value(13).toLongLong();
    r.mean = numberOrNan(q.value(14));
    r.stddev = numberOrNan(q.value(15));
    r.min = numberOrNan(q.value(16));
    r.max = numberOrNan(q.value(17));
    r.standard = numberOrNan(q.value(18));
    r.tolerance = numberOrNan(q.value(19));
    r.verdict = q.value(20).toString();
    r.elapsedUs = q.value(21).toLongLong();
    r.previousSha256 = q.value(22).toString();
    r.recordSha256 = q.value(23).toString();
    return r;
}

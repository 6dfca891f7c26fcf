#include "RecordDatabase.h"

// Standard library
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// Qt
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

// PostgreSQL
#include <libpq-fe.h>

// Ours
#include "PrivateFiles.h"
#include "RecordChain.h"
#include "RecordCodec.h"
#include "RecordLocations.h"
#include "RecordSchema.h"
#include "StationKey.h"

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

// A server that stops answering (stopped, or cut off) never ends a statement by itself, and
// the kernel still acknowledges its packets on the loopback: past the limit the connection's
// socket is shut, which ends the wait in libpq with an error.
class ConnectionDeadline {
public:
    ConnectionDeadline(int socket, std::chrono::milliseconds limit) {
        if (socket < 0) {
            return;
        }
        watcher_ = std::thread([this, socket, limit] {
            std::unique_lock lock(mutex_);
            if (!done_changed_.wait_for(lock, limit, [this] { return done_; })) {
                expired_ = true;
                ::shutdown(socket, SHUT_RDWR);
            }
        });
    }
    ~ConnectionDeadline() {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        done_changed_.notify_all();
        if (watcher_.joinable()) {
            watcher_.join();
        }
    }
    ConnectionDeadline(const ConnectionDeadline&) = delete;
    ConnectionDeadline& operator=(const ConnectionDeadline&) = delete;

    bool expired() {
        const std::lock_guard lock(mutex_);
        return expired_;
    }

private:
    std::mutex mutex_;
    std::condition_variable done_changed_;
    bool done_ = false;
    bool expired_ = false;
    std::thread watcher_;
};

int socketOf(QSqlDatabase& database) {
    if (database.driver()->dbmsType() != QSqlDriver::PostgreSQL) {
        return -1;
    }
    const QVariant handle = database.driver()->handle();
    // The PostgreSQL driver's handle is its PGconn pointer.
    if (!handle.isValid() || handle.metaType().sizeOf() != sizeof(PGconn*)) {
        return -1;
    }
    PGconn* connection = *static_cast<PGconn* const*>(handle.data());
    return connection ? PQsocket(connection) : -1;
}

// What libpq says of a connection that will never succeed however often it is tried.
bool isLastingServerError(const QString& text) {
    static const char* const kLasting[] = {
        "password authentication failed",
        "no password supplied",
        "does not exist",
        "authentication failed",
        "invalid port",
        "invalid integer value",
        "invalid sslmode",
        "invalid connection option",
        "not permitted to log in",
        "permission denied",
        "no pg_hba.conf entry",
        "SSL is not enabled on the server",
        "server does not support SSL",
        "could not translate host name",
    };
    for (const char* phrase : kLasting) {
        if (text.contains(QLatin1String(phrase), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

QString quotedOption(const QString& value) {
    QString quoted = value;
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + quoted + u'\'';
}

} // namespace

RecordDatabase::RecordDatabase(DatabaseUrl url, const QString& purpose, Access access)
    : url_(std::move(url)), access_(access),
      connectionName_(QStringLiteral("gavrel-record-%1-%2").arg(purpose).arg(++connectionCounter)) {
}

RecordDatabase::~RecordDatabase() {
    close();
}

QString RecordDatabase::keyFolder() const {
    return keyFolder_.isEmpty() ? RecordLocations::keyFolder() : keyFolder_;
}

bool RecordDatabase::fail(const QString& text, bool lasting) {
    lastError_ = text;
    lastErrorLasts_ = lasting;
    return false;
}

bool RecordDatabase::checkSqlitePath() {
    // Only a regular file, or a new one in a real folder: SQLite would otherwise make its
    // journal beside a device (/dev/null-journal) or fail later with less to say.
    const QString path = url_.path();
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) {
            return fail(QStringLiteral("%1 is not a regular file").arg(path), true);
        }
        return true;
    }
    if (errno != ENOENT) {
        return fail(QStringLiteral("%1: %2").arg(path, PrivateFiles::systemError(errno)), true);
    }
    if (access_ == Access::ReadOnly) {
        return fail(QStringLiteral("%1: no such database file").arg(path), true);
    }
    QString error;
    const QString folder = QFileInfo(path).absolutePath();
    if (!PrivateFiles::makeFolder(folder, &error)) {
        return fail(QStringLiteral("Cannot create the folder %1").arg(error), true);
    }
    // Created here so that it is the owner's alone; SQLite gives its WAL the same mode.
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) {
        return fail(QStringLiteral("%1: %2").arg(path, PrivateFiles::systemError(errno)),
                    errno != EINTR);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return true;
}

bool RecordDatabase::open() {
    if (isOpen()) {
        return true;
    }
    lastErrorLasts_ = false;
    if (!QSqlDatabase::isDriverAvailable(url_.driverName())) {
        // Said in the words of the package that brings the driver, for whoever has to install it.
        const bool sqliteDriver = url_.kind() == DatabaseUrl::Kind::Sqlite;
        return fail(QStringLiteral("The %1 driver is not installed: install %2")
                        .arg(sqliteDriver ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL"),
                             sqliteDriver ? QStringLiteral("libqt6sql6-sqlite")
                                          : QStringLiteral("libqt6sql6-psql")),
                    true);
    }
    const bool sqlite = url_.kind() == DatabaseUrl::Kind::Sqlite;
    if (sqlite && !checkSqlitePath()) {
        return false;
    }
    if (!database_.isValid()) {
        database_ = QSqlDatabase::addDatabase(url_.driverName(), connectionName_);
    }
    const bool readOnly = access_ == Access::ReadOnly;
    if (sqlite) {
        database_.setDatabaseName(url_.path());
        // A locked file is waited for a while, then the record goes to the spool.
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kWaitLimitMs / 5);
        if (readOnly) {
            options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        }
        database_.setConnectOptions(options);
    } else {
        database_.setHostName(url_.host());
        database_.setPort(url_.port());
        database_.setDatabaseName(url_.database());
        database_.setUserName(url_.user());
        database_.setPassword(url_.password());
        // Every wait bounded: connecting, a statement, and a connection gone silent.
        QStringList options{
            QStringLiteral("connect_timeout=3"),
            QStringLiteral("keepalives=1"),
            QStringLiteral("keepalives_idle=5"),
            QStringLiteral("keepalives_interval=2"),
            QStringLiteral("keepalives_count=2"),
            QStringLiteral("tcp_user_timeout=%1").arg(kWaitLimitMs),
            QStringLiteral("options=%1")
                .arg(quotedOption(
                    QStringLiteral("-c statement_timeout=%1 -c lock_timeout=%1 -c "
                                   "client_min_messages=warning%2")
                        .arg(kWaitLimitMs)
                        .arg(readOnly ? QStringLiteral(" -c default_transaction_read_only=on")
                                      : QString()))),
        };
        for (const auto& [name, value] : url_.parameters()) {
            options << name + u'=' + quotedOption(value);
        }
        database_.setConnectOptions(options.join(u';'));
    }
    bool opened = database_.open();
    if (opened && sqlite && readOnly &&
        !QSqlQuery(database_).exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        opened = false;
    }
    if (!opened && sqlite && readOnly) {
        // A write-protected copy in WAL form whose shared-memory file cannot be made: read
        // it as an unchanging file.
        database_.close();
        database_.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1")
                .arg(kWaitLimitMs / 5));
        database_.setDatabaseName(QUrl::fromLocalFile(url_.path()).toString(QUrl::FullyEncoded) +
                                  QStringLiteral("?immutable=1"));
        opened = database_.open();
    }
    if (!opened) {
        const QString text = database_.lastError().text();
        database_.close();
        return fail(text, !sqlite && isLastingServerError(text));
    }
    if (sqlite && !readOnly) {
        QSqlQuery pragma(database_);
        // Readers never block the writer, and a commit is on the disk when it returns.
        if (!pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
            !pragma.exec(QStringLiteral("PRAGMA synchronous=FULL"))) {
            const QString text = pragma.lastError().text();
            pragma.finish();
            database_.close();
            return fail(text, text.contains(QLatin1String("not a database")));
        }
    }
    if (readOnly) {
        // An audit reads what is there and never makes a schema.
        if (RecordSchema::version(database_) == 0) {
            const bool empty = database_.tables().isEmpty();
            database_.close();
            return fail(empty ? QStringLiteral("the database holds no record")
                              : QStringLiteral("not a Gavrel record database"),
                        true);
        }
        return true;
    }
    QString error;
    bool ensured = false;
    {
        ConnectionDeadline deadline(socketOf(database_), std::chrono::milliseconds(kWaitLimitMs));
        ensured = RecordSchema::ensure(database_, &error);
    }
    if (!ensured) {
        database_.close();
        return fail(error, error.contains(QLatin1String("newer program")) ||
                               error.contains(QLatin1String("not a database")));
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
    if (!key_) {
        QString keyError;
        key_ = StationKey::own(keyFolder(), &keyError);
        if (!key_) {
            fail(QStringLiteral("The station key cannot be kept: %1").arg(keyError), true);
            return std::nullopt;
        }
    }
    const std::optional<StationKey>& key = key_;
    const bool sqlite = url_.kind() == DatabaseUrl::Kind::Sqlite;
    ConnectionDeadline deadline(socketOf(database_), std::chrono::milliseconds(kWaitLimitMs));
    QSqlQuery query(database_);
    auto failed = [&](const QSqlQuery& failing) -> std::optional<int> {
        lastError_ = failing.lastError().text();
        lastErrorLasts_ = false;
        if (deadline.expired()) {
            lastError_ = QStringLiteral("The server gave no answer within %1 s (%2)")
                             .arg(kWaitLimitMs / 1000)
                             .arg(lastError_);
        }
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
        "max, standard, tolerance, verdict, elapsed_us, previous_sha256, record_sha256, recipe, "
        "inspection_uuid, circle_name, part_verdict, chain_form, chain_key) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
        "?, ?) ON CONFLICT (record_uuid) DO NOTHING RETURNING id"));
    std::vector<InspectionRecord*> written;
    for (InspectionRecord& record : records) {
        QString& head = heads[record.station];
        record.previousSha256 = head;
        record.chainForm = RecordChain::kSealedForm;
        record.chainKey = key->id();
        record.recordSha256 = RecordChain::sealOf(record, key->secret());
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
            text(record.recipe),
            text(record.inspectionUuid),
            text(record.circleName),
            text(record.partVerdict),
            record.chainForm,
            record.chainKey,
        };
        for (int i = 0; i < values.size(); ++i) {
            insert.bindValue(i, values[i]);
        }
        if (!insert.exec()) {
            return failed(insert);
        }
        if (insert.next()) {
            record.id = insert.value(0).toLongLong();
            head = record.recordSha256;
            written.push_back(&record);
        }
        insert.finish();
    }
    if (!query.exec(QStringLiteral("COMMIT"))) {
        return failed(query);
    }
    std::vector<InspectionRecord> newest;
    for (const InspectionRecord* record : written) {
        newest.push_back(*record);
    }
    rememberHeads(newest);
    return static_cast<int>(written.size());
}

void RecordDatabase::rememberHeads(const std::vector<InspectionRecord>& records) {
    if (records.empty()) {
        return;
    }
    // Outside the database, so that removing its newest records shows. Not flushed: after a
    // power cut an older head is still a record that must be there.
    const QString path = RecordLocations::headsFileFor(keyFolder(), url_);
    QFile file(path);
    QJsonObject heads;
    if (file.open(QIODevice::ReadOnly)) {
        heads = QJsonDocument::fromJson(file.readAll()).object();
        file.close();
    }
    for (const InspectionRecord& record : records) {
        const QJsonObject known = heads.value(record.station).toObject();
        if (known.value(QStringLiteral("id")).toInteger() < record.id) {
            heads.insert(record.station,
                         QJsonObject{{QStringLiteral("id"), record.id},
                                     {QStringLiteral("seal"), record.recordSha256}});
        }
    }
    PrivateFiles::writeWhole(path, QJsonDocument(heads).toJson(QJsonDocument::Compact), nullptr,
                             false);
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
    r.recipe = q.value(24).toString();
    r.inspectionUuid = q.value(25).toString();
    r.circleName = q.value(26).toString();
    r.partVerdict = q.value(27).toString();
    r.chainForm = q.value(28).toInt();
    r.chainKey = q.value(29).toString();
    return r;
}

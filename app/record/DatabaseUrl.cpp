#include "DatabaseUrl.h"

// Qt
#include <QDir>
#include <QUrl>

namespace {

void setError(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
}

} // namespace

std::optional<DatabaseUrl> DatabaseUrl::parse(const QString& text, QString* error) {
    const QString trimmed = text.trimmed();
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid()) {
        setError(error, QStringLiteral("Not a database URL: %1").arg(trimmed));
        return std::nullopt;
    }
    DatabaseUrl result;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("sqlite")) {
        const QString path = url.path(QUrl::FullyDecoded);
        if (!url.host().isEmpty() || !QDir::isAbsolutePath(path) || path.endsWith(u'/')) {
            setError(error,
                     QStringLiteral("An SQLite URL names an absolute file: sqlite:///path/file"
                                    ".sqlite, not %1")
                         .arg(trimmed));
            return std::nullopt;
        }
        result.kind_ = Kind::Sqlite;
        result.path_ = QDir::cleanPath(path);
        return result;
    }
    if (scheme == QLatin1String("postgresql") || scheme == QLatin1String("postgres")) {
        result.kind_ = Kind::Postgresql;
        result.user_ = url.userName(QUrl::FullyDecoded);
        result.password_ = url.password(QUrl::FullyDecoded);
        result.host_ = url.host(QUrl::FullyDecoded);
        result.port_ = url.port(5432);
        result.database_ = url.path(QUrl::FullyDecoded).mid(1);
        if (result.host_.isEmpty() || result.database_.isEmpty() ||
            result.database_.contains(u'/')) {
            setError(error, QStringLiteral("A PostgreSQL URL names a server and a database: "
                                           "postgresql://user@host:port/database, not %1")
                                .arg(trimmed));
            return std::nullopt;
        }
        return result;
    }
    setError(error,
             QStringLiteral("Unknown kind of database (sqlite or postgresql): %1").arg(trimmed));
    return std::nullopt;
}

DatabaseUrl DatabaseUrl::sqliteFile(const QString& absolutePath) {
    DatabaseUrl result;
    result.kind_ = Kind::Sqlite;
    result.path_ = QDir::cleanPath(absolutePath);
    return result;
}

QString DatabaseUrl::toString() const {
    if (kind_ == Kind::Sqlite) {
        return QStringLiteral("sqlite://") + QUrl::toPercentEncoding(path_, "/");
    }
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setUserName(user_);
    url.setPassword(password_);
    url.setHost(host_);
    url.setPort(port_);
    url.setPath(u'/' + database_);
    return url.toString(QUrl::FullyEncoded);
}

QString DatabaseUrl::toDisplayString() const {
    if (kind_ == Kind::Sqlite) {
        return toString();
    }
    DatabaseUrl shown = *this;
    shown.password_.clear();
    return shown.toString();
}

QString DatabaseUrl::driverName() const {
    return kind_ == Kind::Sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
}

#include "DatabaseUrl.h"

// Qt
#include <QDir>
#include <QUrl>
#include <QUrlQuery>

namespace {

void setError(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
}

// The URL as it may be shown: never with its password.
QString shown(const QString& text) {
    QUrl url(text, QUrl::TolerantMode);
    if (url.isValid() && !url.password().isEmpty()) {
        url.setPassword(QStringLiteral("****"));
        return url.toString();
    }
    // Unreadable: cut anything between "//user:" and "@".
    const qsizetype scheme = text.indexOf(QLatin1String("://"));
    const qsizetype at = text.lastIndexOf(u'@');
    if (scheme >= 0 && at > scheme) {
        const qsizetype colon = text.indexOf(u':', scheme + 3);
        if (colon >= 0 && colon < at) {
            return text.left(colon + 1) + QStringLiteral("****") + text.mid(at);
        }
    }
    return text;
}

} // namespace

const QStringList& DatabaseUrl::allowedParameters() {
    static const QStringList names{
        QStringLiteral("sslmode"),
        QStringLiteral("sslrootcert"),
        QStringLiteral("sslcert"),
        QStringLiteral("sslkey"),
        QStringLiteral("sslcrl"),
        QStringLiteral("sslcompression"),
        QStringLiteral("sslsni"),
        QStringLiteral("ssl_min_protocol_version"),
        QStringLiteral("ssl_max_protocol_version"),
        QStringLiteral("passfile"),
        QStringLiteral("application_name"),
        QStringLiteral("target_session_attrs"),
        QStringLiteral("gssencmode"),
        QStringLiteral("channel_binding"),
        QStringLiteral("requirepeer"),
        QStringLiteral("krbsrvname"),
        QStringLiteral("service"),
    };
    return names;
}

std::optional<DatabaseUrl> DatabaseUrl::parse(const QString& text, QString* error) {
    const QString trimmed = text.trimmed();
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid()) {
        setError(error, QStringLiteral("Not a database URL: %1").arg(shown(trimmed)));
        return std::nullopt;
    }
    DatabaseUrl result;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("sqlite")) {
        const QString path = url.path(QUrl::FullyDecoded);
        if (!url.host().isEmpty() || !QDir::isAbsolutePath(path) || path.endsWith(u'/') ||
            url.hasQuery()) {
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
                                .arg(shown(trimmed)));
            return std::nullopt;
        }
        if (result.port_ <= 0 || result.port_ > 65535) {
            setError(
                error,
                QStringLiteral("No port %1 on a server: %2").arg(result.port_).arg(shown(trimmed)));
            return std::nullopt;
        }
        for (const auto& [name, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
            if (!allowedParameters().contains(name)) {
                setError(error, QStringLiteral("The parameter %1 is not one a record's URL may "
                                               "carry (%2)")
                                    .arg(name, allowedParameters().join(QStringLiteral(", "))));
                return std::nullopt;
            }
            if (value.contains(u';')) {
                setError(error, QStringLiteral("The parameter %1 may not hold ';'").arg(name));
                return std::nullopt;
            }
            result.parameters_.emplace_back(name, value);
        }
        return result;
    }
    setError(
        error,
        QStringLiteral("Unknown kind of database (sqlite or postgresql): %1").arg(shown(trimmed)));
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
    if (!parameters_.empty()) {
        QUrlQuery query;
        for (const auto& [name, value] : parameters_) {
            query.addQueryItem(name, value);
        }
        url.setQuery(query);
    }
    return url.toString(QUrl::FullyEncoded);
}

DatabaseUrl DatabaseUrl::withPassword(const QString& password) const {
    DatabaseUrl other = *this;
    other.password_ = password;
    return other;
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

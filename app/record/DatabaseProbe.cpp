#include "DatabaseProbe.h"

// Standard library
#include <atomic>

// Qt
#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace DatabaseProbe {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("DatabaseProbe", text);
}

QString nextConnectionName() {
    static std::atomic<int> count{0};
    return QStringLiteral("probe-%1").arg(++count);
}

// Opens the connection, runs one statement and closes it; empty when all went well.
QString tryConnection(const DatabaseUrl& url, std::chrono::seconds timeout) {
    const QString name = nextConnectionName();
    QString error;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(url.driverName(), name);
        if (url.kind() == DatabaseUrl::Kind::Sqlite) {
            database.setDatabaseName(url.path());
            database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        } else {
            database.setHostName(url.host());
            database.setPort(url.port());
            database.setDatabaseName(url.database());
            database.setUserName(url.user());
            database.setPassword(url.password());
            database.setConnectOptions(
                QStringLiteral("connect_timeout=%1").arg(std::max<qint64>(1, timeout.count())));
        }
        if (!database.open()) {
            error = database.lastError().text();
        } else {
            QSqlQuery query(database);
            const QString sql = url.kind() == DatabaseUrl::Kind::Sqlite
                                    ? QStringLiteral("PRAGMA schema_version")
                                    : QStringLiteral("SELECT 1");
            if (!query.exec(sql)) {
                error = query.lastError().text();
            }
        }
        database.close();
    }
    QSqlDatabase::removeDatabase(name);
    return error;
}

} // namespace

Result tryUrl(const DatabaseUrl& url, std::chrono::seconds timeout) {
    if (!QSqlDatabase::isDriverAvailable(url.driverName())) {
        return {false, explain(url, QStringLiteral("Driver not loaded"))};
    }
    if (url.kind() == DatabaseUrl::Kind::Sqlite) {
        const QFileInfo file(url.path());
        if (!file.exists()) {
            const QFileInfo folder(file.absolutePath());
            if (!folder.isDir() || !folder.isWritable()) {
                return {false,
                        tr("フォルダ %1 に記録を作れません（フォルダがないか、書き込めません）")
                            .arg(folder.absoluteFilePath())};
            }
            return {true, tr("新しい記録を作ります: %1").arg(url.path())};
        }
        if (!file.isFile()) {
            return {false, tr("%1 はファイルではありません").arg(url.path())};
        }
        if (!file.isReadable() || !file.isWritable()) {
            return {false, tr("%1 を読み書きできません（権限がありません）").arg(url.path())};
        }
    }
    const QString error = tryConnection(url, timeout);
    if (!error.isEmpty()) {
        return {false, explain(url, error)};
    }
    return {true, tr("接続できました: %1").arg(url.toDisplayString())};
}

QString explain(const DatabaseUrl& url, const QString& driverError) {
    if (driverError.isEmpty()) {
        return {};
    }
    const QString e = driverError.toLower();
    if (e.contains(u"driver not loaded") || e.contains(u"is not installed") ||
        !QSqlDatabase::isDriverAvailable(url.driverName())) {
        return url.kind() == DatabaseUrl::Kind::Postgresql
                   ? tr("PostgreSQL のドライバがインストールされていません: libqt6sql6-psql "
                        "をインストールしてください")
                   : tr("SQLite のドライバがインストールされていません: libqt6sql6-sqlite "
                        "をインストールしてください");
    }
    if (e.contains(u"password authentication failed") || e.contains(u"no password supplied") ||
        e.contains(u"authentication failed")) {
        return tr("サーバがユーザ %1 のパスワードを拒否しました").arg(url.user());
    }
    if (e.contains(u"does not exist") && e.contains(u"database")) {
        return tr("サーバにデータベース %1 がありません").arg(url.database());
    }
    if (e.contains(u"could not connect") || e.contains(u"connection refused") ||
        e.contains(u"timeout expired") || e.contains(u"could not translate host name") ||
        e.contains(u"no route to host") || e.contains(u"network is unreachable") ||
        e.contains(u"connection to server")) {
        return tr("サーバ %1:%2 に接続できません（サーバが動いているか、アドレスとポートを"
                  "確かめてください）")
            .arg(url.host())
            .arg(url.port());
    }
    if (e.contains(u"file is not a database") || e.contains(u"unable to open database")) {
        return tr("%1 は記録のデータベースとして開けません").arg(url.path());
    }
    return driverError;
}

} // namespace DatabaseProbe

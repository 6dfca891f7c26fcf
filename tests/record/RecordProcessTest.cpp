// Standard library
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

// Qt
#include <QDeadlineTimer>
#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QThread>

// Ours
#include "ChainVerifier.h"
#include "RecordLocations.h"
#include "RecordSpool.h"
#include "RecordTestKit.h"

#include <gtest/gtest.h>

namespace {

constexpr uid_t kNobody = 65534;

// Runs the writer child, as nobody when `unprivileged`; the caller waits or kills it.
void startChild(QProcess& child, const QStringList& arguments, bool unprivileged = false) {
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (unprivileged) {
        child.start(QStringLiteral("setpriv"),
                    QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                QStringLiteral("--clear-groups"),
                                QStringLiteral(RECORD_WRITER_CHILD)} +
                        arguments);
    } else {
        child.start(QStringLiteral(RECORD_WRITER_CHILD), arguments);
    }
}

QString runChild(const QStringList& arguments, bool unprivileged = false) {
    QProcess child;
    startChild(child, arguments, unprivileged);
    EXPECT_TRUE(child.waitForFinished(120000));
    EXPECT_EQ(child.exitCode(), 0);
    return QString::fromLocal8Bit(child.readAllStandardOutput());
}

QSet<QString> uuids(RecordDatabase& database) {
    QSet<QString> found;
    QSqlQuery query(database.connection());
    query.exec(QStringLiteral("SELECT record_uuid FROM measurements"));
    while (query.next()) {
        found.insert(query.value(0).toString());
    }
    return found;
}

QString uuidOf(int n) {
    return QStringLiteral("00000000-0000-4000-8000-%1").arg(n, 12, 10, QChar(u'0'));
}

class RecordProcessTest : public ::testing::Test {
protected:
    testutils::Sandbox sandbox;
    DatabaseUrl url = DatabaseUrl::sqliteFile(sandbox.filePath(QStringLiteral("m.sqlite")));
    QString spool = sandbox.mkdir(QStringLiteral("spool"));
};

TEST_F(RecordProcessTest, TwoProgramsWritingAtOnceLoseNothing) {
    QProcess a;
    QProcess b;
    startChild(a, {url.toString(), spool + QStringLiteral("/a"), QStringLiteral("st-a"),
                   QStringLiteral("0"), QStringLiteral("300"), QStringLiteral("1")});
    startChild(b, {url.toString(), spool + QStringLiteral("/b"), QStringLiteral("st-b"),
                   QStringLiteral("1000"), QStringLiteral("300"), QStringLiteral("1")});
    ASSERT_TRUE(a.waitForFinished(120000));
    ASSERT_TRUE(b.waitForFinished(120000));
    // A writer that met the other's lock spooled and replayed its records itself.
    RecordDatabase database(url, QStringLiteral("check"));
    ASSERT_TRUE(database.open());
    EXPECT_EQ(recordkit::rowCount(database), 600);
    const auto report = ChainVerifier::verifyAll(database.connection());
    EXPECT_TRUE(report.intact());
    EXPECT_EQ(report.stations, 2);
}

TEST_F(RecordProcessTest, KilledWriterLeavesAnOpenableDatabaseAndASpoolThatReplaysOnce) {
    // The database file is there but refuses this writer, so everything goes to the spool.
    const QString blocked = sandbox.mkdir(QStringLiteral("blocked"));
    const DatabaseUrl blockedUrl =
        DatabaseUrl::sqliteFile(blocked + QStringLiteral("/is-a-folder.sqlite"));
    QDir().mkpath(blockedUrl.path());

    QProcess child;
    startChild(child, {blockedUrl.toString(), spool, QStringLiteral("st"), QStringLiteral("0"),
                       QStringLiteral("100000"), QStringLiteral("2")});
    ASSERT_TRUE(child.waitForStarted());
    int handed = 0;
    while (handed < 40 && child.waitForReadyRead(20000)) {
        handed += static_cast<int>(child.readAllStandardOutput().count("handed"));
    }
    ASSERT_GE(handed, 40);
    // Records handed over are spooled by the writer's thread; kill once some are on disk,
    // however slowly that thread runs on a busy machine.
    const QString spoolFile = RecordLocations::spoolFileFor(spool, blockedUrl);
    QDeadlineTimer spooled(20000);
    while (RecordSpool(spoolFile).count() == 0 && !spooled.hasExpired()) {
        QThread::msleep(10);
    }
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    child.waitForFinished();

    const auto waiting = RecordSpool(spoolFile).readAll();
    ASSERT_FALSE(waiting.empty());
    // Whole records only, in the order they were handed over.
    for (std::size_t i = 0; i < waiting.size(); ++i) {
        EXPECT_EQ(waiting[i].uuid, uuidOf(static_cast<int>(i)));
    }

    // The same database made writable: the next run replays the spool, twice gives once.
    QDir(blockedUrl.path()).removeRecursively();
    runChild({blockedUrl.toString(), spool, QStringLiteral("st"), QStringLiteral("0"),
              QStringLiteral("0")});
    runChild({blockedUrl.toString(), spool, QStringLiteral("st"), QStringLiteral("0"),
              QStringLiteral("0")});
    RecordDatabase database(blockedUrl, QStringLiteral("check"));
    ASSERT_TRUE(database.open());
    EXPECT_EQ(recordkit::rowCount(database), static_cast<qint64>(waiting.size()));
    EXPECT_TRUE(ChainVerifier::verifyAll(database.connection()).intact());
    EXPECT_EQ(RecordSpool(spoolFile).count(), 0);
}

TEST_F(RecordProcessTest, KilledWhileWritingLeavesADatabaseThatOpens) {
    QProcess child;
    startChild(child, {url.toString(), spool, QStringLiteral("st"), QStringLiteral("0"),
                       QStringLiteral("100000"), QStringLiteral("1")});
    int handed = 0;
    while (handed < 200 && child.waitForReadyRead(20000)) {
        handed += static_cast<int>(child.readAllStandardOutput().count("handed"));
    }
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    child.waitForFinished();
    RecordDatabase database(url, QStringLiteral("check"));
    ASSERT_TRUE(database.open()) << database.lastError().toStdString();
    QSqlQuery check(database.connection());
    ASSERT_TRUE(check.exec(QStringLiteral("PRAGMA integrity_check")) && check.next());
    EXPECT_EQ(check.value(0).toString(), QStringLiteral("ok"));
    EXPECT_GT(recordkit::rowCount(database), 0);
    EXPECT_TRUE(ChainVerifier::verifyAll(database.connection()).intact());
}

TEST_F(RecordProcessTest, ReadOnlyDatabaseSpoolsUntilItMayBeWritten) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run the writer as another user";
    }
    {
        RecordDatabase database(url, QStringLiteral("create"));
        ASSERT_TRUE(database.open());
    }
    // nobody may write its spool but not the database (owned by root, mode 644).
    ASSERT_EQ(::chown(spool.toLocal8Bit().constData(), kNobody, kNobody), 0);
    ASSERT_EQ(::chmod(sandbox.path().toLocal8Bit().constData(), 0755), 0);
    const QString keys = QDir(spool).filePath(QStringLiteral("keys"));
    qputenv("RECORD_KEY_FOLDER", keys.toLocal8Bit());
    const QString first = runChild(
        {url.toString(), spool, QStringLiteral("st"), QStringLiteral("0"), QStringLiteral("5")},
        true);
    EXPECT_TRUE(first.contains(QStringLiteral("state 1 spooled 5"))) << first.toStdString();
    {
        RecordDatabase database(url, QStringLiteral("check"));
        ASSERT_TRUE(database.open());
        EXPECT_EQ(recordkit::rowCount(database), 0);
    }
    // Permission granted: the folder and file become nobody's, and the next run replays.
    for (const QString& path : QDir(sandbox.path()).entryList({QStringLiteral("m.sqlite*")})) {
        ASSERT_EQ(::chown(sandbox.filePath(path).toLocal8Bit().constData(), kNobody, kNobody), 0);
    }
    ASSERT_EQ(::chown(sandbox.path().toLocal8Bit().constData(), kNobody, kNobody), 0);
    const QString second = runChild(
        {url.toString(), spool, QStringLiteral("st"), QStringLiteral("0"), QStringLiteral("0")},
        true);
    EXPECT_TRUE(second.contains(QStringLiteral("state 0 spooled 0"))) << second.toStdString();
    RecordDatabase database(url, QStringLiteral("check2"));
    ASSERT_TRUE(database.open());
    qunsetenv("RECORD_KEY_FOLDER");
    EXPECT_EQ(uuids(database),
              (QSet<QString>{uuidOf(0), uuidOf(1), uuidOf(2), uuidOf(3), uuidOf(4)}));
    EXPECT_TRUE(ChainVerifier::verifyAll(database.connection(), keys).intact());
}

} // namespace

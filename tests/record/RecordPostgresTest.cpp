// Qt
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>

// Ours
#include "ChainVerifier.h"
#include "PostgresServer.h"
#include "RecordLocations.h"
#include "RecordSchema.h"
#include "RecordSpool.h"
#include "RecordStore.h"
#include "RecordTestKit.h"

#include <gtest/gtest.h>

namespace {

using Kind = RecordState::Kind;

class RecordPostgresTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (testutils::PostgresServer::installed()) {
            server = new testutils::PostgresServer;
        }
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        if (!server) {
            GTEST_SKIP() << "PostgreSQL 15 is not installed (scripts/setup.sh installs it)";
        }
        ASSERT_TRUE(server->isRunning()) << server->error().toStdString();
        url = *DatabaseUrl::parse(server->url());
        RecordDatabase database(url, QStringLiteral("clean"));
        ASSERT_TRUE(database.open()) << database.lastError().toStdString();
        QSqlQuery(database.connection()).exec(QStringLiteral("DELETE FROM measurements"));
    }

    static testutils::PostgresServer* server;
    testutils::Sandbox sandbox;
    DatabaseUrl url;
};

testutils::PostgresServer* RecordPostgresTest::server = nullptr;

TEST_F(RecordPostgresTest, SchemaAndChainOnTheServer) {
    RecordDatabase database(url, QStringLiteral("test"));
    ASSERT_TRUE(database.open());
    EXPECT_EQ(RecordSchema::version(database.connection()), RecordSchema::kCurrentVersion);
    std::vector<InspectionRecord> batch;
    for (int n = 0; n < 10; ++n) {
        batch.push_back(recordkit::sample(n, n % 3 ? QStringLiteral("OK") : QStringLiteral("NG")));
        batch.back().frame = n;
    }
    std::vector<InspectionRecord> again = batch;
    ASSERT_EQ(database.write(batch), 10) << database.lastError().toStdString();
    EXPECT_EQ(database.write(again), 0);
    const auto report = ChainVerifier::verifyAll(database.connection());
    EXPECT_TRUE(report.intact());
    EXPECT_EQ(report.records, 10);
    // Text and numbers come back exactly as they went in.
    QSqlQuery query(database.connection());
    ASSERT_TRUE(query.exec(
        QStringLiteral("SELECT %1 FROM measurements ORDER BY id").arg(RecordSchema::columnList())));
    ASSERT_TRUE(query.next());
    const InspectionRecord first = RecordDatabase::fromRow(query);
    EXPECT_EQ(first.operatorName, QStringLiteral("山田"));
    EXPECT_EQ(first.measuredAt, recordkit::sample(0).measuredAt);
    EXPECT_EQ(first.frame, 0);
}

TEST_F(RecordPostgresTest, ServerRestartSpoolsAndReplaysExactlyOnce) {
    RecordConfig config = recordkit::config(sandbox.path(), url);
    RecordStore store(config, nullptr, std::chrono::milliseconds(200));
    store.record(recordkit::sample(0));
    ASSERT_TRUE(store.waitUntilSettled(recordkit::kSettle));
    ASSERT_EQ(store.state().kind, Kind::Ok) << store.state().text.toStdString();

    ASSERT_TRUE(server->stop());
    for (int n = 1; n <= 20; ++n) {
        store.record(recordkit::sample(n));
    }
    ASSERT_TRUE(store.waitUntilSettled(recordkit::kSettle));
    EXPECT_EQ(store.state().kind, Kind::Spooling);
    EXPECT_EQ(store.state().spooled, 20);

    ASSERT_TRUE(server->start()) << server->error().toStdString();
    store.record(recordkit::sample(21));
    ASSERT_TRUE(QTest::qWaitFor([&] { return store.state().kind == Kind::Ok; }, 30000));
    ASSERT_TRUE(store.waitUntilSettled(recordkit::kSettle));

    RecordDatabase database(url, QStringLiteral("check"));
    ASSERT_TRUE(database.open());
    EXPECT_EQ(recordkit::rowCount(database), 22);
    EXPECT_EQ(recordkit::scalar(
                  database, QStringLiteral("SELECT COUNT(DISTINCT record_uuid) FROM measurements")),
              22);
    QSqlQuery order(database.connection());
    ASSERT_TRUE(order.exec(QStringLiteral("SELECT cx FROM measurements ORDER BY id")));
    for (int n = 0; order.next(); ++n) {
        EXPECT_EQ(order.value(0).toInt(), 100 + n);
    }
    EXPECT_TRUE(ChainVerifier::verifyAll(database.connection()).intact());
    EXPECT_EQ(RecordSpool(RecordLocations::spoolFileFor(config.spoolFolder, url)).count(), 0);
}

TEST_F(RecordPostgresTest, TwoProgramsOnOneStationKeepOneChain) {
    QProcess a;
    QProcess b;
    for (auto [child, first] : {std::pair{&a, 0}, std::pair{&b, 1000}}) {
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(QStringLiteral(RECORD_WRITER_CHILD),
                     {url.toString(), sandbox.filePath(QString::number(first)),
                      QStringLiteral("shared"), QString::number(first), QStringLiteral("200"),
                      QStringLiteral("1")});
    }
    ASSERT_TRUE(a.waitForFinished(120000));
    ASSERT_TRUE(b.waitForFinished(120000));
    RecordDatabase database(url, QStringLiteral("check"));
    ASSERT_TRUE(database.open());
    EXPECT_EQ(recordkit::rowCount(database), 400);
    const auto report = ChainVerifier::verifyAll(database.connection());
    EXPECT_TRUE(report.intact());
    EXPECT_EQ(report.stations, 1);
}

TEST_F(RecordPostgresTest, AFrozenServerSendsRecordsToTheSpoolWithinSeconds) {
    RecordConfig config = recordkit::config(sandbox.path(), url);
    RecordStore store(config, nullptr, std::chrono::milliseconds(200));
    ASSERT_TRUE(store.record(recordkit::sample(1)));
    ASSERT_TRUE(server->freeze(true));
    QElapsedTimer clock;
    clock.start();
    const bool kept = store.record(recordkit::sample(2));
    const qint64 waited = clock.elapsed();
    ASSERT_TRUE(server->freeze(false));
    EXPECT_TRUE(kept);
    EXPECT_LT(waited, 15000) << "bounded by the statement limit, not by the server";
    // Kept in the spool meanwhile, and written once the server answers again.
    EXPECT_EQ(RecordSpool(RecordLocations::spoolFileFor(config.spoolFolder, url)).count() + 1, 2);
    RecordDatabase database(url, QStringLiteral("check"));
    ASSERT_TRUE(database.open());
    EXPECT_TRUE(QTest::qWaitFor([&] { return recordkit::rowCount(database) == 2; }, 30000));
}

TEST_F(RecordPostgresTest, LibpqParametersReachTheServerAndLastingFaultsAreSaid) {
    // The test server has no SSL: asking for it must fail, not connect without it.
    const auto ssl = DatabaseUrl::parse(server->url() + QStringLiteral("?sslmode=require"));
    ASSERT_TRUE(ssl);
    RecordDatabase secure(*ssl, QStringLiteral("ssl"));
    EXPECT_FALSE(secure.open());
    EXPECT_TRUE(secure.lastErrorLasts()) << secure.lastError().toStdString();
    const auto named =
        DatabaseUrl::parse(server->url() + QStringLiteral("?application_name=gavrel-line-3"));
    ASSERT_TRUE(named);
    RecordDatabase database(*named, QStringLiteral("named"));
    ASSERT_TRUE(database.open()) << database.lastError().toStdString();
    QSqlQuery query(database.connection());
    ASSERT_TRUE(query.exec(QStringLiteral("SHOW application_name")));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toString(), QStringLiteral("gavrel-line-3"));
    query.finish();
    // A database that does not exist is a lasting fault; a server that is not there is not.
    RecordDatabase missing(
        *DatabaseUrl::parse(QStringLiteral("postgresql://%1@127.0.0.1:%2/nosuchdb")
                                .arg(testutils::PostgresServer::user())
                                .arg(server->port())),
        QStringLiteral("missing"));
    EXPECT_FALSE(missing.open());
    EXPECT_TRUE(missing.lastErrorLasts()) << missing.lastError().toStdString();
    QString error;
    EXPECT_FALSE(DatabaseUrl::parse(server->url() + QStringLiteral("?host=elsewhere"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("host"))) << error.toStdString();
}

} // namespace

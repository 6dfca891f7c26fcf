// Standard library
#include <vector>

// Qt
#include <QSqlQuery>
#include <QTimeZone>

// Ours
#include "ChainVerifier.h"
#include "DatabaseUrl.h"
#include "RecordChain.h"
#include "RecordDatabase.h"
#include "RecordSchema.h"
#include "RecordTestKit.h"

#include <gtest/gtest.h>

namespace {

struct UrlCase {
    const char* text;
    bool valid;
    DatabaseUrl::Kind kind;
    const char* path;
    const char* host;
    int port;
    const char* database;
};

TEST(DatabaseUrlTest, ReadsBothKindsAndRefusesTheRest) {
    const UrlCase cases[] = {
        {"sqlite:///var/lib/gavrel/m.sqlite", true, DatabaseUrl::Kind::Sqlite,
         "/var/lib/gavrel/m.sqlite", "", 5432, ""},
        {"sqlite:///tmp/%E6%B8%AC%E5%AE%9A.sqlite", true, DatabaseUrl::Kind::Sqlite,
         "/tmp/測定.sqlite", "", 5432, ""},
        {"postgresql://qa@db.line:6543/records", true, DatabaseUrl::Kind::Postgresql, "", "db.line",
         6543, "records"},
        {"postgresql://qa@db.line/records", true, DatabaseUrl::Kind::Postgresql, "", "db.line",
         5432, "records"},
        {"sqlite://relative/m.sqlite", false, {}, "", "", 0, ""},
        {"sqlite:m.sqlite", false, {}, "", "", 0, ""},
        {"postgresql://qa@db.line", false, {}, "", "", 0, ""},
        {"mysql://qa@db/records", false, {}, "", "", 0, ""},
        {"", false, {}, "", "", 0, ""},
    };
    for (const UrlCase& c : cases) {
        SCOPED_TRACE(c.text);
        QString error;
        const auto url = DatabaseUrl::parse(QString::fromUtf8(c.text), &error);
        ASSERT_EQ(url.has_value(), c.valid);
        if (!c.valid) {
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        EXPECT_EQ(url->kind(), c.kind);
        EXPECT_EQ(url->path(), QString::fromUtf8(c.path));
        EXPECT_EQ(url->host(), QString::fromUtf8(c.host));
        if (c.kind == DatabaseUrl::Kind::Postgresql) {
            EXPECT_EQ(url->port(), c.port);
            EXPECT_EQ(url->database(), QString::fromUtf8(c.database));
        }
        EXPECT_EQ(DatabaseUrl::parse(url->toString()), url) << url->toString().toStdString();
    }
}

TEST(DatabaseUrlTest, ShownFormLeavesThePasswordOut) {
    const auto url = DatabaseUrl::parse(QStringLiteral("postgresql://qa:secret@h:5432/d"));
    ASSERT_TRUE(url);
    EXPECT_EQ(url->password(), QStringLiteral("secret"));
    EXPECT_FALSE(url->toDisplayString().contains(QStringLiteral("secret")));
}

class RecordDatabaseTest : public ::testing::Test {
protected:
    testutils::Sandbox sandbox;
    DatabaseUrl url = DatabaseUrl::sqliteFile(sandbox.filePath(QStringLiteral("m.sqlite")));
};

TEST_F(RecordDatabaseTest, CreatesTheSchemaWithTheIssuesColumns) {
    RecordDatabase database(url, QStringLiteral("test"));
    ASSERT_TRUE(database.open()) << database.lastError().toStdString();
    EXPECT_EQ(RecordSchema::version(database.connection()), RecordSchema::kCurrentVersion);
    QSqlQuery query(database.connection());
    ASSERT_TRUE(query.exec(QStringLiteral(
        "SELECT id, measured_at, station, operator, source, image_sha256, image_file, cx, cy, "
        "r, pixel_count, mean, stddev, min, max, standard, tolerance, verdict, elapsed_us, "
        "record_sha256, previous_sha256, frame FROM measurements")));
}

TEST_F(RecordDatabaseTest, UpgradesAnOlderSchemaAndKeepsItsChainIntact) {
    {
        RecordDatabase old(url, QStringLiteral("old"));
        ASSERT_TRUE(old.open());
        // Bring the file back to how version 1 left it.
        QSqlQuery drop(old.connection());
        ASSERT_TRUE(drop.exec(QStringLiteral("DROP TABLE measurements")));
        ASSERT_TRUE(drop.exec(QStringLiteral("DROP TABLE schema_version")));
        ASSERT_TRUE(drop.exec(QStringLiteral("DROP TABLE chain_forms")));
        QString error;
        ASSERT_TRUE(RecordSchema::ensure(old.connection(), &error, 1)) << error.toStdString();
        EXPECT_EQ(RecordSchema::version(old.connection()), 1);
        QSqlQuery insert(old.connection());
        InspectionRecord r = recordkit::sample(1);
        r.imageFile = QStringLiteral("");
        r.previousSha256 = RecordChain::genesis();
        r.recordSha256 = RecordChain::hashOf(r);
        insert.prepare(QStringLiteral(
            "INSERT INTO measurements (record_uuid, measured_at, utc_offset_s, station, operator, "
            "source, image_sha256, image_file, cx, cy, r, pixel_count, mean, stddev, min, max, "
            "standard, tolerance, verdict, elapsed_us, previous_sha256, record_sha256) VALUES "
            "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
        const QVariantList values{r.uuid,
                                  RecordCodec::timestampText(r.measuredAt),
                                  r.utcOffsetSeconds,
                                  r.station,
                                  r.operatorName,
                                  r.source,
                                  r.imageSha256,
                                  r.imageFile,
                                  r.cx,
                                  r.cy,
                                  r.r,
                                  r.pixelCount,
                                  r.mean,
                                  r.stddev,
                                  r.min,
                                  r.max,
                                  r.standard,
                                  r.tolerance,
                                  r.verdict,
                                  r.elapsedUs,
                                  r.previousSha256,
                                  r.recordSha256};
        for (int i = 0; i < values.size(); ++i) {
            insert.bindValue(i, values[i]);
        }
        ASSERT_TRUE(insert.exec());
    }
    RecordDatabase database(url, QStringLiteral("new"));
    ASSERT_TRUE(database.open()) << database.lastError().toStdString();
    EXPECT_EQ(RecordSchema::version(database.connection()), RecordSchema::kCurrentVersion);
    std::vector<InspectionRecord> more{recordkit::sample(2)};
    more[0].frame = 17;
    ASSERT_EQ(database.write(more), 1);
    const auto report = ChainVerifier::verifyAll(database.connection());
    EXPECT_TRUE(report.intact());
    EXPECT_EQ(report.records, 2);
}

// A database as the previous program version wrote it: schema 2, form-1 hashes.
TEST_F(RecordDatabaseTest, UpgradesADatabaseOfThePreviousVersionAndSealsFromThere) {
    {
        QSqlDatabase old =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v2"));
        old.setDatabaseName(url.path());
        ASSERT_TRUE(old.open());
        QSqlQuery q(old);
        for (const char* sql : {
                 "CREATE TABLE schema_version (version INTEGER NOT NULL)",
                 "INSERT INTO schema_version VALUES (2)",
                 "CREATE TABLE measurements (id INTEGER PRIMARY KEY AUTOINCREMENT, record_uuid "
                 "TEXT NOT NULL UNIQUE, measured_at TEXT NOT NULL, utc_offset_s INTEGER NOT NULL, "
                 "station TEXT NOT NULL, operator TEXT NOT NULL, source TEXT NOT NULL, "
                 "image_sha256 TEXT NOT NULL, image_file TEXT NOT NULL, cx DOUBLE PRECISION, cy "
                 "DOUBLE PRECISION, r DOUBLE PRECISION, pixel_count BIGINT, mean DOUBLE "
                 "PRECISION, stddev DOUBLE PRECISION, min DOUBLE PRECISION, max DOUBLE PRECISION, "
                 "standard DOUBLE PRECISION, tolerance DOUBLE PRECISION, verdict TEXT NOT NULL, "
                 "elapsed_us BIGINT, previous_sha256 TEXT NOT NULL, record_sha256 TEXT NOT NULL, "
                 "frame BIGINT)",
             }) {
            ASSERT_TRUE(q.exec(QLatin1String(sql))) << sql;
        }
        QString previous = RecordChain::genesis();
        for (int n = 1; n <= 3; ++n) {
            InspectionRecord r = recordkit::sample(n);
            r.previousSha256 = previous;
            r.recordSha256 = RecordChain::hashOf(r);
            previous = r.recordSha256;
            q.prepare(QStringLiteral(
                "INSERT INTO measurements (record_uuid, measured_at, utc_offset_s, station, "
                "operator, source, image_sha256, image_file, cx, cy, r, pixel_count, mean, "
                "stddev, min, max, standard, tolerance, verdict, elapsed_us, previous_sha256, "
                "record_sha256) VALUES (?,?,?,?,?,?,?,'',?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
            for (const QVariant& v : QVariantList{r.uuid,
                                                  RecordCodec::timestampText(r.measuredAt),
                                                  r.utcOffsetSeconds,
                                                  r.station,
                                                  r.operatorName,
                                                  r.source,
                                                  r.imageSha256,
                                                  r.cx,
                                                  r.cy,
                                                  r.r,
                                                  r.pixelCount,
                                                  r.mean,
                                                  r.stddev,
                                                  r.min,
                                                  r.max,
                                                  r.standard,
                                                  r.tolerance,
                                                  r.verdict,
                                                  r.elapsedUs,
                                                  r.previousSha256,
                                                  r.recordSha256}) {
                q.addBindValue(v);
            }
            ASSERT_TRUE(q.exec());
        }
        old.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v2"));

    RecordDatabase database(url, QStringLiteral("upgraded"));
    ASSERT_TRUE(database.open()) << database.lastError().toStdString();
    EXPECT_EQ(RecordSchema::version(database.connection()), RecordSchema::kCurrentVersion);
    std::vector<InspectionRecord> more{recordkit::sample(4)};
    more[0].circleName = QStringLiteral("穴1");
    ASSERT_EQ(database.write(more), 1);
    auto report = ChainVerifier::verifyAll(database.connection());
    EXPECT_TRUE(report.intact()) << report.brokenLinks;
    EXPECT_EQ(report.records, 4);
    EXPECT_EQ(recordkit::scalar(database, QStringLiteral("SELECT COUNT(*) FROM measurements "
                                                         "WHERE chain_form = 1")),
              3);

    // The old, unkeyed form is not accepted after the upgrade: a row forged with it shows.
    InspectionRecord forged = recordkit::sample(5);
    forged.previousSha256 = more[0].recordSha256;
    forged.recordSha256 = RecordChain::hashOf(forged);
    QSqlQuery insert(database.connection());
    insert.prepare(QStringLiteral(
        "INSERT INTO measurements (record_uuid, measured_at, utc_offset_s, station, operator, "
        "source, image_sha256, image_file, verdict, previous_sha256, record_sha256, chain_form) "
        "VALUES (?,?,?,?,?,?,?,'',?,?,?,1)"));
    for (const QVariant& v : QVariantList{
             forged.uuid, RecordCodec::timestampText(forged.measuredAt), forged.utcOffsetSeconds,
             forged.station, forged.operatorName, forged.source, forged.imageSha256, forged.verdict,
             forged.previousSha256, forged.recordSha256}) {
        insert.addBindValue(v);
    }
    ASSERT_TRUE(insert.exec());
    report = ChainVerifier::verifyAll(database.connection());
    EXPECT_EQ(report.brokenLinks, 1);
}

TEST_F(RecordDatabaseTest, RefusesADatabaseOfANewerProgram) {
    {
        RecordDatabase database(url, QStringLiteral("a"));
        ASSERT_TRUE(database.open());
        QSqlQuery(database.connection())
            .exec(QStringLiteral("UPDATE schema_version SET version = 99"));
    }
    RecordDatabase database(url, QStringLiteral("b"));
    EXPECT_FALSE(database.open());
    EXPECT_TRUE(database.lastError().contains(QStringLiteral("newer")));
}

TEST_F(RecordDatabaseTest, WritesEachUuidOnceAndChainsPerStation) {
    RecordDatabase database(url, QStringLiteral("test"));
    std::vector<InspectionRecord> batch;
    for (int n = 0; n < 6; ++n) {
        batch.push_back(recordkit::sample(n));
        batch.back().station = n % 2 ? QStringLiteral("line-2") : QStringLiteral("line-1");
    }
    std::vector<InspectionRecord> again = batch;
    ASSERT_EQ(database.write(batch), 6) << database.lastError().toStdString();
    EXPECT_EQ(database.write(again), 0);
    EXPECT_EQ(recordkit::rowCount(database), 6);
    EXPECT_EQ(batch[0].previousSha256, RecordChain::genesis());
    EXPECT_EQ(batch[1].previousSha256, RecordChain::genesis());
    EXPECT_EQ(batch[2].previousSha256, batch[0].recordSha256);
    EXPECT_EQ(batch[3].previousSha256, batch[1].recordSha256);
    const auto report = ChainVerifier::verifyAll(database.connection());
    EXPECT_TRUE(report.intact());
    EXPECT_EQ(report.stations, 2);
}

TEST_F(RecordDatabaseTest, VerificationFindsEditedRemovedAndReorderedRecords) {
    const struct {
        const char* what;
        const char* sql;
        qint64 brokenId;
    } cases[] = {
        {"edited mean", "UPDATE measurements SET mean = 130 WHERE id = 3", 3},
        {"edited verdict", "UPDATE measurements SET verdict = 'OK' WHERE id = 2", 2},
        {"removed record", "DELETE FROM measurements WHERE id = 2", 3},
        {"swapped hashes",
         "UPDATE measurements SET previous_sha256 = (SELECT record_sha256 FROM measurements "
         "WHERE id = 1) WHERE id = 4",
         4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testutils::Sandbox folder;
        RecordDatabase database(
            DatabaseUrl::sqliteFile(folder.filePath(QStringLiteral("m.sqlite"))),
            QStringLiteral("case"));
        std::vector<InspectionRecord> batch;
        for (int n = 1; n <= 5; ++n) {
            batch.push_back(
                recordkit::sample(n, n == 2 ? QStringLiteral("NG") : QStringLiteral("OK")));
        }
        ASSERT_EQ(database.write(batch), 5);
        std::vector<InspectionRecord> shown;
        ASSERT_TRUE(QSqlQuery(database.connection()).exec(QString::fromUtf8(c.sql)));
        const auto report = ChainVerifier::verifyAll(database.connection());
        EXPECT_FALSE(report.intact());
        EXPECT_EQ(report.brokenLinks, 1);
        ASSERT_FALSE(report.brokenIds.isEmpty());
        EXPECT_EQ(report.brokenIds.first(), c.brokenId);

        QSqlQuery rows(database.connection());
        ASSERT_TRUE(rows.exec(QStringLiteral("SELECT %1 FROM measurements ORDER BY id")
                                  .arg(RecordSchema::columnList())));
        while (rows.next()) {
            shown.push_back(RecordDatabase::fromRow(rows));
        }
        EXPECT_EQ(ChainVerifier::brokenAmong(database.connection(), shown),
                  QSet<qint64>{c.brokenId});
    }
}

} // namespace

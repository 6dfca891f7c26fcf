// Standard library
#include <sys/mount.h>
#include <unistd.h>
#include <vector>

// Qt
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

// Ours
#include "ChainVerifier.h"
#include "ImageArchive.h"
#include "RecordChain.h"
#include "RecordCodec.h"
#include "RecordLocations.h"
#include "RecordSchema.h"
#include "RecordSpool.h"
#include "RecordStore.h"
#include "RecordTestKit.h"

#include <gtest/gtest.h>

namespace {

using Kind = RecordState::Kind;

class RecordStoreTest : public ::testing::Test {
protected:
    testutils::Sandbox sandbox;
    DatabaseUrl url = DatabaseUrl::sqliteFile(sandbox.filePath(QStringLiteral("m.sqlite")));
    RecordConfig config = recordkit::config(sandbox.path(), url);

    QString spoolPath() const { return RecordLocations::spoolFileFor(config.spoolFolder, url); }
};

TEST_F(RecordStoreTest, WritesOffTheCallersThreadAndFillsInWhoAndWhen) {
    {
        RecordStore store(config);
        InspectionRecord r = recordkit::sample(1);
        r.uuid.clear();
        r.station.clear();
        r.operatorName.clear();
        r.measuredAt = QDateTime();
        store.record(r);
        ASSERT_TRUE(store.waitUntilSettled(recordkit::kSettle));
        EXPECT_EQ(store.state().kind, Kind::Ok);
    }
    RecordDatabase database(url, QStringLiteral("check"));
    ASSERT_TRUE(database.open());
    QSqlQuery query(database.connection());
    ASSERT_TRUE(query.exec(QStringLiteral("SELECT station, operator, record_uuid, measured_at "
                                          "FROM measurements")));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toString(), QStringLiteral("line-1"));
    EXPECT_EQ(query.value(1).toString(), QStringLiteral("tester"));
    EXPECT_EQ(query.value(2).toString().size(), 36);
    EXPECT_TRUE(query.value(3).toString().endsWith(u'Z'));
}

TEST_F(RecordStoreTest, LockedFileSpoolsThenReplaysInOrderOnce) {
    RecordDatabase holder(url, QStringLiteral("holder"));
    ASSERT_TRUE(holder.open());
    QSqlQuery lock(holder.connection());
    ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));

    RecordStore store(config, nullptr, std::chrono::milliseconds(100));
    for (int n = 0; n < 5; ++n) {
        store.record(recordkit::sample(n));
    }
    ASSERT_TRUE(store.waitUntilSettled(recordkit::kSettle));
    EXPECT_EQ(store.state().kind, Kind::Spooling);
    EXPECT_EQ(store.state().spooled, 5);
    EXPECT_FALSE(store.state().text.isEmpty());
    EXPECT_EQ(RecordSpool(spoolPath()).count(), 5);

    ASSERT_TRUE(lock.exec(QStringLiteral("COMMIT")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return store.state().kind == Kind::Ok; }, 20000));
    EXPECT_EQ(recordkit::rowCount(holder), 5);
    EXPECT_EQ(RecordSpool(spoolPath()).count(), 0);
    QSqlQuery order(holder.connection());
    ASSERT_TRUE(order.exec(QStringLiteral("SELECT cx FROM measurements ORDER BY id")));
    for (int n = 0; order.next(); ++n) {
        EXPECT_EQ(order.value(0).toInt(), 100 + n);
    }
    EXPECT_TRUE(ChainVerifier::verifyAll(holder.connection()).intact());
}

TEST_F(RecordStoreTest, ReplayAfterACrashBetweenInsertAndClearWritesNothingTwice) {
    std::vector<InspectionRecord> records{recordkit::sample(1), recordkit::sample(2)};
    RecordSpool spool(spoolPath());
    ASSERT_TRUE(spool.lock());
    ASSERT_TRUE(spool.append(records, nullptr));
    spool.unlock();
    RecordDatabase database(url, QStringLiteral("crashed"));
    std::vector<InspectionRecord> committed = records; // committed, spool not yet cleared
    ASSERT_EQ(database.write(committed), 2);

    {
        RecordStore store(config);
        store.record(recordkit::sample(3));
        ASSERT_TRUE(store.waitUntilSettled(recordkit::kSettle));
    }
    EXPECT_EQ(recordkit::rowCount(database), 3);
    EXPECT_EQ(RecordSpool(spoolPath()).count(), 0);
    EXPECT_TRUE(ChainVerifier::verifyAll(database.connection()).intact());
}

TEST_F(RecordStoreTest, TornLastSpoolLineIsDroppedAndTheRestReplays) {
    RecordSpool spool(spoolPath());
    ASSERT_TRUE(spool.lock());
    ASSERT_TRUE(spool.append({recordkit::sample(1), recordkit::sample(2)}, nullptr));
    spool.unlock();
    {
        QFile file(spoolPath());
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(RecordCodec::toSpoolLine(recordkit::sample(3)).left(40));
    }
    EXPECT_EQ(spool.readAll().size(), 2u);
    ASSERT_TRUE(spool.lock());
    ASSERT_TRUE(spool.append({recordkit::sample(4)}, nullptr));
    spool.unlock();
    const auto waiting = spool.readAll();
    ASSERT_EQ(waiting.size(), 3u);
    EXPECT_EQ(waiting[2].uuid, recordkit::sample(4).uuid);
    EXPECT_EQ(waiting[0].source, recordkit::sample(1).source);
    EXPECT_DOUBLE_EQ(waiting[1].mean, recordkit::sample(2).mean);
}

TEST_F(RecordStoreTest, ArchivesNgImagesOnceAndOkImagesOnlyWhenAsked) {
    QByteArray pixels(512 * 480, '\0');
    for (qsizetype i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<char>(i % 251);
    }
    const QString sha = ImageArchive::pixelHash(pixels);
    auto judged = [&](int n, const char* verdict) {
        InspectionRecord r = recordkit::sample(n, QString::fromLatin1(verdict));
        r.imageSha256.clear();
        r.pixels = pixels;
        r.imageWidth = 512;
        r.imageHeight = 480;
        return r;
    };
    for (const bool keepOk : {false, true}) {
        SCOPED_TRACE(keepOk);
        testutils::Sandbox folder;
        RecordConfig c = recordkit::config(
            folder.path(), DatabaseUrl::sqliteFile(folder.filePath(QStringLiteral("m.sqlite"))));
        c.keepOkImages = keepOk;
        {
            RecordStore store(c);
            store.record(judged(1, "OK"));
            store.record(judged(2, "NG"));
            store.record(judged(3, "NG"));
            ASSERT_TRUE(store.waitUntilSettled(recordkit::kSettle));
        }
        RecordDatabase database(c.url, QStringLiteral("check"));
        ASSERT_TRUE(database.open());
        QSqlQuery query(database.connection());
        ASSERT_TRUE(query.exec(QStringLiteral("SELECT verdict, image_sha256, image_file FROM "
                                              "measurements ORDER BY id")));
        std::vector<QString> files;
        while (query.next()) {
            EXPECT_EQ(query.value(1).toString(), sha);
            files.push_back(query.value(2).toString());
        }
        ASSERT_EQ(files.size(), 3u);
        EXPECT_EQ(files[0].isEmpty(), !keepOk);
        EXPECT_EQ(files[1], sha + QStringLiteral(".bmp"));
        EXPECT_EQ(files[2], files[1]);
        const QImage image(ImageArchive(c.archiveFolder).pathOf(files[1]));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(512, 480));
        EXPECT_EQ(image.depth(), 8);
        EXPECT_EQ(qGray(image.pixel(10, 0)), 10);
        EXPECT_EQ(qGray(image.pixel(0, 1)), 512 % 251);
        EXPECT_EQ(QDir(c.archiveFolder).entryList(QDir::Files).size(), 1);
    }
}

TEST_F(RecordStoreTest, SignalsOnlyWhenTheStateChanges) {
    RecordStore store(config);
    QSignalSpy states(&store, &RecordStore::stateChanged);
    for (int n = 0; n < 20; ++n) {
        store.record(recordkit::sample(n));
    }
    ASSERT_TRUE(store.waitUntilSettled(recordkit::kSettle));
    // The first report after start, then nothing for twenty records written without fault.
    EXPECT_LE(states.count(), 1);
    EXPECT_EQ(store.state().kind, Kind::Ok);
}

TEST_F(RecordStoreTest, ARecordIsInTheDatabaseOrTheFlushedSpoolWhenRecordReturns) {
    RecordStore store(config, nullptr, std::chrono::minutes(10));
    ASSERT_TRUE(store.record(recordkit::sample(1)));
    {
        RecordDatabase database(url, QStringLiteral("check"));
        ASSERT_TRUE(database.open());
        EXPECT_EQ(recordkit::rowCount(database), 1);
    }
    RecordDatabase holder(url, QStringLiteral("holder"));
    ASSERT_TRUE(holder.open());
    QSqlQuery lock(holder.connection());
    ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
    const qint64 first = store.submit(recordkit::sample(2));
    const qint64 second = store.submit(recordkit::sample(3));
    EXPECT_EQ(second, first + 1);
    ASSERT_TRUE(store.waitUntilKept(second, recordkit::kSettle));
    EXPECT_TRUE(store.isKept(first));
    // Kept means on the disk: in the spool, as the database was locked.
    const auto waiting = RecordSpool(spoolPath()).readAll();
    ASSERT_EQ(waiting.size(), 2u);
    EXPECT_EQ(waiting[1].uuid, recordkit::sample(3).uuid);
    lock.exec(QStringLiteral("ROLLBACK"));
}

TEST_F(RecordStoreTest, TheNewFieldsAreStoredSpooledSealedAndReadBack) {
    InspectionRecord r = recordkit::sample(1);
    r.recipe = QStringLiteral("品番A");
    r.inspectionUuid = QStringLiteral("11111111-2222-4333-8444-555555555555");
    r.circleName = QStringLiteral("穴1");
    r.partVerdict = QStringLiteral("NG");
    const auto line = RecordCodec::fromSpoolLine(RecordCodec::toSpoolLine(r));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->recipe, r.recipe);
    EXPECT_EQ(line->inspectionUuid, r.inspectionUuid);
    EXPECT_EQ(line->circleName, r.circleName);
    EXPECT_EQ(line->partVerdict, r.partVerdict);
    RecordDatabase database(url, QStringLiteral("new"));
    std::vector<InspectionRecord> batch{r};
    ASSERT_EQ(database.write(batch), 1);
    QSqlQuery query(database.connection());
    ASSERT_TRUE(
        query.exec(QStringLiteral("SELECT %1 FROM measurements").arg(RecordSchema::columnList())));
    ASSERT_TRUE(query.next());
    const InspectionRecord back = RecordDatabase::fromRow(query);
    EXPECT_EQ(back.recipe, r.recipe);
    EXPECT_EQ(back.inspectionUuid, r.inspectionUuid);
    EXPECT_EQ(back.circleName, r.circleName);
    EXPECT_EQ(back.partVerdict, r.partVerdict);
    EXPECT_EQ(back.chainForm, RecordChain::kSealedForm);
    query.finish();
    EXPECT_TRUE(ChainVerifier::verifyAll(database.connection()).intact());
    // The seal covers them: a changed part verdict breaks it.
    ASSERT_TRUE(QSqlQuery(database.connection())
                    .exec(QStringLiteral("UPDATE measurements SET part_verdict = 'OK'")));
    EXPECT_FALSE(ChainVerifier::verifyAll(database.connection()).intact());
}

TEST_F(RecordStoreTest, AnNgImageTheArchiveCannotTakeWaitsWithItsRecord) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    }
    QDir().mkpath(config.archiveFolder);
    const QByteArray folder = QFile::encodeName(config.archiveFolder);
    if (::mount("tmpfs", folder.constData(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here";
    }
    QByteArray pixels(512 * 480, '\0');
    for (qsizetype i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<char>(i % 253);
    }
    InspectionRecord r = recordkit::sample(1, QStringLiteral("NG"));
    r.imageSha256.clear();
    r.pixels = pixels;
    r.imageWidth = 512;
    r.imageHeight = 480;
    RecordStore store(config, nullptr, std::chrono::milliseconds(100));
    ASSERT_TRUE(store.record(r));
    ASSERT_TRUE(store.waitUntilSettled(recordkit::kSettle));
    EXPECT_EQ(store.state().kind, Kind::Spooling);
    EXPECT_TRUE(store.state().text.contains(QStringLiteral("No space left")))
        << store.state().text.toStdString();
    EXPECT_EQ(RecordSpool(spoolPath()).count(), 1);
    ::umount2(folder.constData(), MNT_DETACH);
    // Room again: the image and then its record are written.
    ASSERT_TRUE(QTest::qWaitFor([&] { return store.state().kind == Kind::Ok; }, 20000));
    RecordDatabase database(url, QStringLiteral("check"));
    ASSERT_TRUE(database.open());
    QSqlQuery query(database.connection());
    ASSERT_TRUE(query.exec(QStringLiteral("SELECT image_file, image_sha256 FROM measurements")));
    ASSERT_TRUE(query.next());
    const QString file = query.value(0).toString();
    ASSERT_FALSE(file.isEmpty());
    QString error;
    EXPECT_EQ(ImageArchive(config.archiveFolder).hashOfFile(file, &error),
              query.value(1).toString())
        << error.toStdString();
}

} // namespace

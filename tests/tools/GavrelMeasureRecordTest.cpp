// gavrel-measure and the inspection record, run as a shell would against SQLite files, with
// the user's data folder (and so the spool) inside the sandbox.

// Standard library
#include <map>
#include <utility>
#include <vector>

// Qt
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

// GoogleTest
#include <gtest/gtest.h>

// Ours
#include "CsvReader.h"
#include "ProgramRun.h"
#include "ShippedSamples.h"
#include "testutils.h"

namespace {

const QByteArray kBom = QByteArrayLiteral("\xEF\xBB\xBF");

using testutils::ProgramRun;

using testutils::readCsv;

class GavrelMeasureRecordTest : public testing::Test {
protected:
    ProgramRun run(const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), sandbox.filePath(QStringLiteral("home")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"),
                           sandbox.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           sandbox.filePath(QStringLiteral("config")));
        process.setProcessEnvironment(environment);
        return testutils::runToEnd(process,
                                   QStringList{QStringLiteral(GAVREL_MEASURE_PROGRAM)} + arguments);
    }

    QString sample(const char* name, const QString& as) {
        const QString path = sandbox.filePath(as);
        QFile::copy(shipped::image(QLatin1String(name)), path);
        return path;
    }
    QString flat() { return sample("flat-128_512x480_grey8.bmp", QStringLiteral("検査,一.bmp")); }
    QString disc() {
        return sample("disc-200-at-100-100-radius-60-on-50_512x480_grey8.bmp",
                      QStringLiteral("disc.bmp"));
    }

    // The exported records, each as column name -> value.
    std::vector<std::map<QString, QString>> exported(const QStringList& extra = {}) {
        const ProgramRun result = run(QStringList{QStringLiteral("--export"), url} + extra);
        EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
        EXPECT_TRUE(result.output.startsWith(kBom));
        const std::vector<QStringList> rows = readCsv(QString::fromUtf8(result.output.mid(3)));
        std::vector<std::map<QString, QString>> records;
        for (std::size_t i = 1; i < rows.size(); ++i) {
            std::map<QString, QString>& record = records.emplace_back();
            for (qsizetype c = 0; c < rows[0].size(); ++c) {
                record[rows[0][c]] = rows[i].value(c);
            }
        }
        return records;
    }

    testutils::Sandbox sandbox;
    const QString file = sandbox.filePath(QStringLiteral("line/measurements.sqlite"));
    const QString url = QStringLiteral("sqlite://") + file;
};

TEST_F(GavrelMeasureRecordTest, RecordedRowsComeBackThroughTheExport) {
    QDir().mkpath(sandbox.filePath(QStringLiteral("line")));
    const QString ok = flat();
    const QString ng = disc();
    const ProgramRun measured = run({QStringLiteral("--record"), url, QStringLiteral("--circle"),
                                     QStringLiteral("100,100,50"), ok, ng});
    EXPECT_EQ(measured.exitCode, 1) << measured.errors.toStdString(); // one NG row
    EXPECT_EQ(measured.output.count('\n'), 3) << "the rows are still written as before";

    const auto records = exported();
    ASSERT_EQ(records.size(), 2u);
    const struct {
        QString source, mean, verdict;
        bool archived;
    } expected[] = {{ok, QStringLiteral("128"), QStringLiteral("OK"), false},
                    {ng, QStringLiteral("200"), QStringLiteral("NG"), true}};
    for (std::size_t i = 0; i < records.size(); ++i) {
        auto record = records[i];
        SCOPED_TRACE(record[QStringLiteral("source")].toStdString());
        EXPECT_EQ(record[QStringLiteral("source")], expected[i].source);
        EXPECT_EQ(record[QStringLiteral("cx")] + u',' + record[QStringLiteral("cy")] + u',' +
                      record[QStringLiteral("r")],
                  QStringLiteral("100,100,50"));
        EXPECT_EQ(record[QStringLiteral("pixel_count")], QStringLiteral("7845"));
        EXPECT_EQ(record[QStringLiteral("mean")], expected[i].mean);
        EXPECT_EQ(record[QStringLiteral("verdict")], expected[i].verdict);
        EXPECT_EQ(record[QStringLiteral("image_sha256")].size(), 64);
        EXPECT_EQ(!record[QStringLiteral("image_file")].isEmpty(), expected[i].archived);
    }

    // The time range, and a file that holds what standard output held.
    EXPECT_TRUE(exported({QStringLiteral("--since"), QStringLiteral("2999-01-01")}).empty());
    EXPECT_EQ(exported({QStringLiteral("--until"), QStringLiteral("2999-01-01T00:00:00Z")}).size(),
              2u);
    const QString csv = sandbox.filePath(QStringLiteral("out.csv"));
    EXPECT_EQ(run({QStringLiteral("--export"), url, QStringLiteral("--output"), csv}).exitCode, 0);
    EXPECT_EQ(testutils::readAll(csv), run({QStringLiteral("--export"), url}).output);
}

TEST_F(GavrelMeasureRecordTest, VerifyFailsOnceARowIsEditedBehindTheProgramsBack) {
    QDir().mkpath(sandbox.filePath(QStringLiteral("line")));
    run({QStringLiteral("--record"), url, flat(), disc()});
    const ProgramRun intact = run({QStringLiteral("--verify"), url});
    EXPECT_EQ(intact.exitCode, 0) << intact.errors.toStdString();
    {
        QSqlDatabase database =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tamper"));
        database.setDatabaseName(file);
        ASSERT_TRUE(database.open());
        QSqlQuery edit(database);
        ASSERT_TRUE(edit.exec(QStringLiteral("UPDATE measurements SET mean = 130 WHERE id = 1")));
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("tamper"));
    const ProgramRun broken = run({QStringLiteral("--verify"), url});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_TRUE(broken.errors.contains("record 1")) << broken.errors.toStdString();
}

TEST_F(GavrelMeasureRecordTest, RowsThatCannotBeWrittenWaitAndAreWrittenOnceByTheNextRun) {
    ASSERT_EQ(run({QStringLiteral("--record"), url, flat()}).exitCode, 0);
    ASSERT_EQ(exported().size(), 1u);
    ProgramRun blocked;
    {
        // Another program holds the file's write lock past the wait: the row waits.
        QSqlDatabase holder =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(file);
        ASSERT_TRUE(holder.open());
        QSqlQuery lock(holder);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        blocked = run({QStringLiteral("--record"), url, flat()});
        lock.exec(QStringLiteral("COMMIT"));
        lock.finish();
        holder.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    EXPECT_EQ(blocked.exitCode, 0);
    EXPECT_TRUE(blocked.errors.contains("spool")) << blocked.errors.toStdString();
    EXPECT_EQ(blocked.output.count('\n'), 2); // header and the row, once it was spooled

    ASSERT_EQ(run({QStringLiteral("--record"), url, disc()}).exitCode, 1);
    auto records = exported();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1][QStringLiteral("verdict")], QStringLiteral("OK")); // the spooled row first
    EXPECT_EQ(records[2][QStringLiteral("verdict")], QStringLiteral("NG"));

    run({QStringLiteral("--record"), url, disc()});
    EXPECT_EQ(exported().size(), 4u);
}

TEST_F(GavrelMeasureRecordTest, WrongUseIsRefusedAndAMissingDatabaseIsAnError) {
    const QString image = flat();
    const std::vector<QStringList> usage = {
        {QStringLiteral("--export"), url, image},
        {QStringLiteral("--verify"), url, QStringLiteral("--record"), url},
        {QStringLiteral("--since"), QStringLiteral("2026-01-01"), image},
        {QStringLiteral("--export"), url, QStringLiteral("--until"), QStringLiteral("soon")},
        {QStringLiteral("--record"), QStringLiteral("mysql://db"), image},
    };
    for (const QStringList& arguments : usage) {
        const ProgramRun result = run(arguments);
        EXPECT_EQ(result.exitCode, 64) << arguments.join(u' ').toStdString();
        EXPECT_FALSE(result.errors.isEmpty());
    }
    for (const char* command : {"--export", "--verify"}) {
        const ProgramRun result = run({QLatin1String(command), url});
        EXPECT_EQ(result.exitCode, 2) << command;
        EXPECT_TRUE(result.errors.contains("no such database")) << result.errors.toStdString();
        EXPECT_FALSE(QFile::exists(file)) << "reading creates no database";
    }
}

} // namespace

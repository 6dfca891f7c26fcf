// The window's settled measurements go into a real SQLite record, through the store, the
// recorder and the window wired as the program wires them.

// Standard library
#include <algorithm>
#include <functional>
#include <memory>

// Qt
#include <QFile>
#include <QSqlQuery>

// Ours
#include "FileListBox.h"
#include "InspectionRecorder.h"
#include "PelmintBinding.h"
#include "ProgramFolder.h"
#include "RecordStore.h"
#include "ServiceFakes.h"
#include "ShippedSamples.h"
#include "WindowProbe.h"
#include "dialogs/DialogTestKit.h"
#include "record/RecordTestKit.h"

#include <gtest/gtest.h>

using namespace dialogtest;

namespace {

const QString kDiscSample = QStringLiteral("disc-200-at-100-100-radius-60-on-50_512x480_grey8.bmp");

struct Stored {
    QString source;
    qint64 frame = 0;
    double cx = 0, cy = 0, r = 0;
    qint64 count = 0;
    double mean = 0;
    QString verdict;
    QString sha;
    double standard = 0, tolerance = 0;
};

class InspectionRecorderTest : public testing::Test {
protected:
    InspectionRecorderTest()
        : folder(volumes.mkdir(QStringLiteral("volA/gavrel"))),
          pelmint(std::make_shared<PelmintBinding>(folder)),
          url(DatabaseUrl::sqliteFile(records.filePath(QStringLiteral("measurements.sqlite")))),
          store(recordkit::config(records.path(), url)), recorder(&store),
          pelmintLinked_(linkPelmint(folder)) {
        QFile::copy(shipped::image(kDiscSample), folder + QDir::separator() + kDiscSample);
    }

    void SetUp() override { ASSERT_TRUE(pelmintLinked_); }

    // Pelmint beside the program, as installed, in the folder that stands for the program's.
    static bool linkPelmint(const QString& folder) {
        const QString pelmint = PelmintBinding::fileNameFor(QStringLiteral("Pelmint"));
        return QFile::link(ProgramFolder::path() + QDir::separator() + pelmint,
                           folder + QDir::separator() + pelmint);
    }

    void start(const QString& camera = QString()) {
        Services services = fakes::services(messages, camera);
        services.volumes = volumes.list();
        services.programFolder = folder;
        services.pelmint = pelmint;
        window = std::make_unique<frmMain>(services);
        window->setRecorder(&recorder);
        window->Form_Load();
    }

    void fill(std::uint8_t value) {
        KeshImage& image = window->KeshImage1;
        std::fill_n(image.bufferAddress(), image.bytesPerLine() * image.height(), value);
    }

    void load(const QString& name) {
        whileShown(
            QStringLiteral("frmFileLoad"), [this] { probe::click(*window, "cmdLoadImage"); },
            [&](QDialog& dialog) {
                clickItem(*dialog.findChild<FileListBox*>(QStringLiteral("filFile")), name);
                QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cmdOK")),
                                  Qt::LeftButton);
            });
    }

    // Every record written so far, oldest first.
    std::vector<Stored> stored() {
        EXPECT_TRUE(store.waitUntilSettled(recordkit::kSettle));
        RecordDatabase database(url, QStringLiteral("check"));
        EXPECT_TRUE(database.open()) << database.lastError().toStdString();
        QSqlQuery q(database.connection());
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT source, frame, cx, cy, r, pixel_count, mean, "
                                          "verdict, image_sha256, standard, tolerance "
                                          "FROM measurements ORDER BY id")));
        std::vector<Stored> rows;
        while (q.next()) {
            rows.push_back({q.value(0).toString(), q.value(1).toLongLong(), q.value(2).toDouble(),
                            q.value(3).toDouble(), q.value(4).toDouble(), q.value(5).toLongLong(),
                            q.value(6).toDouble(), q.value(7).toString(), q.value(8).toString(),
                            q.value(9).toDouble(), q.value(10).toDouble()});
        }
        return rows;
    }

    QString shown(const char* box) {
        if (auto* label = window->findChild<QLabel*>(QString::fromLatin1(box))) {
            return label->text();
        }
        return probe::child<QLineEdit>(*window, box)->text();
    }

    // The record says what the window shows, field by field, and holds the limits of the
    // judgement on screen.
    void expectAsShown(const Stored& row, double standard, double tolerance) {
        EXPECT_EQ(QString::number(row.cx), shown("lblCircleCenterX"));
        EXPECT_EQ(QString::number(row.cy), shown("lblCircleCenterY"));
        EXPECT_EQ(QString::number(row.r), shown("lblCircleRadius"));
        EXPECT_EQ(QString::number(row.mean, 'f', 1), shown("txtAverageDensity"));
        EXPECT_EQ(row.verdict, shown("lblJudge"));
        EXPECT_EQ(row.standard, standard);
        EXPECT_EQ(row.tolerance, tolerance);
        const Judgement* judged = window->inspection().last();
        ASSERT_NE(judged, nullptr);
        EXPECT_EQ(row.mean, judged->circles[0].mean);
    }

    std::shared_ptr<fakes::MessageRecorder> messages = std::make_shared<fakes::MessageRecorder>();
    Volumes volumes;
    const QString folder;
    std::shared_ptr<PelmintBinding> pelmint;
    testutils::Sandbox records;
    DatabaseUrl url;
    RecordStore store;
    InspectionRecorder recorder;
    std::unique_ptr<frmMain> window;

private:
    const bool pelmintLinked_;
};

TEST_F(InspectionRecorderTest, EachSettlePointAddsExactlyOneRecordWithWhatWasJudged) {
    start();
    // The start-up circle, kept to come back to before the load.
    const QString startSetUp = records.filePath(QStringLiteral("start.gavrel-recipe"));
    ASSERT_TRUE(window->saveRecipe(startSetUp));
    const QString loadedPath = folder + QDir::separator() + kDiscSample;
    struct Case {
        const char* name;
        std::function<void()> act;
        std::vector<double> circle;
        double mean;
        const char* verdict;
        QString source;
    };
    const std::vector<Case> cases = {
        {"drag",
         [&] {
             fill(128);
             probe::mouse(*window, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton,
                          {200, 150});
             for (const QPoint at : {QPoint(205, 155), QPoint(215, 165), QPoint(220, 170)}) {
                 probe::mouse(*window, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, at);
             }
             // Intermediate steps are measured but never recorded.
             EXPECT_TRUE(stored().empty());
             probe::mouse(*window, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton,
                          {220, 170});
         },
         {220, 170, 50},
         128,
         "OK",
         QString()},
        {"再計算",
         [&] {
             fill(250);
             probe::click(*window, "cmdRecalc");
         },
         {220, 170, 50},
         250,
         "NG",
         QString()},
        {"load",
         [&] {
             ASSERT_TRUE(window->openRecipe(startSetUp));
             load(kDiscSample);
         },
         {100, 100, 50},
         200,
         "NG",
         loadedPath},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        cases[i].act();
        const std::vector<Stored> rows = stored();
        ASSERT_EQ(rows.size(), i + 1);
        const Stored& row = rows.back();
        expectAsShown(row, 128, 20);
        EXPECT_EQ(std::vector<double>({row.cx, row.cy, row.r}), cases[i].circle);
        EXPECT_DOUBLE_EQ(row.mean, cases[i].mean);
        EXPECT_GT(row.count, 7000);
        EXPECT_EQ(row.verdict, QString::fromLatin1(cases[i].verdict));
        EXPECT_EQ(row.source, cases[i].source);
        EXPECT_EQ(row.sha.size(), 64);
    }
    EXPECT_TRUE(messages->records().empty());
}

TEST_F(InspectionRecorderTest, AGrabRecordsTheCameraFileAndFrame) {
    const QString camera = volumes.sandbox.write(
        QStringLiteral("camera.ini"), "[Video]\nPipeline=videotestsrc pattern=white is-live=true"
                                      "\nOpenTimeoutMs=3000\nCaptureTimeoutMs=1000\n");
    start(camera);
    ASSERT_TRUE(probe::child<QPushButton>(*window, "cmdGrab")->isEnabled());
    EXPECT_TRUE(stored().empty()); // opening the camera settles nothing

    probe::click(*window, "cmdGrab");
    const std::vector<Stored> rows = stored();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].source, camera);
    EXPECT_EQ(rows[0].frame, 2); // the first frame was taken when the camera opened
    EXPECT_GT(rows[0].mean, 200);
    EXPECT_EQ(rows[0].verdict, QStringLiteral("NG"));
}

TEST_F(InspectionRecorderTest, ARecordNeverContradictsTheScreen) {
    start();
    fill(120);
    QLineEdit* standard = probe::child<QLineEdit>(*window, "txtStandard");
    struct Case {
        const char* name;
        std::function<void()> act;
        std::size_t records; // after the act
        const char* shownVerdict;
        double standard; // of the last record
    };
    const auto rightClick = [&] {
        probe::mouse(*window, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton,
                     {300, 300});
        probe::mouse(*window, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton,
                     {300, 300});
    };
    const Case cases[] = {
        {"再計算", [&] { probe::click(*window, "cmdRecalc"); }, 1, "OK", 128},
        // A standard typed but not applied by a measurement is in no judgement.
        {"a typed standard, then a right click without a move",
         [&] {
             standard->setText(QStringLiteral("100"));
             rightClick();
         },
         1, "OK", 128},
        {"a left click on the circle's own centre measures nothing new",
         [&] {
             probe::mouse(*window, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton,
                          {100, 100});
             probe::mouse(*window, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton,
                          {100, 100});
         },
         2, "NG", 100}, // the press measured: the typed standard took effect and judged NG
        {"再計算 with nothing changed", [&] { probe::click(*window, "cmdRecalc"); }, 2, "NG", 100},
        {"a key nudge and its release",
         [&] {
             QTest::keyPress(window->KeshDisplayEx1, Qt::Key_Right);
             standard->setText(QStringLiteral("128")); // typed meanwhile, not applied
             QTest::keyRelease(window->KeshDisplayEx1, Qt::Key_Right);
         },
         3, "NG", 100},
        {"再計算 applies the typed standard", [&] { probe::click(*window, "cmdRecalc"); }, 4, "OK",
         128},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.act();
        const std::vector<Stored> rows = stored();
        ASSERT_EQ(rows.size(), c.records);
        EXPECT_EQ(shown("lblJudge"), QString::fromLatin1(c.shownVerdict));
        expectAsShown(rows.back(), c.standard, 20);
    }
}

TEST_F(InspectionRecorderTest, NothingIsRecordedWithoutAStoreOrWhenNothingWasMeasured) {
    start();
    InspectionRecorder withoutStore(nullptr);
    Judgement judged = *window->inspection().last();
    EXPECT_FALSE(withoutStore.record(judged));

    judged.circles[0].verdict = Verdict::Rejected; // a circle the library refused
    judged.circles[0].statistics.reset();
    EXPECT_FALSE(recorder.record(judged));
    EXPECT_TRUE(judged.inspectionUuid.isEmpty());
    EXPECT_TRUE(stored().empty());
}

TEST_F(InspectionRecorderTest, AJudgementNamesItsRecordsOnlyOnceTheyAreKept) {
    start();
    Judgement judged = *window->inspection().last();
    judged.circles[0].statistics = PixelStatistics{7845, 128.0, 0.0, 128, 128};
    // Neither the database nor the spool can be written under a plain file.
    const QString blocker = records.write(QStringLiteral("blocker"), "not a folder");
    RecordStore unwritable(recordkit::config(
        blocker, DatabaseUrl::sqliteFile(blocker + QStringLiteral("/measurements.sqlite"))));
    InspectionRecorder failing(&unwritable);
    Judgement lost = judged;
    EXPECT_FALSE(failing.record(lost));
    EXPECT_TRUE(lost.inspectionUuid.isEmpty());
    EXPECT_TRUE(lost.circles[0].recordUuid.isEmpty());

    Judgement kept = judged;
    ASSERT_TRUE(recorder.record(kept));
    EXPECT_FALSE(kept.inspectionUuid.isEmpty());
    EXPECT_FALSE(kept.circles[0].recordUuid.isEmpty());
    EXPECT_EQ(stored().size(), 1u);
}

} // namespace

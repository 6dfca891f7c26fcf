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
};

class InspectionRecorderTest : public testing::Test {
protected:
    InspectionRecorderTest()
        : folder(volumes.mkdir(QStringLiteral("volA/gavrel"))),
          pelmint(std::make_shared<PelmintBinding>(folder)),
          url(DatabaseUrl::sqliteFile(records.filePath(QStringLiteral("measurements.sqlite")))),
          store(recordkit::config(records.path(), url)), recorder(&store, *pelmint),
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
                                          "verdict, image_sha256 FROM measurements ORDER BY id")));
        std::vector<Stored> rows;
        while (q.next()) {
            rows.push_back({q.value(0).toString(), q.value(1).toLongLong(), q.value(2).toDouble(),
                            q.value(3).toDouble(), q.value(4).toDouble(), q.value(5).toLongLong(),
                            q.value(6).toDouble(), q.value(7).toString(), q.value(8).toString()});
        }
        return rows;
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

TEST_F(InspectionRecorderTest, NothingIsRecordedWithoutAStoreOrForARejectedCircle) {
    KeshImage image;
    CircleFigure circle;
    circle.setCenterX(100);
    circle.setCenterY(100);
    circle.setRadius(50);
    InspectionRecorder withoutStore(nullptr, *pelmint);
    EXPECT_FALSE(withoutStore.record(image, circle, QStringLiteral("128"), QStringLiteral("20")));

    circle.setCenterX(-5000); // covers no pixel: the window shows エラー
    EXPECT_FALSE(recorder.record(image, circle, QStringLiteral("128"), QStringLiteral("20")));
    EXPECT_TRUE(stored().empty());

    circle.setCenterX(100);
    EXPECT_TRUE(recorder.record(image, circle, QStringLiteral("128"), QStringLiteral("20")));
    EXPECT_EQ(stored().size(), 1u);
}

} // namespace

// Standard library
#include <algorithm>
#include <vector>

// Qt
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProcess>
#include <QPushButton>
#include <QScatterSeries>
#include <QScrollBar>
#include <QSettings>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTimeZone>
#include <QValueAxis>

// Ours
#include "CapabilityPane.h"
#include "CapabilityText.h"
#include "ImageArchive.h"
#include "RecordChartView.h"
#include "RecordDatabase.h"
#include "RecordPageModel.h"
#include "RecordSettings.h"
#include "frmMeasurementRecord.h"
#include "frmRecordSettings.h"
#include "testutils.h"

#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

InspectionRecord judged(int n) {
    InspectionRecord r;
    r.uuid = QStringLiteral("00000000-0000-4000-8000-%1").arg(n, 12, 10, QChar(u'0'));
    r.measuredAt = QDateTime::fromMSecsSinceEpoch(1767225600000LL + n * 60000LL, QTimeZone::utc());
    r.station = n % 2 ? QStringLiteral("検査台B") : QStringLiteral("検査台A");
    r.operatorName = QStringLiteral("山田");
    r.source = QStringLiteral("画像%1.bmp").arg(n);
    r.imageSha256 = QString(64, u'c');
    r.imageFile = QStringLiteral("");
    r.mean = n % 10 == 0 ? 100.0 : 130.0;
    r.standard = 128;
    r.tolerance = 20;
    r.verdict = n % 10 == 0 ? QStringLiteral("NG") : QStringLiteral("OK");
    return r;
}

class frmMeasurementRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        config.url = DatabaseUrl::sqliteFile(sandbox.filePath(QStringLiteral("m.sqlite")));
        config.archiveFolder = sandbox.filePath(QStringLiteral("archive"));
        RecordDatabase database(config.url, QStringLiteral("fill"));
        std::vector<InspectionRecord> batch;
        for (int n = 0; n < 450; ++n) {
            batch.push_back(judged(n));
        }
        ASSERT_EQ(database.write(batch), 450);
        // One mean edited after it was recorded.
        ASSERT_TRUE(QSqlQuery(database.connection())
                        .exec(QStringLiteral("UPDATE measurements SET mean = 131 WHERE id = 448")));
    }

    testutils::Sandbox sandbox;
    RecordConfig config;
};

TEST_F(frmMeasurementRecordTest, ReadsNewestFirstAPageAtATimeAndMarksTheBrokenLink) {
    frmMeasurementRecord window(config);
    RecordPageModel& model = *window.model();
    ASSERT_EQ(model.rowCount(), RecordPageModel::kPageSize);
    EXPECT_EQ(model.record(0).id, 450);
    EXPECT_EQ(model.record(1).id, 449);
    EXPECT_TRUE(model.linkBroken(2)); // id 448
    EXPECT_FALSE(model.linkBroken(0));
    EXPECT_EQ(model.brokenShown(), 1);
    EXPECT_FALSE(window.findChild<QLabel*>(QStringLiteral("lblStatus"))->text().isEmpty());
    while (model.canFetchMore()) {
        model.fetchMore();
    }
    ASSERT_EQ(model.rowCount(), 450);
    EXPECT_EQ(model.record(449).id, 1);
    EXPECT_TRUE(window.summaryText().contains(QStringLiteral("件数 450")));
    EXPECT_TRUE(window.summaryText().contains(QStringLiteral("NG 45")));
    EXPECT_TRUE(window.summaryText().contains(QStringLiteral("歩留まり 90.0%")));
    EXPECT_TRUE(window.summaryText().contains(QStringLiteral("平均濃度 127.00")));
}

TEST_F(frmMeasurementRecordTest, FiltersDriveTableSummaryAndExport) {
    frmMeasurementRecord window(config);
    window.findChild<QComboBox*>(QStringLiteral("cboVerdict"))
        ->setCurrentText(QStringLiteral("NG"));
    window.findChild<QComboBox*>(QStringLiteral("cboStation"))
        ->setCurrentText(QStringLiteral("検査台A"));
    window.refresh();
    EXPECT_EQ(window.model()->rowCount(), 45);
    for (int row = 0; row < window.model()->rowCount(); ++row) {
        EXPECT_EQ(window.model()->record(row).verdict, QStringLiteral("NG"));
    }
    EXPECT_TRUE(window.summaryText().contains(QStringLiteral("件数 45")));
    EXPECT_TRUE(window.summaryText().contains(QStringLiteral("歩留まり 0.0%")));

    window.findChild<QLineEdit*>(QStringLiteral("txtSource"))->setText(QStringLiteral("画像44"));
    window.refresh();
    EXPECT_EQ(window.model()->rowCount(), 1); // 画像440
    const QString csv = sandbox.filePath(QStringLiteral("out.csv"));
    QString error;
    ASSERT_TRUE(window.exportCsv(csv, &error)) << error.toStdString();
    const QByteArray bytes = testutils::readAll(csv);
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(bytes.count("\r\n"), 2);
    EXPECT_TRUE(bytes.contains(QStringLiteral("画像440.bmp").toUtf8()));
}

TEST_F(frmMeasurementRecordTest, AMissingDatabaseIsSaidInTheWindow) {
    RecordConfig missing = config;
    missing.url = DatabaseUrl::sqliteFile(sandbox.mkdir(QStringLiteral("a-folder")));
    frmMeasurementRecord window(missing);
    EXPECT_EQ(window.model()->rowCount(), 0);
    EXPECT_TRUE(window.findChild<QLabel*>(QStringLiteral("lblStatus"))
                    ->text()
                    .startsWith(QStringLiteral("記録を開けません")));
}

// The part's columns come with a schema upgrade of their own; a database made before it
// gets them here, so that these tests run on either side of that upgrade.
void ensurePartColumns(QSqlDatabase& database) {
    const QSqlRecord columns = database.record(QStringLiteral("measurements"));
    for (const char* name : {"recipe", "inspection_uuid", "circle_name", "part_verdict"}) {
        if (!columns.contains(QLatin1String(name))) {
            ASSERT_TRUE(QSqlQuery(database).exec(
                QStringLiteral("ALTER TABLE measurements ADD COLUMN %1 TEXT NOT NULL DEFAULT ''")
                    .arg(QLatin1String(name))));
        }
    }
}

void write(RecordDatabase& database, std::vector<InspectionRecord> records) {
    const auto size = static_cast<int>(records.size());
    ASSERT_EQ(database.write(records), size);
}

// Results far outside their band, judged against limits that change twice, a second apart.
class frmMeasurementRecordChartTest : public ::testing::Test {
protected:
    void SetUp() override {
        config.url = DatabaseUrl::sqliteFile(sandbox.filePath(QStringLiteral("c.sqlite")));
        config.archiveFolder = sandbox.filePath(QStringLiteral("archive"));
        RecordDatabase database(config.url, QStringLiteral("fill"));
        ASSERT_TRUE(database.open());
        ensurePartColumns(database.connection());
        std::vector<InspectionRecord> batch;
        const double means[] = {130, 32, 49.7, 50, 131, 129, 190, 195, 250, 128};
        const double standards[] = {128, 128, 128, 128, 130, 130, 192, 192, 192, 128};
        for (int n = 0; n < 10; ++n) {
            InspectionRecord r = judged(n);
            r.measuredAt =
                QDateTime::fromMSecsSinceEpoch(1767225600000LL + n * 1000LL, QTimeZone::utc());
            r.mean = means[n];
            r.standard = standards[n];
            r.verdict = std::abs(r.mean - r.standard) < r.tolerance ? QStringLiteral("OK")
                                                                    : QStringLiteral("NG");
            batch.push_back(r);
        }
        write(database, batch);
        QSqlQuery(database.connection())
            .exec(QStringLiteral("UPDATE measurements SET recipe = CASE WHEN standard = 192 "
                                 "THEN 'キャップ' ELSE 'ワッシャ M8' END"));
    }

    testutils::Sandbox sandbox;
    RecordConfig config;
};

QXYSeries* seriesNamed(QChart* chart, const QString& name) {
    for (QAbstractSeries* series : chart->series()) {
        if (series->name() == name) {
            return qobject_cast<QXYSeries*>(series);
        }
    }
    return nullptr;
}

TEST_F(frmMeasurementRecordChartTest, EveryResultIsOnTheChartAndTheLimitsAreSteps) {
    frmMeasurementRecord window(config);
    QChart* chart = window.chartView()->chart();
    auto* level = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).first());
    ASSERT_NE(level, nullptr);
    EXPECT_LT(level->min(), 32);
    EXPECT_GT(level->max(), 250);
    auto* ok = seriesNamed(chart, QStringLiteral("OK"));
    auto* ng = seriesNamed(chart, QStringLiteral("NG"));
    ASSERT_TRUE(ok && ng);
    EXPECT_EQ(ok->count() + ng->count(), 10);
    // NG and OK differ in shape, not only in colour, and the legend names them.
    EXPECT_NE(qobject_cast<QScatterSeries*>(ok)->markerShape(),
              qobject_cast<QScatterSeries*>(ng)->markerShape());
    EXPECT_TRUE(chart->legend()->isVisible());
    for (const QString& name : {QStringLiteral("上限 (USL)"), QStringLiteral("下限 (LSL)")}) {
        QXYSeries* limit = seriesNamed(chart, name);
        ASSERT_NE(limit, nullptr);
        const QList<QPointF> points = limit->points();
        int steps = 0;
        for (qsizetype i = 1; i < points.size(); ++i) {
            const bool flat = points[i].y() == points[i - 1].y();
            const bool riser = points[i].x() == points[i - 1].x();
            EXPECT_TRUE(flat || riser) << name.toStdString() << " slopes at " << i;
            steps += riser && !flat ? 1 : 0;
        }
        EXPECT_EQ(steps, 3) << name.toStdString(); // 128 → 130 → 192 → 128
    }
    // Ten seconds: the labels show the seconds.
    auto* time = qobject_cast<QDateTimeAxis*>(chart->axes(Qt::Horizontal).first());
    ASSERT_NE(time, nullptr);
    EXPECT_TRUE(time->format().contains(QStringLiteral("ss")));
    // Zooming in keeps the labels distinct; the reset returns to every point.
    chart->zoomIn();
    chart->zoomIn();
    EXPECT_TRUE(time->format().contains(QStringLiteral("ss")));
    window.chartView()->resetZoom();
    EXPECT_LT(level->min(), 32);
}

TEST_F(frmMeasurementRecordChartTest, AZoomedChartStaysWhileNewRecordsArrive) {
    frmMeasurementRecord window(config);
    window.resize(1000, 700);
    window.show();
    QChart* chart = window.chartView()->chart();
    auto* level = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).first());
    chart->zoomIn();
    const double low = level->min();
    const double high = level->max();
    {
        RecordDatabase writer(config.url, QStringLiteral("later"));
        InspectionRecord far = judged(40);
        far.mean = 5;
        far.verdict = QStringLiteral("NG");
        write(writer, {far});
    }
    window.followNewRecords();
    EXPECT_EQ(window.chartView()->chart(), chart);
    EXPECT_DOUBLE_EQ(level->min(), low);
    EXPECT_DOUBLE_EQ(level->max(), high);
    window.chartView()->resetZoom(); // the whole again, the new record included
    EXPECT_LT(level->min(), 5);
}

TEST_F(frmMeasurementRecordChartTest, TheSummaryIsPerGroupOfLimitsAndTheRecipeFilters) {
    frmMeasurementRecord window(config);
    const QStringList lines = window.summaryText().split(u'\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("限界値の組ごと")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("限界 128 ± 20：件数 5")));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("限界 192 ± 20：件数 3")));
    auto* recipe = window.findChild<QComboBox*>(QStringLiteral("cboRecipe"));
    ASSERT_EQ(recipe->count(), 3);
    recipe->setCurrentText(QStringLiteral("キャップ"));
    window.refresh();
    EXPECT_EQ(window.model()->rowCount(), 3);
    EXPECT_EQ(window.capabilityData().groups.size(), 1u);
    EXPECT_EQ(window.capabilityPane()->figures().n, 3);
}

TEST_F(frmMeasurementRecordChartTest, SortsByAnyColumnInTheDatabase) {
    frmMeasurementRecord window(config);
    RecordPageModel& model = *window.model();
    window.table()->sortByColumn(RecordPageModel::Mean, Qt::AscendingOrder);
    ASSERT_EQ(model.rowCount(), 10);
    for (int row = 1; row < model.rowCount(); ++row) {
        EXPECT_LE(model.record(row - 1).mean, model.record(row).mean);
    }
    // A new record takes its place in the order shown.
    {
        RecordDatabase writer(config.url, QStringLiteral("later"));
        InspectionRecord low = judged(30);
        low.mean = 10;
        low.verdict = QStringLiteral("NG");
        write(writer, {low});
    }
    window.followNewRecords();
    ASSERT_EQ(model.rowCount(), 11);
    EXPECT_EQ(model.record(0).mean, 10);
    window.table()->sortByColumn(RecordPageModel::Recipe, Qt::DescendingOrder);
    ASSERT_EQ(model.rowCount(), 11) << model.lastError().toStdString();
    window.table()->sortByColumn(RecordPageModel::Standard, Qt::DescendingOrder);
    EXPECT_EQ(model.record(0).standard, 192);
    EXPECT_EQ(model.record(10).standard, 128);
    EXPECT_EQ(model.headerData(RecordPageModel::Stddev, Qt::Horizontal),
              QStringLiteral("標準偏差"));
}

TEST_F(frmMeasurementRecordTest, SortedPagesContinueWithoutGapsOrRepeats) {
    frmMeasurementRecord window(config);
    RecordPageModel& model = *window.model();
    model.sort(RecordPageModel::Mean, Qt::DescendingOrder);
    while (model.canFetchMore()) {
        model.fetchMore();
    }
    ASSERT_EQ(model.rowCount(), 450);
    QSet<qint64> ids;
    for (int row = 0; row < model.rowCount(); ++row) {
        ids.insert(model.record(row).id);
        if (row > 0) {
            EXPECT_GE(model.record(row - 1).mean, model.record(row).mean);
        }
    }
    EXPECT_EQ(ids.size(), 450);
}

TEST_F(frmMeasurementRecordTest, FollowsNewRecordsKeepingScrollAndSelection) {
    frmMeasurementRecord window(config);
    window.resize(1000, 700);
    window.show();
    QTableView* table = window.table();
    RecordPageModel& model = *window.model();
    table->selectRow(5);
    const qint64 selectedId = model.record(5).id;
    table->verticalScrollBar()->setValue(3);
    const qint64 topId = model.record(table->rowAt(0)).id;

    RecordDatabase writer(config.url, QStringLiteral("later"));
    write(writer, {judged(1000), judged(1001)});
    // Within a second of the write, without any call from the test.
    QTRY_VERIFY_WITH_TIMEOUT(window.summaryText().contains(QStringLiteral("件数 452")), 3000);
    EXPECT_EQ(model.record(0).id, 452);
    EXPECT_EQ(model.record(table->rowAt(0)).id, topId);
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(model.record(selected.first().row()).id, selectedId);

    // At the top, the window shows the newest.
    table->verticalScrollBar()->setValue(0);
    write(writer, {judged(1002)});
    QTRY_VERIFY_WITH_TIMEOUT(window.summaryText().contains(QStringLiteral("件数 453")), 3000);
    EXPECT_EQ(model.record(table->rowAt(0)).id, 453);
}

// The window's pane, its report and the figures agree for the same filter.
TEST_F(frmMeasurementRecordChartTest, TheReportCarriesThePanesFigures) {
    frmMeasurementRecord window(config);
    window.findChild<QComboBox*>(QStringLiteral("cboRecipe"))
        ->setCurrentText(QStringLiteral("ワッシャ M8"));
    window.refresh();
    const ProcessCapability::Figures figures = window.capabilityPane()->figures();
    EXPECT_EQ(figures.n, 5);
    const QString pdf = sandbox.filePath(QStringLiteral("report.pdf"));
    QString error;
    ASSERT_TRUE(window.writeReport(pdf, &error)) << error.toStdString();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString read = QString::fromUtf8(text.readAllStandardOutput()).simplified();
    EXPECT_TRUE(read.contains(QStringLiteral("レシピ: ワッシャ M8"))) << read.toStdString();
    for (const auto& [name, value] : CapabilityText::rows(figures)) {
        EXPECT_TRUE(read.contains(value.simplified()))
            << name.toStdString() << " " << value.toStdString();
    }
}

TEST_F(frmMeasurementRecordChartTest, TheReportShowsTheArchivedNgImagesWithTheirTimes) {
    {
        RecordDatabase database(config.url, QStringLiteral("archive"));
        ASSERT_TRUE(database.open());
        const QByteArray pixels(512 * 480, char(40));
        QString error;
        const QString file = ImageArchive(config.archiveFolder)
                                 .store(pixels, 512, 480, ImageArchive::pixelHash(pixels), &error);
        ASSERT_FALSE(file.isEmpty()) << error.toStdString();
        QSqlQuery query(database.connection());
        query.prepare(QStringLiteral("UPDATE measurements SET image_file = ? WHERE mean = 32"));
        query.addBindValue(file);
        ASSERT_TRUE(query.exec());
    }
    frmMeasurementRecord window(config);
    const QString pdf = sandbox.filePath(QStringLiteral("ng.pdf"));
    QString error;
    ASSERT_TRUE(window.writeReport(pdf, &error)) << error.toStdString();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString read = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(read.contains(QStringLiteral("2026-01-01 00:00:01"))) << read.toStdString();
    EXPECT_FALSE(read.contains(QStringLiteral("保存されたNG画像はありません")));
}

// Control limits frozen on a baseline stay while new records arrive; released, they follow
// the data again.
TEST_F(frmMeasurementRecordChartTest, AFrozenBaselineHoldsTheControlLimits) {
    frmMeasurementRecord window(config);
    CapabilityPane& pane = *window.capabilityPane();
    ASSERT_EQ(pane.groupShown(), 0); // 128 ± 20, five records
    const auto before = pane.controlLimits();
    ASSERT_TRUE(before);
    pane.freezeBaseline();
    ASSERT_TRUE(pane.baseline());
    {
        RecordDatabase writer(config.url, QStringLiteral("later"));
        std::vector<InspectionRecord> more;
        for (int n = 20; n < 28; ++n) {
            InspectionRecord r = judged(n);
            r.mean = 140;
            r.verdict = QStringLiteral("OK");
            more.push_back(r);
        }
        write(writer, more);
    }
    window.followNewRecords();
    ASSERT_EQ(window.capabilityPane(), &pane);
    EXPECT_EQ(pane.figures().n, 13);
    EXPECT_DOUBLE_EQ(pane.controlLimits()->centre, before->centre);
    EXPECT_DOUBLE_EQ(pane.controlLimits()->sigma, before->sigma);
    pane.releaseBaseline();
    EXPECT_NE(pane.controlLimits()->centre, before->centre);
}

TEST(frmRecordSettingsTest, KeepsAReadableUrlAndRefusesTheRest) {
    testutils::Sandbox sandbox;
    QSettings store(sandbox.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    RecordSettings settings(store);
    frmRecordSettings dialog(settings);
    auto* url = dialog.findChild<QLineEdit*>(QStringLiteral("txtDatabaseUrl"));
    auto* station = dialog.findChild<QLineEdit*>(QStringLiteral("txtStation"));
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"));
    url->setText(QStringLiteral("mysql://x/y"));
    ok->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.findChild<QLabel*>(QStringLiteral("lblError"))->text().isEmpty());
    EXPECT_TRUE(settings.databaseUrlText().isEmpty());

    // A server that does not answer is said; a second OK keeps it (records wait in the spool).
    url->setText(QStringLiteral(" postgresql://qa@127.0.0.1:1/records "));
    station->setText(QStringLiteral("検査台3"));
    dialog.findChild<QCheckBox*>(QStringLiteral("chkKeepOkImages"))->setChecked(true);
    ok->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(dialog.findChild<QLabel*>(QStringLiteral("lblError"))
                    ->text()
                    .contains(QStringLiteral("接続できません")));
    EXPECT_TRUE(settings.databaseUrlText().isEmpty());
    ok->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const RecordConfig resolved = settings.config();
    EXPECT_EQ(resolved.url.host(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(resolved.station, QStringLiteral("検査台3"));
    EXPECT_TRUE(resolved.keepOkImages);
}

} // namespace

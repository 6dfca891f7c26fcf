#include "frmMeasurementRecord.h"

// Qt
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeAxis>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSaveFile>
#include <QScatterSeries>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>

// Ours
#include "CapabilityPane.h"
#include "CapabilityReport.h"
#include "CapabilityText.h"
#include "CsvExport.h"
#include "DatabaseProbe.h"
#include "DensityChart.h"
#include "ImageArchive.h"
#include "RecordChartView.h"
#include "RecordDatabase.h"
#include "RecordPageModel.h"
#include "TimeAxisFormat.h"
#include "frmArchivedImage.h"

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("frmMeasurementRecord", text);
}

QComboBox* choices(const QString& name, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItem(tr("すべて"));
    return box;
}

QString chosen(const QComboBox* box) {
    return box->currentIndex() > 0 ? box->currentText() : QString();
}

QList<QPointF> listOf(const std::vector<QPointF>& points) {
    return QList<QPointF>(points.begin(), points.end());
}

} // namespace

frmMeasurementRecord::frmMeasurementRecord(const RecordConfig& config, QWidget* parent)
    : QWidget(parent, Qt::Window), config_(config),
      database_(std::make_unique<RecordDatabase>(config.url, QStringLiteral("window"))) {
    setWindowTitle(tr("測定記録"));
    resize(1100, 800);
    model_ = new RecordPageModel(*database_, this);
    buildForm();
    refreshSoon_.setSingleShot(true);
    refreshSoon_.setInterval(200);
    connect(&refreshSoon_, &QTimer::timeout, this, &frmMeasurementRecord::refresh);
    follow_.setInterval(kFollowIntervalMs);
    connect(&follow_, &QTimer::timeout, this, &frmMeasurementRecord::followNewRecords);
    if (!database_->open()) {
        lblStatus_->setText(tr("記録を開けません: %1")
                                .arg(DatabaseProbe::explain(config_.url, database_->lastError())));
        return;
    }
    cboStation_->addItems(RecordQueries::stations(database_->connection()));
    cboRecipe_->addItems(RecordQueries::recipes(database_->connection()));
    cboCircle_->addItems(RecordQueries::circles(database_->connection()));
    refresh();
    follow_.start();
}

frmMeasurementRecord::~frmMeasurementRecord() {
    // The model reads through the connection; let it go first.
    delete grdRecords_;
    delete model_;
}

void frmMeasurementRecord::buildForm() {
    auto* filters = new QHBoxLayout;
    chkSince_ = new QCheckBox(tr("開始"), this);
    dtpSince_ = new QDateTimeEdit(QDateTime::currentDateTime().addDays(-1), this);
    chkUntil_ = new QCheckBox(tr("終了"), this);
    dtpUntil_ = new QDateTimeEdit(QDateTime::currentDateTime(), this);
    for (QDateTimeEdit* edit : {dtpSince_, dtpUntil_}) {
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
        edit->setCalendarPopup(true);
    }
    cboVerdict_ = choices(QStringLiteral("cboVerdict"), this);
    cboVerdict_->addItems({QStringLiteral("OK"), QStringLiteral("NG")});
    cboStation_ = choices(QStringLiteral("cboStation"), this);
    cboRecipe_ = choices(QStringLiteral("cboRecipe"), this);
    cboCircle_ = choices(QStringLiteral("cboCircle"), this);
    txtSource_ = new QLineEdit(this);
    txtSource_->setObjectName(QStringLiteral("txtSource"));
    txtSource_->setPlaceholderText(tr("ソース"));
    auto* cmdExport = new QPushButton(tr("CSV書き出し..."), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    auto* cmdReport = new QPushButton(tr("レポート…"), this);
    cmdReport->setObjectName(QStringLiteral("cmdReport"));
    for (QWidget* w : std::initializer_list<QWidget*>{
             chkSince_, dtpSince_, chkUntil_, dtpUntil_, new QLabel(tr("判定"), this), cboVerdict_,
             new QLabel(tr("ステーション"), this), cboStation_, new QLabel(tr("レシピ"), this),
             cboRecipe_, new QLabel(tr("円"), this), cboCircle_, txtSource_, cmdExport,
             cmdReport}) {
        filters->addWidget(w);
    }
    auto later = [this] {
        refreshSoon_.start();
    };
    connect(chkSince_, &QCheckBox::toggled, this, later);
    connect(chkUntil_, &QCheckBox::toggled, this, later);
    connect(dtpSince_, &QDateTimeEdit::dateTimeChanged, this, later);
    connect(dtpUntil_, &QDateTimeEdit::dateTimeChanged, this, later);
    for (QComboBox* box : {cboVerdict_, cboStation_, cboRecipe_, cboCircle_}) {
        connect(box, &QComboBox::currentIndexChanged, this, later);
    }
    connect(txtSource_, &QLineEdit::textChanged, this, later);
    connect(cmdExport, &QPushButton::clicked, this, [this] { exportCsvInteractively(); });
    connect(cmdReport, &QPushButton::clicked, this, [this] { writeReportInteractively(); });

    lblSummary_ = new QLabel(this);
    lblSummary_->setObjectName(QStringLiteral("lblSummary"));
    lblSummary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName(QStringLiteral("lblStatus"));

    grdRecords_ = new QTableView(this);
    grdRecords_->setObjectName(QStringLiteral("grdRecords"));
    grdRecords_->setModel(model_);
    grdRecords_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdRecords_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdRecords_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    grdRecords_->verticalHeader()->hide();
    grdRecords_->horizontalHeader()->setStretchLastSection(true);
    grdRecords_->horizontalHeader()->setSortIndicator(RecordPageModel::Time, Qt::DescendingOrder);
    grdRecords_->setSortingEnabled(true);
    grdRecords_->setColumnWidth(RecordPageModel::Time, 140);
    grdRecords_->setColumnWidth(RecordPageModel::Source, 220);
    for (int column = RecordPageModel::Mean; column <= RecordPageModel::Tolerance; ++column) {
        grdRecords_->setColumnWidth(column, 70);
    }
    connect(grdRecords_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { showArchivedImage(index.row()); });

    chart_ = new RecordChartView(this);
    chart_->setObjectName(QStringLiteral("chartDensity"));
    chart_->setMinimumHeight(220);
    auto* cmdReset = new QPushButton(tr("表示をリセット"), this);
    cmdReset->setObjectName(QStringLiteral("cmdResetZoom"));
    cmdReset->setToolTip(
        tr("ホイール・＋／−で拡大縮小、左ドラッグで範囲拡大、右ドラッグ・矢印キーで移動、"
           "ダブルクリック・Homeで元に戻す"));
    connect(cmdReset, &QPushButton::clicked, chart_, &RecordChartView::resetZoom);
    buildChart();
    auto* trend = new QWidget(this);
    auto* trendLayout = new QVBoxLayout(trend);
    trendLayout->setContentsMargins(0, 0, 0, 0);
    trendLayout->addWidget(chart_, 1);
    trendLayout->addWidget(cmdReset, 0, Qt::AlignRight);

    capability_ = new CapabilityPane(this);
    capability_->setObjectName(QStringLiteral("paneCapability"));
    tabs_ = new QTabWidget(this);
    tabs_->addTab(trend, tr("推移"));
    tabs_->addTab(capability_, tr("工程能力"));
    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        if (tabs_->currentWidget() == capability_) {
            capabilityPane();
        }
    });

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(grdRecords_);
    splitter->addWidget(tabs_);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(lblSummary_);
    layout->addWidget(splitter, 1);
    layout->addWidget(lblStatus_);
}

RecordFilter frmMeasurementRecord::currentFilter() const {
    RecordFilter filter;
    if (chkSince_->isChecked()) {
        filter.since = dtpSince_->dateTime().toUTC();
    }
    if (chkUntil_->isChecked()) {
        filter.until = dtpUntil_->dateTime().toUTC();
    }
    filter.verdict = chosen(cboVerdict_);
    filter.station = chosen(cboStation_);
    filter.recipe = chosen(cboRecipe_);
    filter.circle = chosen(cboCircle_);
    filter.source = txtSource_->text();
    return filter;
}

void frmMeasurementRecord::refresh() {
    if (!database_->isOpen()) {
        return;
    }
    chart_->chart()->zoomReset();
    const RecordFilter filter = currentFilter();
    newestSeen_ = RecordQueries::newestId(database_->connection());
    model_->setFilter(filter);
    data_ = RecordQueries::capabilityData(database_->connection(), filter);
    showSummary();
    updateChart();
}

void frmMeasurementRecord::followNewRecords() {
    if (!database_->isOpen() || refreshSoon_.isActive()) {
        return;
    }
    const qint64 newest = RecordQueries::newestId(database_->connection());
    if (newest == newestSeen_) {
        return;
    }
    const qint64 seenBefore = newestSeen_;
    newestSeen_ = newest;
    // Keep the rows the user looks at and has selected; at the top, show the new ones.
    QScrollBar* bar = grdRecords_->verticalScrollBar();
    const int firstShown = grdRecords_->rowAt(0);
    const qint64 anchor = bar->value() > 0 && firstShown >= 0 ? model_->record(firstShown).id : 0;
    QList<qint64> selected;
    for (const QModelIndex& index : grdRecords_->selectionModel()->selectedRows()) {
        selected << model_->record(index.row()).id;
    }
    const QModelIndex current = grdRecords_->currentIndex();
    const qint64 currentId = current.isValid() ? model_->record(current.row()).id : 0;

    model_->takeNewer(seenBefore);

    QItemSelection selection;
    for (const qint64 id : selected) {
        if (const int row = model_->rowOf(id); row >= 0) {
            selection.select(model_->index(row, 0),
                             model_->index(row, RecordPageModel::ColumnCount - 1));
        }
    }
    grdRecords_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (const int row = currentId ? model_->rowOf(currentId) : -1; row >= 0) {
        grdRecords_->selectionModel()->setCurrentIndex(model_->index(row, current.column()),
                                                       QItemSelectionModel::NoUpdate);
    }
    if (const int row = anchor ? model_->rowOf(anchor) : -1; row >= 0) {
        bar->setValue(row);
    } else {
        bar->setValue(0);
    }
    RecordQueries::addNewer(database_->connection(), currentFilter(), data_);
    showSummary();
    updateChart();
}

void frmMeasurementRecord::showSummary() {
    QStringList lines{CapabilityText::summaryHeading(static_cast<int>(data_.groups.size()))};
    for (const auto& group : data_.groups) {
        lines << CapabilityText::summaryLine(ProcessCapability::compute(group));
    }
    lblSummary_->setText(lines.join(u'\n'));
    paneBehind_ = true;
    if (tabs_->currentWidget() == capability_) {
        capabilityPane();
    }
    QString status;
    if (!data_.readable || !model_->lastError().isEmpty()) {
        status = tr("記録を読めません: %1").arg(data_.readable ? model_->lastError() : data_.error);
    } else if (model_->brokenShown() > 0) {
        status = tr("記録の鎖が切れている行があります（%1件）").arg(model_->brokenShown());
    }
    lblStatus_->setText(status);
}

CapabilityPane* frmMeasurementRecord::capabilityPane() {
    if (paneBehind_) {
        paneBehind_ = false;
        capability_->showData(data_);
    }
    return capability_;
}

QString frmMeasurementRecord::summaryText() const {
    return lblSummary_->text();
}

void frmMeasurementRecord::buildChart() {
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignRight);
    density_ = new QLineSeries;
    density_->setName(tr("平均濃度"));
    density_->setPen(QPen(QColor(120, 120, 120), 1));
    ok_ = new QScatterSeries;
    ok_->setName(QStringLiteral("OK"));
    ok_->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    ok_->setMarkerSize(6);
    ok_->setColor(QColor(0, 0, 255));
    ng_ = new QScatterSeries;
    ng_->setName(QStringLiteral("NG"));
    ng_->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
    ng_->setMarkerSize(11);
    ng_->setColor(QColor(255, 0, 0));
    upper_ = new QLineSeries;
    upper_->setName(tr("上限 (USL)"));
    upper_->setPen(QPen(QColor(200, 0, 0), 1.5, Qt::DashLine));
    lower_ = new QLineSeries;
    lower_->setName(tr("下限 (LSL)"));
    lower_->setPen(QPen(QColor(200, 0, 0), 1.5, Qt::DashDotLine));
    for (QAbstractSeries* series :
         std::initializer_list<QAbstractSeries*>{upper_, lower_, density_, ok_, ng_}) {
        chart->addSeries(series);
    }
    time_ = new QDateTimeAxis;
    time_->setObjectName(QStringLiteral("axisTime"));
    level_ = new QValueAxis;
    level_->setObjectName(QStringLiteral("axisLevel"));
    level_->setTitleText(tr("濃度"));
    chart->addAxis(time_, Qt::AlignBottom);
    chart->addAxis(level_, Qt::AlignLeft);
    for (QAbstractSeries* series : chart->series()) {
        series->attachAxis(time_);
        series->attachAxis(level_);
    }
    // The labels show as much of the time as the ticks' spacing needs, at every zoom.
    connect(time_, &QDateTimeAxis::rangeChanged, this,
            [this](const QDateTime& from, const QDateTime& to) {
                const double spacing =
                    static_cast<double>(from.msecsTo(to)) / std::max(1, time_->tickCount() - 1);
                time_->setFormat(TimeAxisFormat::forSpacing(spacing));
            });
    QChart* old = chart_->chart(); // the view's own empty chart, released to us
    chart_->setChart(chart);
    delete old;
    connect(chart_, &RecordChartView::zoomWasReset, this, &frmMeasurementRecord::showWholeChart);
}

void frmMeasurementRecord::updateChart() {
    const auto points =
        RecordQueries::densityPoints(database_->connection(), currentFilter(), kChartPoints);
    layout_ = DensityChart::build(points);
    const qint64 total = data_.count();
    chart_->chart()->setTitle(static_cast<qint64>(points.size()) < total
                                  ? tr("最新の %1 件（全 %2 件）").arg(points.size()).arg(total)
                                  : tr("全 %1 件").arg(points.size()));
    density_->replace(listOf(layout_.line));
    ok_->replace(listOf(layout_.ok));
    ng_->replace(listOf(layout_.ng));
    upper_->replace(listOf(layout_.upper));
    lower_->replace(listOf(layout_.lower));
    // A view the user zoomed into stays while new records arrive.
    if (!chart_->chart()->isZoomed()) {
        showWholeChart();
    }
}

void frmMeasurementRecord::showWholeChart() {
    time_->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(layout_.minX)),
                    QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(layout_.maxX)));
    level_->setRange(layout_.minY, layout_.maxY);
}

void frmMeasurementRecord::showArchivedImage(int row) {
    const InspectionRecord& record = model_->record(row);
    if (record.verdict != u"NG" && record.imageFile.isEmpty()) {
        return;
    }
    if (record.imageFile.isEmpty()) {
        lblStatus_->setText(tr("この記録の画像は保存されていません"));
        return;
    }
    frmArchivedImage view(ImageArchive(config_.archiveFolder).pathOf(record.imageFile), record,
                          this);
    view.exec();
}

bool frmMeasurementRecord::exportCsv(const QString& path, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (CsvExport::write(database_->connection(), currentFilter(), file, error) < 0) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

void frmMeasurementRecord::exportCsvInteractively() {
    const QString path = QFileDialog::getSaveFileName(
        this, tr("CSV書き出し"), QStringLiteral("measurements.csv"), QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    QString error;
    lblStatus_->setText(exportCsv(path, &error) ? tr("書き出しました: %1").arg(path)
                                                : tr("書き出せません: %1").arg(error));
}

bool frmMeasurementRecord::writeReport(const QString& path, QString* error) {
    if (!database_->isOpen()) {
        *error = database_->lastError();
        return false;
    }
    CapabilityReport::Content content =
        CapabilityReport::gather(database_->connection(), currentFilter(), config_.archiveFolder);
    if (const auto baseline = capability_->baseline()) {
        content.baseline = CapabilityReport::FrozenBaseline{
            capability_->baselineGroup().first, capability_->baselineGroup().second, *baseline};
    }
    return CapabilityReport::writeFile(content, path, error);
}

void frmMeasurementRecord::writeReportInteractively() {
    const QString path = QFileDialog::getSaveFileName(
        this, tr("レポート"), QStringLiteral("report.pdf"), QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty()) {
        return;
    }
    QString error;
    lblStatus_->setText(writeReport(path, &error) ? tr("レポートを書き出しました: %1").arg(path)
                                                  : tr("レポートを書き出せません: %1").arg(error));
}

#include "frmMeasurementRecord.h"

// Qt
#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeAxis>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSaveFile>
#include <QScatterSeries>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>

// Ours
#include "CsvExport.h"
#include "ImageArchive.h"
#include "RecordDatabase.h"
#include "RecordPageModel.h"
#include "RecordQueries.h"
#include "frmArchivedImage.h"

namespace {

constexpr int kChartPoints = 2000;

} // namespace

frmMeasurementRecord::frmMeasurementRecord(const RecordConfig& config, QWidget* parent)
    : QWidget(parent, Qt::Window), config_(config),
      database_(std::make_unique<RecordDatabase>(config.url, QStringLiteral("window"))) {
    setWindowTitle(QCoreApplication::translate("frmMeasurementRecord", "測定記録"));
    resize(960, 720);
    model_ = new RecordPageModel(*database_, this);
    buildForm();
    refreshSoon_.setSingleShot(true);
    refreshSoon_.setInterval(200);
    connect(&refreshSoon_, &QTimer::timeout, this, &frmMeasurementRecord::refresh);
    if (!database_->open()) {
        lblStatus_->setText(
            QCoreApplication::translate("frmMeasurementRecord", "記録を開けません: %1")
                .arg(database_->lastError()));
        return;
    }
    cboStation_->addItems(RecordQueries::stations(database_->connection()));
    refresh();
}

frmMeasurementRecord::~frmMeasurementRecord() {
    // The model reads through the connection; let it go first.
    delete grdRecords_;
    delete model_;
}

void frmMeasurementRecord::buildForm() {
    auto* filters = new QHBoxLayout;
    chkSince_ = new QCheckBox(QCoreApplication::translate("frmMeasurementRecord", "開始"), this);
    dtpSince_ = new QDateTimeEdit(QDateTime::currentDateTime().addDays(-1), this);
    chkUntil_ = new QCheckBox(QCoreApplication::translate("frmMeasurementRecord", "終了"), this);
    dtpUntil_ = new QDateTimeEdit(QDateTime::currentDateTime(), this);
    for (QDateTimeEdit* edit : {dtpSince_, dtpUntil_}) {
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
        edit->setCalendarPopup(true);
    }
    cboVerdict_ = new QComboBox(this);
    cboVerdict_->addItems({QCoreApplication::translate("frmMeasurementRecord", "すべて"),
                           QStringLiteral("OK"), QStringLiteral("NG")});
    cboStation_ = new QComboBox(this);
    cboStation_->addItem(QCoreApplication::translate("frmMeasurementRecord", "すべて"));
    txtSource_ = new QLineEdit(this);
    txtSource_->setPlaceholderText(QCoreApplication::translate("frmMeasurementRecord", "ソース"));
    auto* cmdExport = new QPushButton(
        QCoreApplication::translate("frmMeasurementRecord", "CSV書き出し..."), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    for (QWidget* w : std::initializer_list<QWidget*>{
             chkSince_, dtpSince_, chkUntil_, dtpUntil_,
             new QLabel(QCoreApplication::translate("frmMeasurementRecord", "判定"), this),
             cboVerdict_,
             new QLabel(QCoreApplication::translate("frmMeasurementRecord", "ステーション"), this),
             cboStation_, txtSource_, cmdExport}) {
        filters->addWidget(w);
    }
    auto later = [this] {
        refreshSoon_.start();
    };
    connect(chkSince_, &QCheckBox::toggled, this, later);
    connect(chkUntil_, &QCheckBox::toggled, this, later);
    connect(dtpSince_, &QDateTimeEdit::dateTimeChanged, this, later);
    connect(dtpUntil_, &QDateTimeEdit::dateTimeChanged, this, later);
    connect(cboVerdict_, &QComboBox::currentIndexChanged, this, later);
    connect(cboStation_, &QComboBox::currentIndexChanged, this, later);
    connect(txtSource_, &QLineEdit::textChanged, this, later);
    connect(cmdExport, &QPushButton::clicked, this, [this] { exportCsvInteractively(); });

    lblSummary_ = new QLabel(this);
    lblSummary_->setObjectName(QStringLiteral("lblSummary"));
    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName(QStringLiteral("lblStatus"));

    grdRecords_ = new QTableView(this);
    grdRecords_->setObjectName(QStringLiteral("grdRecords"));
    grdRecords_->setModel(model_);
    grdRecords_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdRecords_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdRecords_->verticalHeader()->hide();
    grdRecords_->horizontalHeader()->setStretchLastSection(true);
    grdRecords_->setColumnWidth(RecordPageModel::Time, 140);
    grdRecords_->setColumnWidth(RecordPageModel::Source, 260);
    connect(grdRecords_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { showArchivedImage(index.row()); });

    chart_ = new QChartView(this);
    chart_->setRenderHint(QPainter::Antialiasing);
    chart_->setMinimumHeight(220);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(grdRecords_);
    splitter->addWidget(chart_);

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
    if (cboVerdict_->currentIndex() > 0) {
        filter.verdict = cboVerdict_->currentText();
    }
    if (cboStation_->currentIndex() > 0) {
        filter.station = cboStation_->currentText();
    }
    filter.source = txtSource_->text();
    return filter;
}

void frmMeasurementRecord::refresh() {
    if (!database_->isOpen()) {
        return;
    }
    const RecordFilter filter = currentFilter();
    model_->setFilter(filter);
    const auto s = RecordQueries::summarize(database_->connection(), filter);
    lblSummary_->setText(
        QCoreApplication::translate(
            "frmMeasurementRecord",
            "件数 %1　　OK %2　　NG %3　　歩留まり %4%　　平均濃度 %5　　標準偏差 %6")
            .arg(s.count)
            .arg(s.ok)
            .arg(s.ng)
            .arg(s.yieldPercent, 0, 'f', 1)
            .arg(s.meanDensity, 0, 'f', 2)
            .arg(s.stddevDensity, 0, 'f', 2));
    updateChart();
    lblStatus_->setText(model_->brokenShown() > 0 ? QCoreApplication::translate(
                                                        "frmMeasurementRecord",
                                                        "記録の鎖が切れている行があります（%1件）")
                                                        .arg(model_->brokenShown())
                                                  : QString());
}

QString frmMeasurementRecord::summaryText() const {
    return lblSummary_->text();
}

void frmMeasurementRecord::updateChart() {
    const auto points =
        RecordQueries::densityPoints(database_->connection(), currentFilter(), kChartPoints);
    auto* chart = new QChart;
    chart->legend()->setVisible(false);
    auto* density = new QLineSeries;
    auto* ng = new QScatterSeries;
    ng->setColor(QColor(255, 0, 0));
    ng->setMarkerSize(7);
    // The band does not own its edges; the chart does, so they go with it.
    auto* upper = new QLineSeries(chart);
    auto* lower = new QLineSeries(chart);
    for (const auto& p : points) {
        const auto x = static_cast<qreal>(p.measuredAt.toMSecsSinceEpoch());
        density->append(x, p.mean);
        upper->append(x, p.standard + p.tolerance);
        lower->append(x, p.standard - p.tolerance);
        if (p.ng) {
            ng->append(x, p.mean);
        }
    }
    auto* band = new QAreaSeries(upper, lower);
    band->setColor(QColor(0, 160, 0, 50));
    band->setBorderColor(QColor(0, 160, 0, 120));
    chart->addSeries(band);
    chart->addSeries(density);
    chart->addSeries(ng);
    auto* time = new QDateTimeAxis;
    time->setFormat(QStringLiteral("MM-dd HH:mm"));
    auto* level = new QValueAxis;
    level->setTitleText(QCoreApplication::translate("frmMeasurementRecord", "濃度"));
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(level, Qt::AlignLeft);
    for (QAbstractSeries* series : std::initializer_list<QAbstractSeries*>{band, density, ng}) {
        series->attachAxis(time);
        series->attachAxis(level);
    }
    QChart* old = chart_->chart();
    chart_->setChart(chart);
    delete old;
}

void frmMeasurementRecord::showArchivedImage(int row) {
    const InspectionRecord& record = model_->record(row);
    if (record.verdict != u"NG" && record.imageFile.isEmpty()) {
        return;
    }
    if (record.imageFile.isEmpty()) {
        lblStatus_->setText(QCoreApplication::translate("frmMeasurementRecord",
                                                        "この記録の画像は保存されていません"));
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
        this, QCoreApplication::translate("frmMeasurementRecord", "CSV書き出し"),
        QStringLiteral("measurements.csv"), QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    QString error;
    lblStatus_->setText(
        exportCsv(path, &error)
            ? QCoreApplication::translate("frmMeasurementRecord", "書き出しました: %1").arg(path)
            : QCoreApplication::translate("frmMeasurementRecord", "書き出せません: %1").arg(error));
}

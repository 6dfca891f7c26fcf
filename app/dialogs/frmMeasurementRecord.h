#pragma once

// Standard library
#include <memory>

// Qt
#include <QTimer>
#include <QWidget>

// Ours
#include "DensityChart.h"
#include "RecordConfig.h"
#include "RecordFilter.h"
#include "RecordQueries.h"

class CapabilityPane;
class QCheckBox;
class QComboBox;
class QDateTimeAxis;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QLineSeries;
class QScatterSeries;
class QTabWidget;
class QTableView;
class QValueAxis;
class RecordChartView;
class RecordDatabase;
class RecordPageModel;

// 測定記録: the records newest first (or sorted by any column), filtered by time, verdict,
// station, source, recipe and circle, with their summary per group of equal limits, a
// density chart of every filtered result against its limits, the pane 工程能力, a mark on
// any broken chain link among the rows shown, the archived image of an NG row, CSV export
// and a PDF report. It follows new records while it is open.
class frmMeasurementRecord : public QWidget {
    Q_OBJECT

public:
    explicit frmMeasurementRecord(const RecordConfig& config, QWidget* parent = nullptr);
    ~frmMeasurementRecord() override;

    // How often the window looks for new records.
    static constexpr int kFollowIntervalMs = 1000;
    // The newest results the density chart draws at most.
    static constexpr int kChartPoints = 20000;

    // Reads the filters and reloads the table, the summary and the charts.
    void refresh();
    // Takes in records written since the last look, keeping the table's scroll position and
    // selection; does nothing when there are none.
    void followNewRecords();
    RecordFilter currentFilter() const;
    // Writes the filtered records; false with `error` set.
    bool exportCsv(const QString& path, QString* error);
    // Asks for a file and exports; reports the outcome in the window.
    void exportCsvInteractively();
    // Writes the PDF report of the filter; false with `error` set.
    bool writeReport(const QString& path, QString* error);
    void writeReportInteractively();

    RecordPageModel* model() const { return model_; }
    QString summaryText() const;
    RecordChartView* chartView() const { return chart_; }
    // The pane as it shows the current records (brought up to date when it was hidden).
    CapabilityPane* capabilityPane();
    QTableView* table() const { return grdRecords_; }
    const RecordQueries::CapabilityData& capabilityData() const { return data_; }

private:
    void buildForm();
    void showSummary();
    void buildChart();
    void updateChart();
    void showWholeChart();
    void showArchivedImage(int row);

    RecordConfig config_;
    std::unique_ptr<RecordDatabase> database_;
    RecordPageModel* model_ = nullptr;
    QTimer refreshSoon_;
    QTimer follow_;
    RecordQueries::CapabilityData data_;
    qint64 newestSeen_ = 0;
    bool paneBehind_ = false; // the hidden pane catches up when it is shown

    QCheckBox* chkSince_ = nullptr;
    QDateTimeEdit* dtpSince_ = nullptr;
    QCheckBox* chkUntil_ = nullptr;
    QDateTimeEdit* dtpUntil_ = nullptr;
    QComboBox* cboVerdict_ = nullptr;
    QComboBox* cboStation_ = nullptr;
    QComboBox* cboRecipe_ = nullptr;
    QComboBox* cboCircle_ = nullptr;
    QLineEdit* txtSource_ = nullptr;
    QLabel* lblSummary_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QTableView* grdRecords_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    RecordChartView* chart_ = nullptr;
    QLineSeries* density_ = nullptr;
    QScatterSeries* ok_ = nullptr;
    QScatterSeries* ng_ = nullptr;
    QLineSeries* upper_ = nullptr;
    QLineSeries* lower_ = nullptr;
    QDateTimeAxis* time_ = nullptr;
    QValueAxis* level_ = nullptr;
    DensityChart::Layout layout_;
    CapabilityPane* capability_ = nullptr;
};

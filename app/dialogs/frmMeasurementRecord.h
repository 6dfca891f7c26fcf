#pragma once

// Standard library
#include <memory>

// Qt
#include <QTimer>
#include <QWidget>

// Ours
#include "RecordConfig.h"
#include "RecordFilter.h"

class QCheckBox;
class QChartView;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QTableView;
class RecordDatabase;
class RecordPageModel;

// 測定記録: the records newest first, filtered by time, verdict, station and source, with
// their summary, a density chart against the tolerance band, a mark on any broken chain
// link among the rows shown, the archived image of an NG row, and CSV export.
class frmMeasurementRecord : public QWidget {
    Q_OBJECT

public:
    explicit frmMeasurementRecord(const RecordConfig& config, QWidget* parent = nullptr);
    ~frmMeasurementRecord() override;

    // Reads the filters and reloads the table, the summary and the chart.
    void refresh();
    RecordFilter currentFilter() const;
    // Writes the filtered records; false with `error` set.
    bool exportCsv(const QString& path, QString* error);
    // Asks for a file and exports; reports the outcome in the window.
    void exportCsvInteractively();

    RecordPageModel* model() const { return model_; }
    QString summaryText() const;
    QChartView* chartView() const { return chart_; }

private:
    void buildForm();
    void updateChart();
    void showArchivedImage(int row);

    RecordConfig config_;
    std::unique_ptr<RecordDatabase> database_;
    RecordPageModel* model_ = nullptr;
    QTimer refreshSoon_;

    QCheckBox* chkSince_ = nullptr;
    QDateTimeEdit* dtpSince_ = nullptr;
    QCheckBox* chkUntil_ = nullptr;
    QDateTimeEdit* dtpUntil_ = nullptr;
    QComboBox* cboVerdict_ = nullptr;
    QComboBox* cboStation_ = nullptr;
    QLineEdit* txtSource_ = nullptr;
    QLabel* lblSummary_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QTableView* grdRecords_ = nullptr;
    QChartView* chart_ = nullptr;
};

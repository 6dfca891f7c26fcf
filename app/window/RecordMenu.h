#pragma once

// Standard library
#include <memory>

// Qt
#include <QObject>

// Ours
#include "RecordSettings.h"
#include "RecordState.h"

class QLabel;
class QSettings;
class RecordStore;
class frmMain;
class frmMeasurementRecord;

// The main window's side of the inspection record: the menu 記録, a small indicator in the
// status line, and one notice there when the state of the writing changes.
class RecordMenu : public QObject {
    Q_OBJECT

public:
    RecordMenu(frmMain& window, RecordStore& store, QSettings& settings);
    ~RecordMenu() override;

    QLabel* indicator() const { return indicator_; }

private:
    frmMeasurementRecord& recordWindow();
    void showRecords();
    void exportCsv();
    void editSettings();
    void showState(const RecordState& state);

    frmMain& window_;
    RecordStore& store_;
    RecordSettings settings_;
    QLabel* indicator_;
    std::unique_ptr<frmMeasurementRecord> records_;
    RecordState::Kind shownKind_ = RecordState::Kind::Ok;
};

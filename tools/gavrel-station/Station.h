#pragma once

// Standard library
#include <memory>

// Qt
#include <QObject>
#include <QString>
#include <QTimer>

// Ours
#include "Inspection.h"
#include "InspectionRecipe.h"
#include "KeshImage.h"
#include "KeshPerformanceCounter.h"
#include "KeshVideo.h"
#include "LineLink.h"
#include "PelmintBinding.h"
#include "RecordState.h"
#include "StationConfig.h"

class InspectionRecorder;
class LiveFeed;
class RecordStore;

// One inspection without a window: the camera's frames are judged by the inspection, kept
// by the recorder and published to the line, exactly as the window does it.
class Station : public QObject {
    Q_OBJECT

public:
    explicit Station(PelmintBinding& pelmint, QObject* parent = nullptr);
    ~Station() override;

    // Starts with this configuration (again, after SIGHUP); false with `error` when it cannot
    // be used, and nothing running then.
    bool start(const StationConfig& config, QString* error);
    void stop();

    const LineLink* line() const { return line_.get(); }

signals:
    void logLine(const QString& line);

private:
    bool loadRecipe(const QString& path, QString* error);
    void selectSlot(int slot);
    void openCamera();
    void cameraOpened();
    void takeFrames();
    void judgeFrame();
    void cameraFailed(int status);
    void showRecordState(const RecordState& state);
    void say(const QString& line) { emit logLine(line); }

    PelmintBinding& pelmint_;
    StationConfig config_;
    KeshImage image_;
    Inspection inspection_;
    KeshVideo video_;
    KeshPerformanceCounter timer_;
    QString cameraFile_;
    InspectionRecipe recipe_;
    std::unique_ptr<RecordStore> store_;
    std::unique_ptr<InspectionRecorder> recorder_;
    std::unique_ptr<LineLink> line_;
    LiveFeed* feed_ = nullptr;
    QTimer cameraRetry_;
    // Opening a camera can take seconds (one in use by another program is refused only after
    // several); the station goes on meanwhile and looks for the answer on this beat.
    QTimer cameraOpening_;
    bool cameraOk_ = false;
    int failedStatus_ = KeshVideo::Ok; // the failure last told, while the camera is away
    RecordState::Kind recordKind_ = RecordState::Kind::Ok;
};

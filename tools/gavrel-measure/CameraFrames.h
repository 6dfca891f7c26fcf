#pragma once

// Qt
#include <QString>

// Ours
#include "InputSource.h"
#include "KeshVideo.h"

// Frames taken from the camera a video configuration file names, opened as the window opens
// it at start-up. A camera that does not open yields one failure and nothing more; a frame
// that cannot be taken yields a failure in its place.
class CameraFrames : public InputSource {
public:
    CameraFrames(QString configPath, int frames);
    ~CameraFrames() override;
    std::optional<MeasureInput> next() override;

private:
    MeasureInput failure(const QString& source) const;

    QString configPath_;
    int frames_;
    int taken_ = 0;
    bool opened_ = false;
    KeshVideo video_;
};

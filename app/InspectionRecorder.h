#pragma once

// Standard library
#include <optional>

// Qt
#include <QString>

class CircleFigure;
class KeshImage;
class PelmintBinding;
class RecordStore;

// Turns a settled measurement of the window into an inspection record and hands it to the
// store. Without a store it does nothing.
class InspectionRecorder {
public:
    explicit InspectionRecorder(RecordStore* store, PelmintBinding& pelmint);

    // Where the image on screen came from, until the next one replaces it.
    void useImageFile(const QString& path);
    // One more frame of the camera this configuration file names.
    void useCameraFrame(const QString& configFile);

    // Measures the circle on the image again with the full statistics and records it; false
    // when nothing was recorded (no store, or a measurement the library rejects).
    bool record(const KeshImage& image, const CircleFigure& circle, const QString& standardText,
                const QString& toleranceText);

private:
    RecordStore* store_;
    PelmintBinding& pelmint_;
    QString source_;
    std::optional<qint64> frame_;
    QString camera_;
    qint64 cameraFrames_ = 0;
};

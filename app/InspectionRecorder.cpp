#include "InspectionRecorder.h"

// Standard library
#include <chrono>

// Ours
#include "CircleFigure.h"
#include "DensityJudge.h"
#include "InspectionRecord.h"
#include "Int32Rounding.h"
#include "KeshImage.h"
#include "LenientNumber.h"
#include "PelmintBinding.h"
#include "RecordStore.h"
#include "RuntimeError.h"

InspectionRecorder::InspectionRecorder(RecordStore* store, PelmintBinding& pelmint)
    : store_(store), pelmint_(pelmint) {}

void InspectionRecorder::useImageFile(const QString& path) {
    source_ = path;
    frame_.reset();
}

void InspectionRecorder::useCameraFrame(const QString& configFile) {
    if (configFile != camera_) {
        camera_ = configFile;
        cameraFrames_ = 0;
    }
    source_ = configFile;
    frame_ = ++cameraFrames_;
}

bool InspectionRecorder::record(const KeshImage& image, const CircleFigure& circle,
                                const QString& standardText, const QString& toleranceText) {
    if (store_ == nullptr || image.bitsPerPixel() != 8) {
        return false;
    }
    const std::int32_t centreX = Int32Rounding::toNearestEven(circle.centerX());
    const std::int32_t centreY = Int32Rounding::toNearestEven(circle.centerY());
    const std::int32_t radius = Int32Rounding::toNearestEven(circle.radius());
    PelmintStatistics statistics{};
    const auto started = std::chrono::steady_clock::now();
    std::int32_t status = PELMINT_INVALID_ARGUMENT;
    try {
        status = pelmint_.CircleAreaStatistics(image.bufferAddress(), image.width(), image.height(),
                                               image.bytesPerLine(), centreX, centreY, radius,
                                               &statistics);
    } catch (const RuntimeError&) {
        return false; // the window has already told the operator about the library
    }
    const auto elapsed = std::chrono::steady_clock::now() - started;
    if (status != PELMINT_OK) {
        return false;
    }

    InspectionRecord r;
    r.source = source_;
    r.frame = frame_;
    r.cx = circle.centerX();
    r.cy = circle.centerY();
    r.r = circle.radius();
    r.pixelCount = statistics.count;
    r.mean = statistics.mean;
    r.stddev = statistics.stddev;
    r.min = statistics.min;
    r.max = statistics.max;
    r.standard = LenientNumber::read(standardText);
    r.tolerance = LenientNumber::read(toleranceText);
    r.verdict = DensityJudge::judge(standardText, toleranceText, statistics.mean) ==
                        DensityJudge::Verdict::OK
                    ? QStringLiteral("OK")
                    : QStringLiteral("NG");
    r.elapsedUs = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
    // The writer hashes and, for NG, archives these pixels off this thread.
    r.pixels = QByteArray(reinterpret_cast<const char*>(image.bufferAddress()),
                          image.bytesPerLine() * image.height());
    r.imageWidth = image.width();
    r.imageHeight = image.height();
    store_->record(std::move(r));
    return true;
}

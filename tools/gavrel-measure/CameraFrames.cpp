#include "CameraFrames.h"

// Standard library
#include <chrono>
#include <memory>
#include <thread>

// Ours
#include "KeshImage.h"

namespace {

// The window lets a camera settle this long between opening it and the first capture.
constexpr auto kSettleAfterOpen = std::chrono::milliseconds(350);

QString statusMeaning(int status) {
    switch (status) {
    case KeshVideo::FileUnreadable:
        return QStringLiteral("the configuration file is missing or unreadable");
    case KeshVideo::NoPipeline:
        return QStringLiteral("the configuration names no pipeline");
    case KeshVideo::PipelineInvalid:
        return QStringLiteral("the pipeline does not parse");
    case KeshVideo::SourceFailed:
        return QStringLiteral("the source fails to start");
    case KeshVideo::Timeout:
        return QStringLiteral("no frame within the timeout");
    case KeshVideo::EndOfStream:
        return QStringLiteral("the source ended");
    case KeshVideo::StreamError:
        return QStringLiteral("the source failed while running");
    case KeshVideo::WrongFrameFormat:
        return QStringLiteral("frames of the wrong format");
    default:
        return QStringLiteral("no open camera");
    }
}

} // namespace

CameraFrames::CameraFrames(QString configPath, int frames)
    : configPath_(std::move(configPath)), frames_(frames) {}

CameraFrames::~CameraFrames() {
    if (video_.isOpen()) {
        video_.close();
    }
}

std::optional<MeasureInput> CameraFrames::next() {
    if (taken_ >= frames_) {
        return std::nullopt;
    }
    if (!opened_) {
        opened_ = true;
        video_.setConfigFile(configPath_);
        video_.open();
        if (video_.status() != KeshVideo::Ok) {
            taken_ = frames_;
            return failure(configPath_);
        }
        std::this_thread::sleep_for(kSettleAfterOpen);
    }
    ++taken_;
    const QString source = QStringLiteral("%1#%2").arg(configPath_).arg(taken_);
    auto frame = std::make_shared<KeshImage>();
    video_.captureBegin();
    video_.captureEnd(*frame);
    if (video_.status() != KeshVideo::Ok) {
        // A source that ended or failed gives no more frames: one row says so, and the run
        // stops instead of asking it again for every frame left.
        if (video_.status() == KeshVideo::EndOfStream ||
            video_.status() == KeshVideo::StreamError) {
            frames_ = taken_;
        }
        return failure(source);
    }
    return MeasureInput{source, {}, {}, std::move(frame), 0, {}, taken_};
}

MeasureInput CameraFrames::failure(const QString& source) const {
    MeasureInput input;
    input.source = source;
    input.errorCode = video_.status();
    input.errorText = statusMeaning(video_.status());
    if (!video_.statusText().isEmpty()) {
        input.errorText += QStringLiteral(" (%1)").arg(video_.statusText().simplified());
    }
    return input;
}

#include "KeshVideo.h"

// Standard library
#include <algorithm>
#include <mutex>
#include <utility>

// GStreamer
#include <gst/gst.h>

// Ours
#include "CameraSession.h"
#include "KeshImage.h"
#include "VideoConfigFile.h"
#include "VideoSampleCopier.h"

namespace {

using std::chrono::milliseconds;
using Clock = CameraSession::Clock;

bool initGStreamer() {
    static std::once_flag once;
    static bool initialised = false;
    std::call_once(once, [] {
        GError* error = nullptr;
        initialised = gst_init_check(nullptr, nullptr, &error);
        g_clear_error(&error);
    });
    return initialised;
}

QString completion(VideoConfigFile::Fit fit) {
    const QString fitting = fit == VideoConfigFile::Fit::Crop
                                ? QStringLiteral("aspectratiocrop aspect-ratio=%1/%2 ! videoscale")
                                      .arg(VideoSampleCopier::kWidth)
                                      .arg(VideoSampleCopier::kHeight)
                                : QStringLiteral("videoscale add-borders=false");
    return QStringLiteral(" ! videoconvert ! %1 ! video/x-raw,format=GRAY8,width=%2,height=%3"
                          " ! appsink name=%4 max-buffers=1 drop=true sync=false")
        .arg(fitting)
        .arg(VideoSampleCopier::kWidth)
        .arg(VideoSampleCopier::kHeight)
        .arg(QLatin1String(KeshVideo::kFrameSinkName));
}

Clock::time_point deadlineAfter(milliseconds timeout) {
    return Clock::now() + timeout + KeshVideo::kAnswerMargin;
}

std::chrono::nanoseconds runningTime(GstSample* sample) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    const GstSegment* segment = gst_sample_get_segment(sample);
    if (!buffer || !segment || !GST_BUFFER_PTS_IS_VALID(buffer)) {
        return std::chrono::nanoseconds(-1);
    }
    const guint64 time =
        gst_segment_to_running_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    return std::chrono::nanoseconds(GST_CLOCK_TIME_IS_VALID(time) ? qint64(time) : -1);
}

} // namespace

KeshVideo::KeshVideo(QString programFolder) : programFolder_(std::move(programFolder)) {}

KeshVideo::~KeshVideo() {
    close();
}

void KeshVideo::setConfigFile(const QString& path) {
    configFile_ = path;
}

void KeshVideo::open() {
    openBegin();
    if (opening_) {
        status_ = endSession(*opening_);
    }
}

void KeshVideo::openBegin() {
    close();
    status_ = beginSession();
}

bool KeshVideo::openEnd(milliseconds wait) {
    if (!opening_) {
        return true;
    }
    const auto deadline = std::min(*opening_, Clock::now() + wait);
    if (deadline < *opening_ && !session_->openAnswered(deadline)) {
        return false;
    }
    status_ = endSession(*opening_);
    return true;
}

int KeshVideo::status() const {
    return status_;
}

bool KeshVideo::isOpen() const {
    return session_ && !lost_ && !opening_;
}

void KeshVideo::captureBegin() {
    captureArmed_ = false;
    if (!isOpen()) {
        status_ = statusWhenLost_;
        return;
    }
    const milliseconds timeout = captureTimeout();
    auto answer = session_->arm(deadlineAfter(timeout));
    if (!answer) {
        status_ = abandon(timeout);
    } else if (answer->lost) {
        status_ = lose(answer->status, answer->text);
    } else {
        captureArmed_ = true;
    }
}

void KeshVideo::captureEnd(KeshImage& image) {
    if (!isOpen()) {
        status_ = statusWhenLost_;
        if (statusText_.isEmpty()) {
            statusText_ = QStringLiteral("the camera is not open");
        }
        return;
    }
    const milliseconds timeout = captureTimeout();
    auto answer = session_->capture(timeout, !captureArmed_, deadlineAfter(timeout));
    captureArmed_ = false;
    if (!answer) {
        status_ = abandon(timeout);
        return;
    }
    if (answer->lost) {
        status_ = lose(answer->status, answer->text);
        return;
    }
    status_ = answer->status;
    statusText_ = answer->text;
    if (status_ == Ok && VideoSampleCopier::copyTo(answer->frame.get(), image)) {
        lastFrameRunningTime_ = runningTime(answer->frame.get());
    } else if (status_ == Ok) {
        status_ = WrongFrameFormat;
        statusText_ = QStringLiteral("the frame does not fit the image");
    }
}

void KeshVideo::close() {
    if (opening_) {
        // The session stops by itself once its start is over.
        opening_.reset();
        session_->close(Clock::now());
        session_.reset();
        statusText_ = QStringLiteral("the camera was closed while opening");
    }
    if (session_) {
        const milliseconds timeout = closeTimeout();
        // A failed camera keeps its failure as the text: a source refused its device (one in
        // use by another program, say) may take longer than that to let go of it.
        if (!session_->close(deadlineAfter(timeout)) && !lost_) {
            statusText_ =
                QStringLiteral("the camera did not stop within %1 ms; it stops in the background")
                    .arg(timeout.count());
        }
        session_.reset();
    }
    lost_ = false;
    statusWhenLost_ = NotOpen;
    captureArmed_ = false;
}

// Nonzero when opening failed before a session was started.
int KeshVideo::beginSession() {
    if (!initGStreamer()) {
        statusText_ = QStringLiteral("GStreamer could not be initialised");
        return SourceFailed;
    }
    const VideoConfigFile config = VideoConfigFile::read(configFile_, programFolder_);
    switch (config.result()) {
    case VideoConfigFile::Result::Unreadable:
        statusText_ =
            QStringLiteral("cannot read the video configuration file \"%1\"").arg(configFile_);
        return FileUnreadable;
    case VideoConfigFile::Result::NoPipeline:
        statusText_ = QStringLiteral("no [Video] Pipeline= in \"%1\"").arg(configFile_);
        return NoPipeline;
    case VideoConfigFile::Result::Ok:
        break;
    }
    const milliseconds openTimeout =
        config.openTimeoutMs() ? milliseconds(*config.openTimeoutMs()) : openTimeout_;
    configCaptureTimeout_.reset();
    if (config.captureTimeoutMs()) {
        configCaptureTimeout_ = milliseconds(*config.captureTimeoutMs());
    }
    configCloseTimeout_.reset();
    if (config.closeTimeoutMs()) {
        configCloseTimeout_ = milliseconds(*config.closeTimeoutMs());
    }

    opening_ = deadlineAfter(openTimeout);
    openTimeoutInUse_ = openTimeout;
    session_ = CameraSession::open(config.pipeline() + completion(config.fit()), openTimeout);
    return NotOpen;
}

int KeshVideo::endSession(Clock::time_point deadline) {
    opening_.reset();
    auto answer = session_->openAnswer(deadline);
    int status = Ok;
    if (!answer) {
        status = abandon(openTimeoutInUse_);
    } else if (answer->status != Ok) {
        status = lose(answer->status, answer->text);
    }
    if (status == Ok) {
        statusText_.clear();
    } else {
        statusWhenLost_ = NotOpen;
    }
    return status;
}

// The session tears its pipeline down itself; close() waits for that, within its timeout.
int KeshVideo::lose(int status, const QString& text) {
    lost_ = true;
    statusWhenLost_ = status;
    statusText_ = text;
    captureArmed_ = false;
    return status;
}

// The camera's thread is stuck inside GStreamer: it is left to finish on its own.
int KeshVideo::abandon(milliseconds waited) {
    session_->close(Clock::now());
    session_.reset();
    lost_ = false;
    statusWhenLost_ = Timeout;
    captureArmed_ = false;
    statusText_ = QStringLiteral("the camera did not answer within %1 ms; it is left to stop in "
                                 "the background")
                      .arg(waited.count());
    return Timeout;
}

milliseconds KeshVideo::captureTimeout() const {
    return configCaptureTimeout_.value_or(captureTimeout_);
}

milliseconds KeshVideo::closeTimeout() const {
    return configCloseTimeout_.value_or(closeTimeout_);
}

#include "KeshVideo.h"

// Standard library
#include <algorithm>
#include <mutex>

// GStreamer
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

// Ours
#include "KeshImage.h"
#include "VideoConfigFile.h"
#include "VideoSampleCopier.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr const char* kSinkName = "gavrel_frames";
// Bus checks happen at least this often while waiting for a frame.
constexpr milliseconds kPollSlice{20};
// A live source delivers at most a frame or two while draining; this only bounds the loop.
constexpr int kMaxDrainedFrames = 16;

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
        .arg(QLatin1String(kSinkName));
}

bool isNegotiationError(GstMessage* message, const GError* error) {
    if ((error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_NEGOTIATION) ||
        (error->domain == GST_STREAM_ERROR &&
         (error->code == GST_STREAM_ERROR_FORMAT || error->code == GST_STREAM_ERROR_WRONG_TYPE))) {
        return true;
    }
    const GstStructure* details = nullptr;
    gst_message_parse_error_details(message, &details);
    int flow = GST_FLOW_OK;
    return details && gst_structure_get_int(details, "flow-return", &flow) &&
           flow == GST_FLOW_NOT_NEGOTIATED;
}

QString describeSample(GstSample* sample) {
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    gchar* capsText = caps ? gst_caps_to_string(caps) : nullptr;
    const QString text = QStringLiteral("unexpected frame: %1, %2 bytes")
                             .arg(QString::fromUtf8(capsText ? capsText : "no caps"))
                             .arg(buffer ? gst_buffer_get_size(buffer) : 0);
    g_free(capsText);
    return text;
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

struct KeshVideo::Pipeline {
    GstElement* element = nullptr;
    GstAppSink* sink = nullptr;
    GstBus* bus = nullptr;

    Pipeline() = default;
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;
    ~Pipeline() {
        if (element) {
            gst_element_set_state(element, GST_STATE_NULL);
        }
        if (sink) {
            gst_object_unref(sink);
        }
        if (bus) {
            gst_object_unref(bus);
        }
        if (element) {
            gst_object_unref(element);
        }
    }
};

KeshVideo::KeshVideo() = default;

KeshVideo::~KeshVideo() {
    close();
}

void KeshVideo::setConfigFile(const QString& path) {
    configFile_ = path;
}

void KeshVideo::open() {
    close();
    status_ = openPipeline();
    if (status_ == Ok) {
        statusText_.clear();
    } else {
        pipeline_.reset();
        statusWhenLost_ = NotOpen;
    }
}

int KeshVideo::status() const {
    return status_;
}

bool KeshVideo::isOpen() const {
    return pipeline_ != nullptr;
}

void KeshVideo::captureBegin(KeshImage& /*image*/) {
    captureArmed_ = false;
    if (!pipeline_) {
        status_ = statusWhenLost_;
        return;
    }
    if (const int failure = pendingFailure(true); failure != Ok) {
        status_ = fail(failure);
        return;
    }
    drainFrames();
    captureArmed_ = true;
}

void KeshVideo::captureEnd(KeshImage& image) {
    if (!pipeline_) {
        status_ = statusWhenLost_;
        if (statusText_.isEmpty()) {
            statusText_ = QStringLiteral("the camera is not open");
        }
        return;
    }
    if (!captureArmed_) {
        drainFrames();
    }
    captureArmed_ = false;
    status_ = waitForFrame(configCaptureTimeout_.value_or(captureTimeout_), &image, true);
    if (status_ == Ok) {
        statusText_.clear();
    }
}

void KeshVideo::close() {
    pipeline_.reset();
    statusWhenLost_ = NotOpen;
    captureArmed_ = false;
}

int KeshVideo::openPipeline() {
    if (!initGStreamer()) {
        statusText_ = QStringLiteral("GStreamer could not be initialised");
        return SourceFailed;
    }
    const VideoConfigFile config = VideoConfigFile::read(configFile_);
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
    const QString description = config.pipeline() + completion(config.fit());

    // Fatal errors: an unknown element or property yields nothing, not a half-built pipeline.
    GError* error = nullptr;
    GstElement* element = gst_parse_launch_full(description.toUtf8().constData(), nullptr,
                                                GST_PARSE_FLAG_FATAL_ERRORS, &error);
    if (error || !element || !GST_IS_PIPELINE(element)) {
        statusText_ = error ? QString::fromUtf8(error->message)
                            : QStringLiteral("the description is not a pipeline");
        g_clear_error(&error);
        if (element) {
            gst_object_unref(element);
        }
        return PipelineInvalid;
    }
    pipeline_ = std::make_unique<Pipeline>();
    pipeline_->element = element;
    pipeline_->bus = gst_element_get_bus(element);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(element), kSinkName);
    if (!sink || !GST_IS_APP_SINK(sink)) {
        if (sink) {
            gst_object_unref(sink);
        }
        statusText_ = QStringLiteral("the frame sink is missing");
        return PipelineInvalid;
    }
    pipeline_->sink = GST_APP_SINK(sink);

    if (gst_element_set_state(element, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        const int failure = pendingFailure(false);
        if (failure == Ok) {
            statusText_ = QStringLiteral("the source does not start");
        }
        return failure == Ok ? SourceFailed : failure;
    }
    return waitForFrame(openTimeout, nullptr, false);
}

int KeshVideo::waitForFrame(milliseconds timeout, KeshImage* image, bool framesArrived) {
    const auto deadline = steady_clock::now() + timeout;
    for (;;) {
        if (const int failure = pendingFailure(framesArrived); failure != Ok) {
            return fail(failure);
        }
        const auto remaining =
            std::chrono::duration_cast<milliseconds>(deadline - steady_clock::now());
        if (remaining <= milliseconds::zero()) {
            statusText_ = QStringLiteral("no frame within %1 ms").arg(timeout.count());
            return Timeout;
        }
        const auto slice = std::min(remaining, kPollSlice);
        GstSample* sample = gst_app_sink_try_pull_sample(
            pipeline_->sink, GstClockTime(std::chrono::nanoseconds(slice).count()));
        if (!sample) {
            if (gst_app_sink_is_eos(pipeline_->sink)) {
                const int failure = pendingFailure(framesArrived);
                if (failure == Ok) {
                    statusText_ = QStringLiteral("the source ended");
                    return fail(EndOfStream);
                }
                return fail(failure);
            }
            continue;
        }
        // A frame that raced with an error or the end of the stream is not trusted.
        const int failure = pendingFailure(framesArrived);
        if (failure != Ok) {
            gst_sample_unref(sample);
            return fail(failure);
        }
        const bool accepted = image ? VideoSampleCopier::copyTo(sample, *image)
                                    : VideoSampleCopier::isExpectedFrame(sample);
        if (accepted && image) {
            lastFrameRunningTime_ = runningTime(sample);
        }
        if (!accepted) {
            statusText_ = describeSample(sample);
        }
        gst_sample_unref(sample);
        return accepted ? Ok : WrongFrameFormat;
    }
}

void KeshVideo::drainFrames() {
    for (int i = 0; i < kMaxDrainedFrames; ++i) {
        GstSample* sample = gst_app_sink_try_pull_sample(pipeline_->sink, 0);
        if (!sample) {
            return;
        }
        gst_sample_unref(sample);
    }
}

// Pops the bus up to the first error or end of stream; other messages are dropped so the
// bus does not grow.
int KeshVideo::pendingFailure(bool framesArrived) {
    GstMessage* message =
        gst_bus_pop_filtered(pipeline_->bus, GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
    if (!message) {
        return Ok;
    }
    int failure = EndOfStream;
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError* error = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        statusText_ = QString::fromUtf8(error ? error->message : "stream error");
        if (debug) {
            statusText_ += QStringLiteral(" (%1)").arg(QString::fromUtf8(debug));
        }
        if (error && isNegotiationError(message, error)) {
            failure = WrongFrameFormat;
        } else {
            failure = framesArrived ? StreamError : SourceFailed;
        }
        g_clear_error(&error);
        g_free(debug);
    } else {
        statusText_ = QStringLiteral("the source ended");
    }
    gst_message_unref(message);
    return failure;
}

// The pipeline is of no further use: release the device now and keep reporting why.
int KeshVideo::fail(int status) {
    pipeline_.reset();
    statusWhenLost_ = status;
    captureArmed_ = false;
    return status;
}

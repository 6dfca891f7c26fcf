#include "CameraSession.h"

// Standard library
#include <algorithm>
#include <cstring>
#include <thread>
#include <utility>

// GStreamer
#include <gst/app/gstappsink.h>

// Ours
#include "KeshVideo.h"
#include "VideoSampleCopier.h"

namespace {

using std::chrono::milliseconds;

// Bus checks happen at least this often while waiting for a frame.
constexpr milliseconds kPollSlice{20};
// A live source delivers at most a frame or two while draining; this only bounds the loop.
constexpr int kMaxDrainedFrames = 16;

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

bool isSink(GstElement* element) {
    const gchar* klass = gst_element_get_metadata(element, GST_ELEMENT_METADATA_KLASS);
    return (klass && std::strstr(klass, "Sink")) ||
           (!GST_IS_BIN(element) && GST_OBJECT_FLAG_IS_SET(element, GST_ELEMENT_FLAG_SINK));
}

// A configuration names a source: any sink in it, at any depth, could write or send the
// pictures somewhere. Returns the name and class of the first one other than `own`.
QString foreignSink(GstBin* pipeline, GstElement* own) {
    GstIterator* elements = gst_bin_iterate_recurse(pipeline);
    GValue item = G_VALUE_INIT;
    QString found;
    for (bool more = true; more && found.isEmpty();) {
        switch (gst_iterator_next(elements, &item)) {
        case GST_ITERATOR_OK: {
            auto* element = GST_ELEMENT(g_value_get_object(&item));
            if (element != own && isSink(element)) {
                gchar* name = gst_element_get_name(element);
                found = QStringLiteral("%1 (%2)").arg(QString::fromUtf8(name),
                                                      QString::fromUtf8(gst_element_get_metadata(
                                                          element, GST_ELEMENT_METADATA_LONGNAME)));
                g_free(name);
            }
            g_value_reset(&item);
            break;
        }
        case GST_ITERATOR_RESYNC:
            gst_iterator_resync(elements);
            break;
        default:
            more = false;
            break;
        }
    }
    g_value_unset(&item);
    gst_iterator_free(elements);
    return found;
}

CameraSession::Answer failure(int status, QString text) {
    CameraSession::Answer answer;
    answer.status = status;
    answer.text = std::move(text);
    answer.lost = true;
    return answer;
}

} // namespace

struct CameraSession::Pipeline {
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

CameraSession::CameraSession() = default;
CameraSession::~CameraSession() = default;

std::shared_ptr<CameraSession> CameraSession::open(const QString& description,
                                                   milliseconds openTimeout) {
    std::shared_ptr<CameraSession> session(new CameraSession);
    session->asked_ = 1;
    const auto deadline = Clock::now() + openTimeout;
    // The thread holds the session until the pipeline is down; nothing ever waits for it.
    std::thread([session, description, deadline, openTimeout] {
        session->run(description, deadline, openTimeout);
    }).detach();
    return session;
}

std::optional<CameraSession::Answer> CameraSession::openAnswer(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_until(lock, deadline, [this] { return answered_ == asked_; })) {
        return std::nullopt;
    }
    return std::move(answer_);
}

bool CameraSession::openAnswered(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, deadline, [this] { return answered_ >= 1; });
}

std::optional<CameraSession::Answer> CameraSession::arm(Clock::time_point deadline) {
    return ask(Request::Arm, deadline);
}

std::optional<CameraSession::Answer>
CameraSession::capture(milliseconds timeout, bool dropOldFrames, Clock::time_point deadline) {
    {
        std::lock_guard lock(mutex_);
        captureTimeout_ = timeout;
        dropOldFrames_ = dropOldFrames;
    }
    return ask(Request::Capture, deadline);
}

bool CameraSession::close(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    request_ = Request::Close;
    changed_.notify_all();
    return changed_.wait_until(lock, deadline, [this] { return finished_; });
}

std::optional<CameraSession::Answer> CameraSession::ask(Request request,
                                                        Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (finished_ || answered_ != asked_) {
        return failure(KeshVideo::NotOpen, QStringLiteral("the camera is not open"));
    }
    request_ = request;
    ++asked_;
    answer_.reset();
    changed_.notify_all();
    if (!changed_.wait_until(lock, deadline, [this] { return answered_ == asked_; })) {
        return std::nullopt;
    }
    return std::move(answer_);
}

bool CameraSession::closeRequested() {
    std::lock_guard lock(mutex_);
    return request_ == Request::Close;
}

CameraSession::Request CameraSession::nextRequest() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return request_ != Request::None; });
    return std::exchange(request_, Request::None);
}

void CameraSession::deliver(Answer answer) {
    std::lock_guard lock(mutex_);
    answer_ = std::move(answer);
    ++answered_;
    changed_.notify_all();
}

void CameraSession::run(const QString& description, Clock::time_point openDeadline,
                        milliseconds openTimeout) {
    Answer answer = start(description, openDeadline, openTimeout);
    bool alive = !answer.lost;
    deliver(std::move(answer));
    while (alive) {
        switch (nextRequest()) {
        case Request::Arm:
            if (auto failed = pendingFailure(true)) {
                answer = std::move(*failed);
            } else {
                dropFrames();
                answer = Answer{};
            }
            break;
        case Request::Capture: {
            milliseconds timeout{0};
            bool dropOldFrames = false;
            {
                std::lock_guard lock(mutex_);
                timeout = captureTimeout_;
                dropOldFrames = dropOldFrames_;
            }
            if (dropOldFrames) {
                dropFrames();
            }
            answer = waitForFrame(Clock::now() + timeout, timeout, true);
            break;
        }
        case Request::Close:
        case Request::None:
            alive = false;
            continue;
        }
        alive = !answer.lost;
        deliver(std::move(answer));
    }
    // However long the source takes to stop, only this thread waits for it.
    pipeline_.reset();
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

CameraSession::Answer CameraSession::start(const QString& description, Clock::time_point deadline,
                                           milliseconds timeout) {
    // Fatal errors: an unknown element or property yields nothing, not a half-built pipeline.
    GError* error = nullptr;
    GstElement* element = gst_parse_launch_full(description.toUtf8().constData(), nullptr,
                                                GST_PARSE_FLAG_FATAL_ERRORS, &error);
    if (error || !element || !GST_IS_PIPELINE(element)) {
        Answer answer = failure(KeshVideo::PipelineInvalid,
                                error ? QString::fromUtf8(error->message)
                                      : QStringLiteral("the description is not a pipeline"));
        g_clear_error(&error);
        if (element) {
            gst_object_unref(element);
        }
        return answer;
    }
    pipeline_ = std::make_unique<Pipeline>();
    pipeline_->element = element;
    pipeline_->bus = gst_element_get_bus(element);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(element), KeshVideo::kFrameSinkName);
    if (!sink || !GST_IS_APP_SINK(sink) || GST_OBJECT_PARENT(sink) != GST_OBJECT(element)) {
        if (sink) {
            gst_object_unref(sink);
        }
        return failure(KeshVideo::PipelineInvalid, QStringLiteral("the frame sink is missing"));
    }
    pipeline_->sink = GST_APP_SINK(sink);
    if (const QString other = foreignSink(GST_BIN(element), sink); !other.isEmpty()) {
        return failure(KeshVideo::PipelineInvalid,
                       QStringLiteral("the source may not contain the sink %1: a video "
                                      "configuration names where pictures come from, not where "
                                      "they go")
                           .arg(other));
    }

    if (gst_element_set_state(element, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        if (auto failed = pendingFailure(false)) {
            return std::move(*failed);
        }
        return failure(KeshVideo::SourceFailed, QStringLiteral("the source does not start"));
    }
    Answer answer = waitForFrame(deadline, timeout, false);
    answer.frame.reset();
    answer.lost = answer.status != KeshVideo::Ok;
    return answer;
}

CameraSession::Answer CameraSession::waitForFrame(Clock::time_point deadline, milliseconds timeout,
                                                  bool framesArrived) {
    for (;;) {
        if (auto failed = pendingFailure(framesArrived)) {
            return std::move(*failed);
        }
        // Given up while opening: nobody waits for the first frame any more.
        if (!framesArrived && closeRequested()) {
            return failure(KeshVideo::NotOpen, QStringLiteral("closed while opening"));
        }
        const auto remaining = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (remaining <= milliseconds::zero()) {
            Answer answer;
            answer.status = KeshVideo::Timeout;
            answer.text = QStringLiteral("no frame within %1 ms").arg(timeout.count());
            return answer;
        }
        const auto slice = std::min(remaining, kPollSlice);
        Sample sample(gst_app_sink_try_pull_sample(
            pipeline_->sink, GstClockTime(std::chrono::nanoseconds(slice).count())));
        if (!sample) {
            if (gst_app_sink_is_eos(pipeline_->sink)) {
                if (auto failed = pendingFailure(framesArrived)) {
                    return std::move(*failed);
                }
                return failure(KeshVideo::EndOfStream, QStringLiteral("the source ended"));
            }
            continue;
        }
        // A frame that raced with an error or the end of the stream is not trusted.
        if (auto failed = pendingFailure(framesArrived)) {
            return std::move(*failed);
        }
        Answer answer;
        if (VideoSampleCopier::isExpectedFrame(sample.get())) {
            answer.frame = std::move(sample);
        } else {
            answer.status = KeshVideo::WrongFrameFormat;
            answer.text = describeSample(sample.get());
        }
        return answer;
    }
}

void CameraSession::dropFrames() {
    for (int i = 0; i < kMaxDrainedFrames; ++i) {
        Sample sample(gst_app_sink_try_pull_sample(pipeline_->sink, 0));
        if (!sample) {
            return;
        }
    }
}

// Pops the bus up to the first error or end of stream; other messages are dropped so the
// bus does not grow.
std::optional<CameraSession::Answer> CameraSession::pendingFailure(bool framesArrived) {
    GstMessage* message =
        gst_bus_pop_filtered(pipeline_->bus, GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
    if (!message) {
        return std::nullopt;
    }
    Answer answer = failure(KeshVideo::EndOfStream, QStringLiteral("the source ended"));
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError* error = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        answer.text = QString::fromUtf8(error ? error->message : "stream error");
        if (debug) {
            answer.text += QStringLiteral(" (%1)").arg(QString::fromUtf8(debug));
        }
        if (error && isNegotiationError(message, error)) {
            answer.status = KeshVideo::WrongFrameFormat;
        } else {
            answer.status = framesArrived ? KeshVideo::StreamError : KeshVideo::SourceFailed;
        }
        g_clear_error(&error);
        g_free(debug);
    }
    gst_message_unref(message);
    return answer;
}

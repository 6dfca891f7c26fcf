#pragma once

// Standard library
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

// Qt
#include <QString>

// GStreamer
#include <gst/gst.h>

// One opened camera pipeline and the thread that owns it. Every GStreamer call on the
// pipeline runs on that thread, so a source that blocks holds up only that thread: the
// caller waits for each answer until a deadline of its own and may walk away. The thread
// keeps the session alive until the pipeline is down, however late, and is never joined.
class CameraSession {
public:
    using Clock = std::chrono::steady_clock;

    struct SampleRelease {
        void operator()(GstSample* sample) const { gst_sample_unref(sample); }
    };
    using Sample = std::unique_ptr<GstSample, SampleRelease>;

    struct Answer {
        int status = 0;    // a KeshVideo::Status
        QString text;      // what went wrong, in GStreamer's words where it said something
        Sample frame;      // the frame captured, of the expected size and format
        bool lost = false; // the pipeline is of no further use and is being torn down
    };

    // Starts the thread, which builds `description` and waits for the first frame until
    // `openTimeout` after now.
    static std::shared_ptr<CameraSession> open(const QString& description,
                                               std::chrono::milliseconds openTimeout);

    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;
    ~CameraSession();

    // Each returns nothing when no answer came by `deadline`.
    std::optional<Answer> openAnswer(Clock::time_point deadline);
    // Whether the open's answer is there by `deadline`, leaving it for openAnswer().
    bool openAnswered(Clock::time_point deadline);
    // Drops the frames taken so far, so that the next capture is taken after this call.
    std::optional<Answer> arm(Clock::time_point deadline);
    std::optional<Answer> capture(std::chrono::milliseconds timeout, bool dropOldFrames,
                                  Clock::time_point deadline);
    // Asks for the pipeline to be torn down; true when it was down by `deadline`.
    bool close(Clock::time_point deadline);

private:
    enum class Request { None, Arm, Capture, Close };
    struct Pipeline;

    CameraSession();
    void run(const QString& description, Clock::time_point openDeadline,
             std::chrono::milliseconds openTimeout);
    std::optional<Answer> ask(Request request, Clock::time_point deadline);
    Request nextRequest();
    bool closeRequested();
    void deliver(Answer answer);

    // On the session's thread only.
    Answer start(const QString& description, Clock::time_point deadline,
                 std::chrono::milliseconds timeout);
    Answer waitForFrame(Clock::time_point deadline, std::chrono::milliseconds timeout,
                        bool framesArrived);
    void dropFrames();
    std::optional<Answer> pendingFailure(bool framesArrived);

    std::unique_ptr<Pipeline> pipeline_;

    std::mutex mutex_;
    std::condition_variable changed_;
    Request request_ = Request::None;
    std::chrono::milliseconds captureTimeout_{0};
    bool dropOldFrames_ = false;
    int asked_ = 0;    // requests made, the open included
    int answered_ = 0; // answers delivered
    std::optional<Answer> answer_;
    bool finished_ = false;
};

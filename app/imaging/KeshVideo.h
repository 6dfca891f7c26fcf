#pragma once

// Standard library
#include <chrono>
#include <memory>
#include <optional>

// Qt
#include <QString>

// Ours
#include "ProgramFolder.h"

class CameraSession;
class KeshImage;

// The camera: a GStreamer source named by a video configuration file, completed to
// 512 x 480 GRAY8 frames. The pipeline lives on a thread of its own (CameraSession); no
// call waits longer than its timeout plus kAnswerMargin, whatever the source does.
// Failures are reported by status().
class KeshVideo {
public:
    // Status of the last open or capture. 0 is success.
    enum Status : int {
        Ok = 0,
        FileUnreadable = 1,   // the configuration file is missing or cannot be read
        NoPipeline = 2,       // the file names no source
        PipelineInvalid = 3,  // the source does not parse (unknown element or property)
        SourceFailed = 4,     // the source fails to start (no such device, busy...)
        Timeout = 5,          // no frame within the timeout
        EndOfStream = 6,      // the source ended
        StreamError = 7,      // the source failed while running
        WrongFrameFormat = 8, // a frame that is not 512 x 480 GRAY8, or a short buffer
        NotOpen = 9,          // capture without an open camera
    };

    static constexpr std::chrono::milliseconds kDefaultOpenTimeout{5000};
    static constexpr std::chrono::milliseconds kDefaultCaptureTimeout{2000};
    static constexpr std::chrono::milliseconds kDefaultCloseTimeout{2000};
    // Time for an answer to come back from the camera's thread once its own timeout is up.
    static constexpr std::chrono::milliseconds kAnswerMargin{250};
    static constexpr const char* kFrameSinkName = "gavrel_frames";

    // $(ProgramFolder) in a configuration file stands for `programFolder`.
    explicit KeshVideo(QString programFolder = ProgramFolder::path());
    ~KeshVideo();
    KeshVideo(const KeshVideo&) = delete;
    KeshVideo& operator=(const KeshVideo&) = delete;

    // Named after the camera control's dispatch members: ids 1 (put), 101, 110, 103, 200, 102.
    void setConfigFile(const QString& path);
    void open();
    // open() in two halves, for a caller that must not wait: openBegin() starts opening and
    // openEnd() waits for the answer until `wait` at most, false while there is none yet.
    // A close() meanwhile gives the opening up without waiting for it.
    void openBegin();
    bool openEnd(std::chrono::milliseconds wait);
    bool isOpening() const { return opening_.has_value(); }
    int status() const;
    // Asks for the next frame; captureEnd() waits for it and puts it into the image.
    void captureBegin();
    void captureEnd(KeshImage& image);
    void close();

    // Used when the configuration file sets no timeout of its own.
    void setOpenTimeout(std::chrono::milliseconds timeout) { openTimeout_ = timeout; }
    void setCaptureTimeout(std::chrono::milliseconds timeout) { captureTimeout_ = timeout; }
    void setCloseTimeout(std::chrono::milliseconds timeout) { closeTimeout_ = timeout; }

    bool isOpen() const;
    // What went wrong, in GStreamer's words where it said something; empty after success.
    const QString& statusText() const { return statusText_; }
    // Running time of the frame last captured, or -1 before the first capture.
    std::chrono::nanoseconds lastFrameRunningTime() const { return lastFrameRunningTime_; }

private:
    int beginSession();
    int endSession(std::chrono::steady_clock::time_point deadline);
    int lose(int status, const QString& text);
    int abandon(std::chrono::milliseconds waited);
    std::chrono::milliseconds captureTimeout() const;
    std::chrono::milliseconds closeTimeout() const;

    QString programFolder_;
    QString configFile_;
    // Set from open to close; after a failure it is only being torn down.
    std::shared_ptr<CameraSession> session_;
    // Set from openBegin() until its answer: when opening gives up.
    std::optional<std::chrono::steady_clock::time_point> opening_;
    std::chrono::milliseconds openTimeoutInUse_{0};
    bool lost_ = false;
    int status_ = NotOpen;
    int statusWhenLost_ = NotOpen; // reported by captures after the pipeline failed
    bool captureArmed_ = false;
    QString statusText_;
    std::chrono::milliseconds openTimeout_ = kDefaultOpenTimeout;
    std::chrono::milliseconds captureTimeout_ = kDefaultCaptureTimeout;
    std::chrono::milliseconds closeTimeout_ = kDefaultCloseTimeout;
    std::optional<std::chrono::milliseconds> configCaptureTimeout_;
    std::optional<std::chrono::milliseconds> configCloseTimeout_;
    std::chrono::nanoseconds lastFrameRunningTime_{-1};
};

#pragma once

// Standard library
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

// Qt
#include <QObject>

// Ours
#include "LiveFrameSlot.h"

// Pulls frames from a camera on a thread of its own and offers the newest to the thread
// that owns this object. That thread never waits for a frame: it is told through
// frameReady() and takes the frame when it gets to it.
class LiveFeed : public QObject {
    Q_OBJECT

public:
    // Fills the image with the next frame and returns the camera's status (0: a frame).
    using CaptureFrame = std::function<int(KeshImage& image)>;

    explicit LiveFeed(CaptureFrame captureFrame, QObject* parent = nullptr);
    ~LiveFeed() override;

    void start();
    // Returns once the camera's thread has finished its capture in progress.
    void stop();
    bool isRunning() const { return worker_.joinable(); }

    std::optional<LiveFrame> takeFrame() { return slot_.take(); }
    std::uint64_t skippedFrames() const { return slot_.replaced(); }

signals:
    // A frame waits; sent once until it has been taken.
    void frameReady();
    // The camera failed; the feed has stopped capturing.
    void failed(int status);

private:
    void run();

    CaptureFrame captureFrame_;
    LiveFrameSlot slot_;
    std::thread worker_;
    std::atomic<bool> stopping_{false};
};

// Standard library
#include <atomic>
#include <chrono>
#include <thread>

// Qt
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

// Ours
#include "LiveFeed.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// A camera that delivers a frame every `interval`, numbered in its first pixel, and fails
// with `failure` after `framesBeforeFailure` frames.
struct FakeCamera {
    std::chrono::milliseconds interval{2};
    int framesBeforeFailure = -1;
    int failure = 7;
    std::atomic<int> delivered{0};

    LiveFeed::CaptureFrame capture() {
        return [this](KeshImage& image) {
            std::this_thread::sleep_for(interval);
            if (delivered == framesBeforeFailure) {
                return failure;
            }
            image.bufferAddress()[0] = static_cast<std::uint8_t>(++delivered);
            return 0;
        };
    }
};

TEST(LiveFeedTest, FramesArriveInOrderAndEachIsAnnouncedOnce) {
    FakeCamera camera;
    LiveFeed feed(camera.capture());
    QSignalSpy ready(&feed, &LiveFeed::frameReady);
    feed.start();
    std::uint64_t lastSequence = 0;
    int taken = 0;
    while (taken < 20) {
        ASSERT_TRUE(ready.wait(2000));
        while (auto frame = feed.takeFrame()) {
            EXPECT_GT(frame->sequence, lastSequence);
            EXPECT_EQ(frame->image.bufferAddress()[0], static_cast<std::uint8_t>(frame->sequence));
            lastSequence = frame->sequence;
            ++taken;
        }
    }
    feed.stop();
    EXPECT_FALSE(feed.isRunning());
}

TEST(LiveFeedTest, ASlowReaderGetsTheNewestFrameAndNoBacklog) {
    FakeCamera camera;
    camera.interval = 1ms;
    LiveFeed feed(camera.capture());
    QSignalSpy ready(&feed, &LiveFeed::frameReady);
    feed.start();
    std::this_thread::sleep_for(200ms); // the reader is busy elsewhere
    QCoreApplication::processEvents();
    feed.stop();

    const int delivered = camera.delivered;
    EXPECT_GT(delivered, 20);
    EXPECT_EQ(ready.count(), 1); // one announcement however many frames came meanwhile
    const auto frame = feed.takeFrame();
    ASSERT_TRUE(frame);
    // The newest frame, or the one before when stop() came between capture and hand-over.
    EXPECT_GE(frame->sequence + 1, static_cast<std::uint64_t>(delivered));
    EXPECT_EQ(feed.skippedFrames(), frame->sequence - 1);
    EXPECT_FALSE(feed.takeFrame());
}

TEST(LiveFeedTest, ACameraFailureIsReportedOnceAndCapturingStops) {
    for (const int status : {5, 6, 7, 8}) {
        FakeCamera camera;
        camera.framesBeforeFailure = 3;
        camera.failure = status;
        LiveFeed feed(camera.capture());
        QSignalSpy failed(&feed, &LiveFeed::failed);
        feed.start();
        ASSERT_TRUE(failed.wait(2000)) << status;
        QTest::qWait(50);
        EXPECT_EQ(failed.count(), 1);
        EXPECT_EQ(failed.at(0).at(0).toInt(), status);
        EXPECT_EQ(camera.delivered, 3);
        feed.stop();
    }
}

TEST(LiveFeedTest, StopWaitsForTheCaptureInProgressAndCanRestart) {
    FakeCamera camera;
    camera.interval = 100ms;
    LiveFeed feed(camera.capture());
    QSignalSpy ready(&feed, &LiveFeed::frameReady);
    feed.start();
    std::this_thread::sleep_for(20ms);
    feed.stop();
    const int delivered = camera.delivered;
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(camera.delivered, delivered); // nothing runs after stop()
    feed.start();
    EXPECT_TRUE(ready.wait(2000));
    feed.stop();
}

} // namespace

#include "LiveFeed.h"

// Standard library
#include <utility>

LiveFeed::LiveFeed(CaptureFrame captureFrame, QObject* parent)
    : QObject(parent), captureFrame_(std::move(captureFrame)) {}

LiveFeed::~LiveFeed() {
    stop();
}

void LiveFeed::start() {
    if (worker_.joinable()) {
        return;
    }
    stopping_ = false;
    slot_.take();
    worker_ = std::thread([this] { run(); });
}

void LiveFeed::stop() {
    stopping_ = true;
    if (worker_.joinable()) {
        worker_.join();
    }
}

void LiveFeed::run() {
    std::uint64_t sequence = 0;
    while (!stopping_) {
        LiveFrame frame;
        const int status = captureFrame_(frame.image);
        if (stopping_) {
            return;
        }
        if (status != 0) {
            // Queued, so the owner hears of it on its own thread; dropped if it has gone.
            QMetaObject::invokeMethod(
                this, [this, status] { emit failed(status); }, Qt::QueuedConnection);
            return;
        }
        frame.arrived = std::chrono::steady_clock::now();
        frame.sequence = ++sequence;
        if (slot_.put(std::move(frame))) {
            QMetaObject::invokeMethod(
                this, [this] { emit frameReady(); }, Qt::QueuedConnection);
        }
    }
}

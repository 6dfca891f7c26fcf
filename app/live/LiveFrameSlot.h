#pragma once

// Standard library
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

// Ours
#include "KeshImage.h"

// A camera frame on its way to the window.
struct LiveFrame {
    KeshImage image;
    std::chrono::steady_clock::time_point arrived;
    std::uint64_t sequence = 0;
};

// Hands frames from the camera's thread to the window one at a time: a frame the window has
// not taken yet is replaced by a newer one, so a slow window skips frames instead of
// falling behind.
class LiveFrameSlot {
public:
    // Returns whether the slot was empty, i.e. whether the reader must be told.
    bool put(LiveFrame frame);
    std::optional<LiveFrame> take();
    std::uint64_t replaced() const;

private:
    mutable std::mutex mutex_;
    std::optional<LiveFrame> frame_;
    std::uint64_t replaced_ = 0;
};

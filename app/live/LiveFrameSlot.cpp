#include "LiveFrameSlot.h"

// Standard library
#include <utility>

bool LiveFrameSlot::put(LiveFrame frame) {
    std::optional<LiveFrame> old;
    std::lock_guard lock(mutex_);
    const bool wasEmpty = !frame_.has_value();
    if (!wasEmpty) {
        ++replaced_;
        old = std::move(frame_);
    }
    frame_ = std::move(frame);
    return wasEmpty;
}

std::optional<LiveFrame> LiveFrameSlot::take() {
    std::lock_guard lock(mutex_);
    return std::exchange(frame_, std::nullopt);
}

std::uint64_t LiveFrameSlot::replaced() const {
    std::lock_guard lock(mutex_);
    return replaced_;
}

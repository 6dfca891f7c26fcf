#include "TriggerGate.h"

TriggerGate::Mode TriggerGate::mode() const {
    const std::lock_guard lock(mutex_);
    return mode_;
}

void TriggerGate::setMode(Mode mode) {
    const std::lock_guard lock(mutex_);
    mode_ = mode;
    armedAt_.reset();
    judging_ = false;
}

bool TriggerGate::trigger(Clock::time_point now) {
    const std::lock_guard lock(mutex_);
    if (mode_ != Mode::Triggered || armedAt_ || judging_) {
        ++refused_;
        return false;
    }
    armedAt_ = now;
    return true;
}

bool TriggerGate::takes(Clock::time_point frameArrived) {
    const std::lock_guard lock(mutex_);
    if (mode_ == Mode::Continuous) {
        return true;
    }
    if (!armedAt_ || judging_ || frameArrived <= *armedAt_) {
        return false;
    }
    armedAt_.reset();
    judging_ = true;
    return true;
}

void TriggerGate::finished() {
    const std::lock_guard lock(mutex_);
    judging_ = false;
}

bool TriggerGate::busy() const {
    const std::lock_guard lock(mutex_);
    return armedAt_.has_value() || judging_;
}

std::uint64_t TriggerGate::refused() const {
    const std::lock_guard lock(mutex_);
    return refused_;
}

#pragma once

// Standard library
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

// When a frame is judged for the line. Continuous: every frame. Triggered: a trigger takes the
// next frame that arrives after it; a trigger while one is armed or being judged is refused and
// counted, never queued. Triggers come from any thread; frames from the judging thread.
class TriggerGate {
public:
    using Clock = std::chrono::steady_clock;
    enum class Mode { Continuous, Triggered };

    explicit TriggerGate(Mode mode = Mode::Continuous) : mode_(mode) {}

    Mode mode() const;
    // A change of mode forgets a trigger in progress.
    void setMode(Mode mode);

    // False (and counted) when busy; in continuous mode a trigger is not needed and refused.
    bool trigger(Clock::time_point now = Clock::now());
    // True when this frame is to be judged for the line; in triggered mode it makes the gate
    // busy with it until finished().
    bool takes(Clock::time_point frameArrived);
    void finished();

    bool busy() const;
    std::uint64_t refused() const;

private:
    mutable std::mutex mutex_;
    Mode mode_;
    std::optional<Clock::time_point> armedAt_;
    bool judging_ = false;
    std::uint64_t refused_ = 0;
};

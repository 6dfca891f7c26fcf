#pragma once

// Standard library
#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>

// The figures of a live run: frames judged in the last second and the median time from a
// frame's arrival to its verdict on screen over the latest frames.
class LiveMeter {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kLatencyWindow = 120;

    void reset();
    void frameJudged(Clock::time_point arrived, Clock::time_point judged);

    int framesInLastSecond(Clock::time_point now) const;
    double medianLatencyMs() const;
    std::uint64_t framesJudged() const { return framesJudged_; }

private:
    std::deque<Clock::time_point> judgedTimes_;
    std::deque<double> latenciesMs_;
    std::uint64_t framesJudged_ = 0;
};

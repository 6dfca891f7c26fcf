#pragma once

// Standard library
#include <chrono>
#include <ratio>

// Elapsed time of one measurement, on the steady clock.
class KeshPerformanceCounter {
public:
    // Named after the counter control's dispatch members: ids 1 and 2.
    void start() { started_ = Clock::now(); }

    // Milliseconds since the last start(), with the fractional part.
    double elapsedMilliseconds() const {
        return std::chrono::duration<double, std::milli>(Clock::now() - started_).count();
    }

private:
    using Clock = std::chrono::steady_clock;
    static_assert(std::ratio_less_v<Clock::period, std::micro>,
                  "the steady clock must resolve below a microsecond");
    Clock::time_point started_ = Clock::now();
};

// Standard library
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

// Ours
#include "KeshPerformanceCounter.h"

namespace {

TEST(KeshPerformanceCounterTest, ReportsMillisecondsSinceTheLastStart) {
    KeshPerformanceCounter counter;
    counter.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const double slept = counter.elapsedMilliseconds();
    // Milliseconds, not seconds or microseconds; the upper bound only catches a wrong unit.
    EXPECT_GE(slept, 20.0);
    EXPECT_LT(slept, 10000.0);

    counter.start();
    const double restarted = counter.elapsedMilliseconds();
    EXPECT_GE(restarted, 0.0);
    EXPECT_LT(restarted, slept);
}

} // namespace

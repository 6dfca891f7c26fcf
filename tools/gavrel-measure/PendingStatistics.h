#pragma once
// Stands in for Pelmint's statistics export until the library has it; removed then.

// Standard library
#include <cmath>
#include <cstddef>
#include <cstdint>

struct PelmintStatistics {
    int64_t count;
    uint64_t sum;
    double mean;
    double stddev;
    int32_t min;
    int32_t max;
};

inline int32_t CircleAreaStatistics(const uint8_t* pixels, int32_t width, int32_t height,
                                    std::ptrdiff_t stride, int32_t centreX, int32_t centreY,
                                    int32_t radius, PelmintStatistics* out) {
    if (pixels == nullptr || out == nullptr || stride < width) {
        return -1;
    }
    int64_t count = 0;
    uint64_t sum = 0;
    uint64_t squares = 0;
    int32_t low = 255;
    int32_t high = 0;
    const int64_t r2 = int64_t(radius) * radius;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const int64_t dx = centreX - x;
            const int64_t dy = centreY - y;
            if (dx * dx + dy * dy <= r2) {
                const uint8_t v = pixels[y * stride + x];
                ++count;
                sum += v;
                squares += uint64_t(v) * v;
                low = v < low ? v : low;
                high = v > high ? v : high;
            }
        }
    }
    if (count == 0) {
        return -1;
    }
    const double mean = double(sum) / double(count);
    const double variance =
        double(uint64_t(count) * squares - sum * sum) / (double(count) * double(count));
    *out = PelmintStatistics{count, sum, mean, std::sqrt(variance), low, high};
    return 0;
}

#pragma once

// The measurement as plainly as it can be written: every pixel of the clipped bounding square
// tested on its own, in 64 bits. The library must match it bit for bit.

// Standard library
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

// Ours
#include <pelmint.h>

namespace reference {

inline double circleAreaAverage(const uint8_t* pixels, int32_t width, int32_t height,
                                int32_t bitsPerPixel, int32_t centreX, int32_t centreY,
                                int32_t radius) {
    if (bitsPerPixel != 8 || pixels == nullptr) {
        return -1.0;
    }
    const int64_t cx = centreX, cy = centreY, r = radius;
    if (cx - r >= width || cx + r < 0 || cy - r >= height || cy + r < 0) {
        return -1.0;
    }
    const int64_t x0 = std::max<int64_t>(cx - r, 0), x1 = std::min<int64_t>(cx + r, width - 1);
    const int64_t y0 = std::max<int64_t>(cy - r, 0), y1 = std::min<int64_t>(cy + r, height - 1);
    int64_t sum = 0, count = 0;
    for (int64_t y = y0; y <= y1; ++y) {
        for (int64_t x = x0; x <= x1; ++x) {
            const int64_t dx = cx - x, dy = cy - y;
            if (dx * dx + dy * dy <= r * r) {
                sum += pixels[y * width + x];
                ++count;
            }
        }
    }
    return count == 0 ? -1.0 : static_cast<double>(sum) / static_cast<double>(count);
}

// CircleAreaStatistics as plainly: the same pixel set, rows `stride` bytes apart, the
// deviation from the exact integer sums.
inline int32_t circleAreaStatistics(const uint8_t* pixels, int32_t width, int32_t height,
                                    std::ptrdiff_t stride, int32_t centreX, int32_t centreY,
                                    int32_t radius, PelmintStatistics* out) {
    if (pixels == nullptr || out == nullptr || stride < width) {
        return PELMINT_INVALID_ARGUMENT;
    }
    const int64_t cx = centreX, cy = centreY, r = radius;
    if (cx - r >= width || cx + r < 0 || cy - r >= height || cy + r < 0) {
        return PELMINT_NO_PIXELS;
    }
    const int64_t x0 = std::max<int64_t>(cx - r, 0), x1 = std::min<int64_t>(cx + r, width - 1);
    const int64_t y0 = std::max<int64_t>(cy - r, 0), y1 = std::min<int64_t>(cy + r, height - 1);
    int64_t count = 0;
    uint64_t sum = 0, squares = 0;
    int32_t low = 255, high = 0;
    for (int64_t y = y0; y <= y1; ++y) {
        for (int64_t x = x0; x <= x1; ++x) {
            const int64_t dx = cx - x, dy = cy - y;
            if (dx * dx + dy * dy <= r * r) {
                const uint8_t value = pixels[y * stride + x];
                ++count;
                sum += value;
                squares += uint64_t{value} * value;
                low = std::min<int32_t>(low, value);
                high = std::max<int32_t>(high, value);
            }
        }
    }
    if (count == 0) {
        return PELMINT_NO_PIXELS;
    }
    __extension__ typedef unsigned __int128 Wide;
    const Wide spread = Wide{squares} * static_cast<uint64_t>(count) - Wide{sum} * sum;
    *out = PelmintStatistics{count,
                             sum,
                             static_cast<double>(sum) / static_cast<double>(count),
                             std::sqrt(static_cast<double>(spread)) / static_cast<double>(count),
                             low,
                             high};
    return PELMINT_OK;
}

} // namespace reference

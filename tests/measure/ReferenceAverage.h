#pragma once

// The measurement as plainly as it can be written: every pixel of the clipped bounding square
// tested on its own, in 64 bits. The library must match it bit for bit.

// Standard library
#include <algorithm>
#include <cstdint>

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

} // namespace reference

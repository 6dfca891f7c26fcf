// The library's exactness without a test framework, for builds where GoogleTest is not there (the
// Windows cross build, run under Wine): both measurements against the plain loops on random
// images, strides and circles. Prints the first mismatch and exits 1.

// Standard library
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

// Ours
#include "ReferenceAverage.h"
#include <pelmint.h>

namespace {

bool same(const PelmintStatistics& a, const PelmintStatistics& b) {
    return a.count == b.count && a.sum == b.sum && a.mean == b.mean && a.stddev == b.stddev &&
           a.min == b.min && a.max == b.max;
}

} // namespace

int main() {
    if (PelmintVersion() != PELMINT_VERSION) {
        std::printf("version %d, header %d\n", PelmintVersion(), PELMINT_VERSION);
        return 1;
    }
    std::mt19937 random(20240611);
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    long checked = 0;
    for (int image = 0; image < 400; ++image) {
        const int32_t width = pick(1, 300), height = pick(1, 60);
        const int32_t stride = width + (pick(0, 1) == 0 ? 0 : pick(1, 70));
        std::vector<uint8_t> pixels(size_t(height - 1) * size_t(stride) + size_t(width));
        for (uint8_t& pixel : pixels) {
            pixel = static_cast<uint8_t>(random());
        }
        for (int circle = 0; circle < 50; ++circle) {
            const int32_t radius = pick(-3, width + 10);
            const int32_t x = pick(-radius - 5, width + radius + 5);
            const int32_t y = pick(-radius - 5, height + radius + 5);
            PelmintStatistics expected{}, actual{};
            const int32_t expectedResult = reference::circleAreaStatistics(
                pixels.data(), width, height, stride, x, y, radius, &expected);
            const int32_t result =
                CircleAreaStatistics(pixels.data(), width, height, stride, x, y, radius, &actual);
            if (result != expectedResult || (result == PELMINT_OK && !same(actual, expected))) {
                std::printf("statistics differ: %d x %d stride %d, (%d, %d) r %d\n", width, height,
                            stride, x, y, radius);
                return 1;
            }
            if (stride == width) {
                const double average =
                    CircleAreaAverage(pixels.data(), width, height, 8, x, y, radius);
                if (average !=
                    reference::circleAreaAverage(pixels.data(), width, height, 8, x, y, radius)) {
                    std::printf("average differs: %d x %d, (%d, %d) r %d\n", width, height, x, y,
                                radius);
                    return 1;
                }
            }
            ++checked;
        }
    }
    std::printf("%ld circles exact\n", checked);
    return 0;
}

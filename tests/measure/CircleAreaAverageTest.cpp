// The exported measurement, called through the shared library as the program calls it.

// Standard library
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

// Ours
#include "ReferenceAverage.h"
#include <pelmint.h>

#include <gtest/gtest.h>

namespace {

constexpr int32_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int32_t kInt32Min = std::numeric_limits<int32_t>::min();

// An all-zero image with one pixel of value 1: the mean is then 1 / count when that pixel is
// inside and 0 when it is not, which shows both the inclusion and the count.
struct MarkedImage {
    MarkedImage(int32_t imageWidth, int32_t imageHeight, int32_t markX, int32_t markY)
        : width(imageWidth), height(imageHeight), pixels(size_t(width) * size_t(height), 0) {
        pixels[size_t(markY) * size_t(width) + size_t(markX)] = 1;
    }
    double measure(int32_t centreX, int32_t centreY, int32_t radius) const {
        return CircleAreaAverage(pixels.data(), width, height, 8, centreX, centreY, radius);
    }
    int32_t width;
    int32_t height;
    std::vector<uint8_t> pixels;
};

struct MarkedCase {
    const char* what;
    int32_t markX, markY;
    int32_t centreX, centreY, radius;
    int64_t count; // pixels counted; 0 with a marked pixel outside; -1 for a rejected call
    bool markInside;
};

// All on a 16 x 12 image.
const MarkedCase kMarkedCases[] = {
    {"radius 0 counts the centre pixel alone", 5, 5, 5, 5, 0, 1, true},
    {"radius 1 counts the four direct neighbours", 6, 5, 5, 5, 1, 5, true},
    {"radius 1 leaves the diagonal neighbours out", 6, 6, 5, 5, 1, 5, false},
    {"radius 2 counts 13 pixels", 5, 3, 5, 5, 2, 13, true},
    {"a pixel at distance exactly 5 is inside", 10, 10, 7, 6, 5, 81, true},
    {"a pixel at distance^2 32 > 25 is outside", 11, 10, 7, 6, 5, 81, false},
    {"corner circle counts only the pixels inside the image", 1, 0, 0, 0, 1, 3, true},
    {"centre x - radius = width is rejected", 15, 5, 18, 5, 2, -1, false},
    {"centre x - radius = width - 1 counts the last column", 15, 5, 17, 5, 2, 1, true},
    {"centre x + radius = -1 is rejected", 0, 5, -3, 5, 2, -1, false},
    {"centre x + radius = 0 counts column 0", 0, 5, -2, 5, 2, 1, true},
    {"centre y - radius = height is rejected", 5, 11, 5, 14, 2, -1, false},
    {"centre y - radius = height - 1 counts the last row", 5, 11, 5, 13, 2, 1, true},
    {"centre y + radius = -1 is rejected", 5, 0, 5, -3, 2, -1, false},
    {"centre y + radius = 0 counts row 0", 5, 0, 5, -2, 2, 1, true},
    {"square touches the image but the disc does not", 0, 0, -10, -10, 12, -1, false},
    {"negative radius that passes the rejections", 5, 5, 5, 5, -1, -1, false},
    {"most negative radius", 5, 5, 5, 5, kInt32Min, -1, false},
    {"most negative centre with the largest radius", 0, 5, kInt32Min, 5, kInt32Max, -1, false},
};

TEST(CircleAreaAverageTest, CountsExactlyThePixelsOnOrWithinTheCircle) {
    for (const MarkedCase& c : kMarkedCases) {
        const MarkedImage image(16, 12, c.markX, c.markY);
        const double expected = c.count < 0    ? -1.0
                                : c.markInside ? 1.0 / static_cast<double>(c.count)
                                               : 0.0;
        EXPECT_EQ(image.measure(c.centreX, c.centreY, c.radius), expected) << c.what;
    }
}

TEST(CircleAreaAverageTest, UniformImageGivesItsValueForEveryCountingCircle) {
    const int32_t width = 40, height = 30;
    for (const int value : {0, 1, 77, 254, 255}) {
        const std::vector<uint8_t> pixels(size_t{width} * height, static_cast<uint8_t>(value));
        for (const auto& [x, y, r] : std::vector<std::array<int32_t, 3>>{
                 {20, 15, 0}, {20, 15, 14}, {0, 0, 3}, {39, 29, 100}, {-5, 10, 6}, {20, 40, 11}}) {
            EXPECT_EQ(CircleAreaAverage(pixels.data(), width, height, 8, x, y, r), value)
                << value << " at (" << x << ", " << y << ") r " << r;
        }
    }
}

TEST(CircleAreaAverageTest, RejectsEveryBitsPerPixelButEightBeforeAnythingElse) {
    const std::vector<uint8_t> pixels(64 * 64, 100);
    ASSERT_EQ(CircleAreaAverage(pixels.data(), 64, 64, 8, 32, 32, 10), 100.0);
    for (const int32_t bits : {0, 1, 4, 7, 9, 16, 24, 32, -8, kInt32Min}) {
        EXPECT_EQ(CircleAreaAverage(pixels.data(), 64, 64, bits, 32, 32, 10), -1.0) << bits;
    }
}

TEST(CircleAreaAverageTest, RejectsMissingBufferAndEmptyImages) {
    const std::vector<uint8_t> pixels(16, 9);
    EXPECT_EQ(CircleAreaAverage(nullptr, 512, 480, 8, 100, 100, 50), -1.0);
    EXPECT_EQ(CircleAreaAverage(pixels.data(), 0, 4, 8, 0, 0, 5), -1.0);
    EXPECT_EQ(CircleAreaAverage(pixels.data(), 4, 0, 8, 0, 0, 5), -1.0);
    EXPECT_EQ(CircleAreaAverage(pixels.data(), -4, 4, 8, -8, 0, 5), -1.0);
    EXPECT_EQ(CircleAreaAverage(pixels.data(), 4, -4, 8, 0, -8, 5), -1.0);
}

TEST(CircleAreaAverageTest, RadiiWhoseSquareExceeds32BitsKeepTheExactBoundary) {
    // Column 0 is inside only on row 0 (distance exactly the radius); every other column is
    // inside on all 100 rows.
    const MarkedImage image(100, 100, 0, 0);
    EXPECT_EQ(image.measure(50000, 0, 50000), 1.0 / 9901.0);
    EXPECT_EQ(image.measure(kInt32Max, 0, kInt32Max), 1.0 / 9901.0);
    EXPECT_EQ(image.measure(kInt32Max - 1, 0, kInt32Max), 1.0 / 10000.0);
    const MarkedImage farCorner(100, 100, 99, 99);
    EXPECT_EQ(farCorner.measure(-46341 + 99, 99, 46341), 1.0 / 9901.0);
}

TEST(CircleAreaAverageTest, SumsBeyond32BitsGiveTheExactMean) {
    // 16.7 million pixels: a 32-bit sum of the bright ones would wrap.
    const int32_t side = 4096;
    std::vector<uint8_t> pixels(size_t{side} * side, 255);
    EXPECT_EQ(CircleAreaAverage(pixels.data(), side, side, 8, side / 2, side / 2, side), 255.0);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = 254;
    }
    const double expected =
        reference::circleAreaAverage(pixels.data(), side, side, 8, 1000, 3000, 2900);
    EXPECT_EQ(CircleAreaAverage(pixels.data(), side, side, 8, 1000, 3000, 2900), expected);
    EXPECT_GT(expected, 254.0);
    EXPECT_LT(expected, 255.0);
}

TEST(CircleAreaAverageTest, NeverAnswersNotANumber) {
    const std::vector<uint8_t> pixels(8 * 8, 3);
    for (int32_t x = -12; x <= 20; ++x) {
        for (int32_t r = -3; r <= 14; ++r) {
            const double average = CircleAreaAverage(pixels.data(), 8, 8, 8, x, -r + 1, r);
            EXPECT_FALSE(std::isnan(average)) << x << " r " << r;
            EXPECT_TRUE(average == -1.0 || average == 3.0) << x << " r " << r;
        }
    }
}

} // namespace

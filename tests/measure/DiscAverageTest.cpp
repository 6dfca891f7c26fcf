// Every summing path of the kernel, and the exported function, against the plain per-pixel loop
// on random circles and images. Images sit at varied offsets in exact-size allocations, so runs
// start and end at every alignment and any read past the image trips AddressSanitizer.

// Standard library
#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define PELMINT_TEST_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define PELMINT_TEST_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define PELMINT_TEST_POISON(address, size) ((void)(address), (void)(size))
#define PELMINT_TEST_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

// Ours
#include "DiscAverage.h"
#include "ReferenceAverage.h"
#include <pelmint.h>

#include <gtest/gtest.h>

namespace {

using pelmint::SumPath;

const char* pathName(SumPath path) {
    switch (path) {
    case SumPath::Scalar:
        return "scalar";
    case SumPath::Sse2:
        return "SSE2";
    case SumPath::Avx2:
        return "AVX2";
    }
    return "?";
}

std::vector<SumPath> supportedPaths() {
    std::vector<SumPath> paths;
    for (const SumPath path : {SumPath::Scalar, SumPath::Sse2, SumPath::Avx2}) {
        if (pelmint::isSupported(path)) {
            paths.push_back(path);
        }
    }
    return paths;
}

// An image of random bytes ending exactly where its allocation ends, starting `offset` bytes in;
// the bytes before it are poisoned (to the sanitizer's 8-byte granule).
class PlacedImage {
public:
    PlacedImage(int32_t width, int32_t height, size_t offset, std::mt19937& random)
        : width_(width), height_(height), offset_(offset),
          storage_(new uint8_t[offset + size_t(width) * size_t(height)]) {
        std::uniform_int_distribution<int> byte(0, 255);
        for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
            pixels()[i] = static_cast<uint8_t>(byte(random));
        }
        PELMINT_TEST_POISON(storage_.get(), offset_);
    }
    ~PlacedImage() { PELMINT_TEST_UNPOISON(storage_.get(), offset_); }
    PlacedImage(const PlacedImage&) = delete;
    PlacedImage& operator=(const PlacedImage&) = delete;

    const uint8_t* pixels() const { return storage_.get() + offset_; }
    uint8_t* pixels() { return storage_.get() + offset_; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

private:
    int32_t width_;
    int32_t height_;
    size_t offset_;
    std::unique_ptr<uint8_t[]> storage_;
};

struct Circle {
    int32_t bitsPerPixel, centreX, centreY, radius;
};

std::string describe(const PlacedImage& image, const Circle& c) {
    return std::to_string(image.width()) + " x " + std::to_string(image.height()) + ", bpp " +
           std::to_string(c.bitsPerPixel) + ", centre (" + std::to_string(c.centreX) + ", " +
           std::to_string(c.centreY) + "), radius " + std::to_string(c.radius);
}

// Compares every path and the export with the reference; stops the test at the first mismatch.
void expectAllPathsMatch(const PlacedImage& image, const Circle& c,
                         const std::vector<SumPath>& paths) {
    const double expected =
        reference::circleAreaAverage(image.pixels(), image.width(), image.height(), c.bitsPerPixel,
                                     c.centreX, c.centreY, c.radius);
    for (const SumPath path : paths) {
        const double actual =
            pelmint::discAverage(path, image.pixels(), image.width(), image.height(),
                                 c.bitsPerPixel, c.centreX, c.centreY, c.radius);
        ASSERT_EQ(actual, expected) << pathName(path) << ": " << describe(image, c);
    }
    ASSERT_EQ(CircleAreaAverage(image.pixels(), image.width(), image.height(), c.bitsPerPixel,
                                c.centreX, c.centreY, c.radius),
              expected)
        << "export: " << describe(image, c);
}

int32_t pick(std::mt19937& random, int64_t low, int64_t high) {
    low = std::max<int64_t>(low, std::numeric_limits<int32_t>::min());
    high = std::min<int64_t>(high, std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(std::uniform_int_distribution<int64_t>(low, high)(random));
}

Circle randomCircle(std::mt19937& random, int32_t width, int32_t height) {
    Circle c{8, 0, 0, 0};
    const int kind = pick(random, 0, 99);
    if (kind < 1) {
        c.bitsPerPixel = pick(random, -40, 40);
    }
    const int64_t extent = std::max(width, height);
    if (kind < 30) {
        c.radius = pick(random, 0, 6);
    } else if (kind < 75) {
        c.radius = pick(random, 0, extent + 8);
    } else if (kind < 85) {
        c.radius = pick(random, -30, -1);
    } else if (kind < 95) {
        c.radius = pick(random, extent, 4 * extent + 64);
    } else {
        c.radius = pick(random, 46000, std::numeric_limits<int32_t>::max());
    }
    // Centres mostly near the image, some far out, some placed so a huge circle grazes it.
    const int64_t reach = std::abs(int64_t{c.radius}) + 16;
    if (kind >= 95 && pick(random, 0, 1) == 0) {
        c.centreX = pick(random, -int64_t{c.radius} - 2, -int64_t{c.radius} + width + 2);
        c.centreY = pick(random, -reach, height + reach);
    } else if (kind >= 95) {
        c.centreX = pick(random, -reach, width + reach);
        c.centreY = pick(random, int64_t{height} + c.radius - 3, int64_t{height} + c.radius + 1);
    } else {
        c.centreX = pick(random, -reach, width + reach);
        c.centreY = pick(random, -reach, height + reach);
    }
    return c;
}

TEST(DiscAverageTest, EveryPathMatchesThePlainLoopOnRandomCircles) {
    const std::vector<SumPath> paths = supportedPaths();
    std::mt19937 random(20240607);
    const int images = 5000, circlesPerImage = 20;
    for (int i = 0; i < images; ++i) {
        int32_t width, height;
        const int size = pick(random, 0, 99);
        if (size < 5) {
            width = pick(random, 1, 4);
            height = pick(random, 1, 4);
        } else if (size < 95) {
            width = pick(random, 1, 90);
            height = pick(random, 1, 40);
        } else {
            width = pick(random, 100, 700);
            height = pick(random, 1, 80);
        }
        PlacedImage image(width, height, size_t(pick(random, 0, 63)), random);
        for (int j = 0; j < circlesPerImage; ++j) {
            ASSERT_NO_FATAL_FAILURE(
                expectAllPathsMatch(image, randomCircle(random, width, height), paths));
        }
    }
}

TEST(DiscAverageTest, RunsStartingAndEndingAtEveryAlignmentMatchThePlainLoop) {
    const std::vector<SumPath> paths = supportedPaths();
    std::mt19937 random(7);
    for (const int32_t width : {67, 96, 130}) {
        for (size_t offset = 0; offset < 32; ++offset) {
            PlacedImage image(width, 9, offset, random);
            for (int32_t x = -3; x <= width + 3; ++x) {
                for (int32_t radius = 0; radius <= 40; radius += radius < 12 ? 1 : 7) {
                    ASSERT_NO_FATAL_FAILURE(
                        expectAllPathsMatch(image, Circle{8, x, 4, radius}, paths));
                }
            }
        }
    }
}

TEST(DiscAverageTest, ImagesSmallerThanOneVectorMatchThePlainLoop) {
    const std::vector<SumPath> paths = supportedPaths();
    std::mt19937 random(11);
    for (int32_t width = 1; width <= 7; ++width) {
        for (int32_t height = 1; height <= 7; ++height) {
            PlacedImage image(width, height, size_t(width + height), random);
            for (int32_t x = -2; x <= width + 1; ++x) {
                for (int32_t y = -2; y <= height + 1; ++y) {
                    for (int32_t radius = 0; radius <= 9; ++radius) {
                        ASSERT_NO_FATAL_FAILURE(
                            expectAllPathsMatch(image, Circle{8, x, y, radius}, paths));
                    }
                }
            }
        }
    }
}

TEST(DiscAverageTest, FastestPathIsSupportedAndStable) {
    const SumPath fastest = pelmint::fastestPath();
    EXPECT_TRUE(pelmint::isSupported(fastest));
    EXPECT_EQ(pelmint::fastestPath(), fastest);
#if defined(__x86_64__)
    EXPECT_NE(fastest, SumPath::Scalar) << "x86-64 always has SSE2";
#endif
}

} // namespace

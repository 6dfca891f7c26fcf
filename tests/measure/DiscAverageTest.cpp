// Every summing path of the kernel, and the exported functions, against the plain per-pixel loops
// on random circles and images. Images sit at varied offsets in exact-size allocations, so runs
// start and end at every alignment and any read past the image trips AddressSanitizer. Row
// padding, which the statistics may read but must never count, is filled with 0 and 255.

// Standard library
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

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
    case SumPath::Avx512:
        return "AVX-512";
    case SumPath::Avx512Dot:
        return "AVX-512 VNNI";
    }
    return "?";
}

std::vector<SumPath> supportedPaths() {
    std::vector<SumPath> paths;
    for (const SumPath path :
         {SumPath::Scalar, SumPath::Sse2, SumPath::Avx2, SumPath::Avx512, SumPath::Avx512Dot}) {
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
    PlacedImage(int32_t width, int32_t height, size_t offset, std::mt19937& random,
                int32_t padding = 0)
        : width_(width), height_(height), stride_(int64_t{width} + padding), offset_(offset),
          storage_(new uint8_t[offset + bytes()]) {
        std::uniform_int_distribution<int> byte(0, 255);
        for (size_t i = 0; i < bytes(); ++i) {
            const bool inRow = int64_t(i) % stride_ < width_;
            pixels()[i] = static_cast<uint8_t>(inRow ? byte(random) : (i & 1) * 255);
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
    int64_t stride() const { return stride_; }
    // The last row ends the allocation; its padding is not there.
    size_t bytes() const { return size_t((int64_t{height_} - 1) * stride_ + width_); }

private:
    int32_t width_;
    int32_t height_;
    int64_t stride_;
    size_t offset_;
    std::unique_ptr<uint8_t[]> storage_;
};

struct Circle {
    int32_t bitsPerPixel, centreX, centreY, radius;
};

std::string describe(const PlacedImage& image, const Circle& c) {
    return std::to_string(image.width()) + " x " + std::to_string(image.height()) + ", stride " +
           std::to_string(image.stride()) + ", bpp " + std::to_string(c.bitsPerPixel) +
           ", centre (" + std::to_string(c.centreX) + ", " + std::to_string(c.centreY) +
           "), radius " + std::to_string(c.radius);
}

void expectStatisticsEqual(int32_t actualResult, const PelmintStatistics& actual,
                           int32_t expectedResult, const PelmintStatistics& expected,
                           const std::string& where) {
    ASSERT_EQ(actualResult, expectedResult) << where;
    if (expectedResult != PELMINT_OK) {
        return;
    }
    ASSERT_EQ(actual.count, expected.count) << where;
    ASSERT_EQ(actual.sum, expected.sum) << where;
    ASSERT_EQ(actual.mean, expected.mean) << where;
    ASSERT_EQ(actual.stddev, expected.stddev) << where;
    ASSERT_EQ(actual.min, expected.min) << where;
    ASSERT_EQ(actual.max, expected.max) << where;
}

// The statistics of every path and of the export against the reference, at the image's stride;
// with a padding-free image, also the mean against CircleAreaAverage's.
void expectStatisticsMatch(const PlacedImage& image, const Circle& c,
                           const std::vector<SumPath>& paths) {
    PelmintStatistics expected{};
    const int32_t expectedResult =
        reference::circleAreaStatistics(image.pixels(), image.width(), image.height(),
                                        image.stride(), c.centreX, c.centreY, c.radius, &expected);
    for (const SumPath path : paths) {
        PelmintStatistics actual{};
        const int32_t result =
            pelmint::discStatistics(path, image.pixels(), image.width(), image.height(),
                                    image.stride(), c.centreX, c.centreY, c.radius, &actual);
        ASSERT_NO_FATAL_FAILURE(expectStatisticsEqual(result, actual, expectedResult, expected,
                                                      std::string("statistics, ") + pathName(path) +
                                                          ": " + describe(image, c)));
    }
    PelmintStatistics actual{};
    const int32_t result =
        CircleAreaStatistics(image.pixels(), image.width(), image.height(), image.stride(),
                             c.centreX, c.centreY, c.radius, &actual);
    ASSERT_NO_FATAL_FAILURE(expectStatisticsEqual(result, actual, expectedResult, expected,
                                                  "statistics export: " + describe(image, c)));
    if (image.stride() == image.width() && expectedResult == PELMINT_OK) {
        ASSERT_EQ(actual.mean, CircleAreaAverage(image.pixels(), image.width(), image.height(), 8,
                                                 c.centreX, c.centreY, c.radius))
            << describe(image, c);
    }
}

void expectAveragesMatch(const PlacedImage& image, const Circle& c,
                         const std::vector<SumPath>& paths);

// Compares every path and the exports with the reference; stops the test at the first mismatch.
void expectAllPathsMatch(const PlacedImage& image, const Circle& c,
                         const std::vector<SumPath>& paths) {
    if (image.stride() == image.width()) {
        ASSERT_NO_FATAL_FAILURE(expectAveragesMatch(image, c, paths));
    }
    ASSERT_NO_FATAL_FAILURE(expectStatisticsMatch(image, c, paths));
}

void expectAveragesMatch(const PlacedImage& image, const Circle& c,
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

// Each path measures the disc twice in a row, so that walks which alternate their direction from
// call to call are checked both ways.
void expectEachPathMatchesTwiceInARow(const PlacedImage& image, const Circle& c,
                                      const std::vector<SumPath>& paths) {
    PelmintStatistics expected{};
    const int32_t expectedResult =
        reference::circleAreaStatistics(image.pixels(), image.width(), image.height(),
                                        image.stride(), c.centreX, c.centreY, c.radius, &expected);
    const double expectedAverage =
        reference::circleAreaAverage(image.pixels(), image.width(), image.height(), c.bitsPerPixel,
                                     c.centreX, c.centreY, c.radius);
    for (const SumPath path : paths) {
        const std::string where = std::string(pathName(path)) + ": " + describe(image, c);
        for (int again = 0; again < 2 && image.stride() == image.width(); ++again) {
            ASSERT_EQ(pelmint::discAverage(path, image.pixels(), image.width(), image.height(),
                                           c.bitsPerPixel, c.centreX, c.centreY, c.radius),
                      expectedAverage)
                << where;
        }
        for (int again = 0; again < 2; ++again) {
            PelmintStatistics actual{};
            const int32_t result =
                pelmint::discStatistics(path, image.pixels(), image.width(), image.height(),
                                        image.stride(), c.centreX, c.centreY, c.radius, &actual);
            ASSERT_NO_FATAL_FAILURE(
                expectStatisticsEqual(result, actual, expectedResult, expected, where));
        }
    }
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

// The tests below run only the paths this machine can run; this one names them and the others,
// so that a green run is read for what it is (.ci/run prints its line).
TEST(DiscAverageTest, SummingPathsOfThisMachine) {
    const SumPath widening[] = {SumPath::Scalar, SumPath::Sse2, SumPath::Avx2, SumPath::Avx512,
                                SumPath::Avx512Dot};
    std::string ran, notRun;
    for (const SumPath path : widening) {
        std::string& list = pelmint::isSupported(path) ? ran : notRun;
        list += (list.empty() ? "" : ", ") + std::string(pathName(path));
    }
    std::printf("Pelmint summing paths run: %s; not on this machine: %s\n", ran.c_str(),
                notRun.empty() ? "none" : notRun.c_str());
    RecordProperty("paths_run", ran);
    RecordProperty("paths_not_run", notRun);
    // The byte loop runs everywhere, and each wider path needs the narrower one's instructions.
    EXPECT_TRUE(pelmint::isSupported(SumPath::Scalar));
    for (size_t i = 1; i < std::size(widening); ++i) {
        if (pelmint::isSupported(widening[i])) {
            EXPECT_TRUE(pelmint::isSupported(widening[i - 1])) << pathName(widening[i]);
        }
    }
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
        // No padding, some, or up to a whole number of 64-byte lines.
        const int paddingKind = pick(random, 0, 2);
        const int32_t padding = paddingKind == 0   ? 0
                                : paddingKind == 1 ? pick(random, 1, 70)
                                                   : (64 - width % 64) % 64;
        PlacedImage image(width, height, size_t(pick(random, 0, 63)), random, padding);
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

TEST(DiscAverageTest, DiscsOnRowsAWholeNumberOfLinesApartMatchThePlainLoop) {
    // Rows 64, 128 and 512 bytes apart, starting anywhere in a line: every radius at which the
    // number of windows a row needs changes, centred and cut by each edge and corner.
    const std::vector<SumPath> paths = supportedPaths();
    std::mt19937 random(13);
    struct Shape {
        int32_t width, padding;
    };
    for (const Shape shape : {Shape{64, 0}, Shape{100, 28}, Shape{512, 0}}) {
        for (const size_t offset : {size_t{0}, size_t{1}, size_t{17}, size_t{63}}) {
            PlacedImage image(shape.width, 70, offset, random, shape.padding);
            for (const int32_t radius : {0, 1, 5, 17, 31, 32, 33, 63, 64, 95, 96, 127, 128}) {
                const int32_t right = shape.width - 1, bottom = image.height() - 1;
                const int32_t xs[] = {-radius, -1, 0, 3, shape.width / 2, right, right + radius};
                const int32_t ys[] = {-radius, 0, 2, 35, bottom, bottom + radius};
                for (const int32_t x : xs) {
                    for (const int32_t y : ys) {
                        const Circle c{8, x, y, radius};
                        ASSERT_NO_FATAL_FAILURE(expectAllPathsMatch(image, c, paths));
                        ASSERT_NO_FATAL_FAILURE(expectEachPathMatchesTwiceInARow(image, c, paths));
                    }
                }
            }
        }
    }
}

TEST(DiscAverageTest, SmallDiscsAtEveryDistanceFromASideMatchThePlainLoop) {
    // Every radius up to 31 at every column from wholly past a side edge to clear of it, whole,
    // cut at the top and cut at the bottom: the pixel counts of cut discs come from tables with an
    // entry for each radius and distance, which sparser circles would leave unchecked.
    const std::vector<SumPath> paths = supportedPaths();
    std::mt19937 random(19);
    for (const int32_t width : {64, 512}) {
        PlacedImage image(width, 70, 16, random);
        for (int32_t radius = 0; radius <= 31; ++radius) {
            for (int32_t distance = -radius - 1; distance <= radius + 1; ++distance) {
                for (const int32_t x : {distance, width - 1 - distance}) {
                    for (const int32_t y : {35, radius / 2, 69 - radius / 3}) {
                        ASSERT_NO_FATAL_FAILURE(
                            expectAveragesMatch(image, Circle{8, x, y, radius}, paths));
                    }
                }
            }
        }
    }
}

TEST(DiscAverageTest, WindowedDiscsMatchThePlainLoopAtEveryRadiusAndPlaceInALine) {
    // Each window holds pixels of the rows up to a distance that depends on the radius and on
    // where the centre lies in its line; every radius of the window walk, at centres spread over
    // a line, walked both ways.
    const std::vector<SumPath> paths = supportedPaths();
    std::mt19937 random(23);
    PlacedImage image(512, 260, 16, random);
    for (int32_t radius = 32; radius <= 127; ++radius) {
        for (int32_t column = 0; column < 64; column += 9) {
            const Circle c{8, 256 + column, 130, radius};
            ASSERT_NO_FATAL_FAILURE(expectEachPathMatchesTwiceInARow(image, c, paths));
        }
    }
}

#if defined(__linux__)
// Pages that cannot be read on either side of an image: a read of one byte outside the image by
// any path ends the test. Masked-off bytes of a masked load do not count as read.
class GuardedImage {
public:
    GuardedImage(int32_t width, int32_t height, int64_t stride, bool atStart, std::mt19937& random)
        : width_(width), height_(height), stride_(stride),
          page_(static_cast<size_t>(sysconf(_SC_PAGESIZE))) {
        const size_t bytes = size_t((int64_t{height} - 1) * stride + width);
        inner_ = (bytes + page_ - 1) / page_ * page_;
        mapping_ = static_cast<uint8_t*>(mmap(nullptr, inner_ + 2 * page_, PROT_READ | PROT_WRITE,
                                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (mapping_ == MAP_FAILED) {
            mapping_ = nullptr;
            return;
        }
        mprotect(mapping_, page_, PROT_NONE);
        mprotect(mapping_ + page_ + inner_, page_, PROT_NONE);
        pixels_ = mapping_ + page_ + (atStart ? 0 : inner_ - bytes);
        std::uniform_int_distribution<int> byte(0, 255);
        for (size_t i = 0; i < bytes; ++i) {
            pixels_[i] = static_cast<uint8_t>(byte(random));
        }
    }
    ~GuardedImage() {
        if (mapping_ != nullptr) {
            munmap(mapping_, inner_ + 2 * page_);
        }
    }
    GuardedImage(const GuardedImage&) = delete;
    GuardedImage& operator=(const GuardedImage&) = delete;

    const uint8_t* pixels() const { return pixels_; }

    // Every path's average (at a padding-free stride) and statistics against the plain loops.
    void expectAllPathsMatch(const std::vector<SumPath>& paths, int32_t x, int32_t y,
                             int32_t radius) const {
        const std::string where = std::to_string(width_) + " x " + std::to_string(height_) +
                                  ", stride " + std::to_string(stride_) + ", centre (" +
                                  std::to_string(x) + ", " + std::to_string(y) + "), radius " +
                                  std::to_string(radius);
        PelmintStatistics expected{};
        const int32_t expectedResult = reference::circleAreaStatistics(
            pixels_, width_, height_, stride_, x, y, radius, &expected);
        for (const SumPath path : paths) {
            if (stride_ == width_) {
                ASSERT_EQ(pelmint::discAverage(path, pixels_, width_, height_, 8, x, y, radius),
                          reference::circleAreaAverage(pixels_, width_, height_, 8, x, y, radius))
                    << pathName(path) << ": " << where;
            }
            PelmintStatistics actual{};
            const int32_t result = pelmint::discStatistics(path, pixels_, width_, height_, stride_,
                                                           x, y, radius, &actual);
            ASSERT_NO_FATAL_FAILURE(expectStatisticsEqual(result, actual, expectedResult, expected,
                                                          pathName(path) + (": " + where)));
        }
    }

private:
    int32_t width_;
    int32_t height_;
    int64_t stride_;
    size_t page_;
    size_t inner_ = 0;
    uint8_t* mapping_ = nullptr;
    uint8_t* pixels_ = nullptr;
};

TEST(DiscAverageTest, NoPathReadsOutsideTheImage) {
    const std::vector<SumPath> paths = supportedPaths();
    std::mt19937 random(17);
    struct Shape {
        int32_t width, height;
        int64_t stride;
    };
    // 512 x 40 fills whole pages: both of its ends touch a guard.
    for (const Shape shape :
         {Shape{512, 40, 512}, Shape{100, 32, 128}, Shape{70, 30, 70}, Shape{20, 9, 20}}) {
        for (const bool atStart : {true, false}) {
            const GuardedImage image(shape.width, shape.height, shape.stride, atStart, random);
            ASSERT_NE(image.pixels(), nullptr);
            for (const int32_t radius : {0, 3, 8, 31, 32, 50, 127, 128, 300}) {
                for (const int32_t x : {-radius, 0, 5, shape.width / 2, shape.width - 1}) {
                    for (const int32_t y : {0, 1, shape.height / 2, shape.height - 1}) {
                        ASSERT_NO_FATAL_FAILURE(image.expectAllPathsMatch(paths, x, y, radius));
                    }
                }
            }
        }
    }
}
#endif

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

TEST(DiscAverageTest, StatisticsStayExactOverRowsLongerThanTheSquaresLanesHold) {
    // Rows of over 16384 vector blocks of 255s: the 32-bit lanes of squares must be emptied
    // inside a row. One dark pixel shows the smallest value.
    const std::vector<SumPath> paths = supportedPaths();
    std::mt19937 random(3);
    PlacedImage image(1'200'000, 3, 0, random, 17);
    for (int32_t y = 0; y < 3; ++y) {
        std::fill_n(image.pixels() + y * image.stride(), image.width(), uint8_t{255});
    }
    image.pixels()[image.stride() + 600'000] = 3;
    ASSERT_NO_FATAL_FAILURE(expectStatisticsMatch(image, Circle{8, 600'000, 1, 700'000}, paths));
    PelmintStatistics statistics{};
    ASSERT_EQ(CircleAreaStatistics(image.pixels(), image.width(), image.height(), image.stride(),
                                   600'000, 1, 700'000, &statistics),
              PELMINT_OK);
    EXPECT_EQ(statistics.count, 3'600'000);
    EXPECT_EQ(statistics.sum, 255u * 3'599'999u + 3u);
    EXPECT_EQ(statistics.min, 3);
    EXPECT_EQ(statistics.max, 255);
}

TEST(DiscAverageTest, StatisticsRejectWhatTheAverageRejectsAndBadArguments) {
    const std::vector<uint8_t> pixels(64 * 64, 100);
    PelmintStatistics out{};
    struct Case {
        const char* what;
        const uint8_t* pixels;
        int32_t width, height;
        std::ptrdiff_t stride;
        int32_t x, y, r;
        PelmintStatistics* out;
        int32_t result;
    };
    const Case cases[] = {
        {"accepted", pixels.data(), 64, 64, 64, 32, 32, 10, &out, PELMINT_OK},
        {"NULL pixels", nullptr, 64, 64, 64, 32, 32, 10, &out, PELMINT_INVALID_ARGUMENT},
        {"NULL out", pixels.data(), 64, 64, 64, 32, 32, 10, nullptr, PELMINT_INVALID_ARGUMENT},
        {"stride below width", pixels.data(), 64, 64, 63, 32, 32, 10, &out,
         PELMINT_INVALID_ARGUMENT},
        {"negative stride", pixels.data(), 64, 64, -64, 32, 32, 10, &out, PELMINT_INVALID_ARGUMENT},
        {"stride beyond 64-bit offsets", pixels.data(), 64, 64,
         std::numeric_limits<std::ptrdiff_t>::max() / 8, 32, 32, 10, &out,
         PELMINT_INVALID_ARGUMENT},
        {"circle beyond the right edge", pixels.data(), 64, 64, 64, 80, 32, 10, &out,
         PELMINT_NO_PIXELS},
        {"square touches, disc does not", pixels.data(), 64, 64, 64, -10, -10, 12, &out,
         PELMINT_NO_PIXELS},
        {"negative radius", pixels.data(), 64, 64, 64, 32, 32, -1, &out, PELMINT_NO_PIXELS},
        {"empty image", pixels.data(), 0, 64, 0, 0, 0, 5, &out, PELMINT_NO_PIXELS},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CircleAreaStatistics(c.pixels, c.width, c.height, c.stride, c.x, c.y, c.r, c.out),
                  c.result)
            << c.what;
    }
    // A rejected call leaves the results alone.
    PelmintStatistics untouched{7, 7, 7.0, 7.0, 7, 7};
    ASSERT_EQ(CircleAreaStatistics(pixels.data(), 64, 64, 64, 80, 32, 10, &untouched),
              PELMINT_NO_PIXELS);
    EXPECT_EQ(untouched.count, 7);
    EXPECT_EQ(untouched.mean, 7.0);
}

TEST(DiscAverageTest, VersionIsTheHeadersVersion) {
    EXPECT_EQ(PelmintVersion(), PELMINT_VERSION);
    EXPECT_EQ(PELMINT_VERSION,
              PELMINT_VERSION_MAJOR * 10000 + PELMINT_VERSION_MINOR * 100 + PELMINT_VERSION_PATCH);
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

// Standard library
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <utility>

#include <gtest/gtest.h>

// Ours
#include "DiscRim.h"

namespace {

__extension__ typedef __int128 Wide;

bool insideDisc(std::int64_t x, std::int64_t y, int cx, int cy, int r) {
    if (r < 0) {
        return false; // the measurement's clipped square is empty
    }
    const Wide dx = x - cx;
    const Wide dy = y - cy;
    return dx * dx + dy * dy <= Wide(r) * r;
}

// The plainest reading of "inside pixels with a 4-neighbour outside", pixel by pixel.
std::set<std::pair<int, int>> bruteForceRim(int cx, int cy, int r, const QRect& clip) {
    std::set<std::pair<int, int>> rim;
    for (int y = clip.top(); y <= clip.bottom(); ++y) {
        for (int x = clip.left(); x <= clip.right(); ++x) {
            if (insideDisc(x, y, cx, cy, r) &&
                (!insideDisc(x - 1, y, cx, cy, r) || !insideDisc(x + 1, y, cx, cy, r) ||
                 !insideDisc(x, y - 1, cx, cy, r) || !insideDisc(x, y + 1, cx, cy, r))) {
                rim.insert({x, y});
            }
        }
    }
    return rim;
}

// Also checks what drawing relies on: spans in row order, none overlapping, bounds exact.
std::set<std::pair<int, int>> spanPixels(const DiscRim& rim) {
    std::set<std::pair<int, int>> pixels;
    QRect bounds;
    const DiscRim::Span* previous = nullptr;
    for (const DiscRim::Span& span : rim.spans()) {
        EXPECT_LE(span.x0, span.x1);
        if (previous != nullptr) {
            EXPECT_TRUE(previous->y < span.y || (previous->y == span.y && previous->x1 < span.x0))
                << "span at row " << span.y << " out of order";
        }
        for (int x = span.x0; x <= span.x1; ++x) {
            pixels.insert({x, span.y});
        }
        bounds |= QRect(QPoint(span.x0, span.y), QPoint(span.x1, span.y));
        previous = &span;
    }
    EXPECT_EQ(bounds, rim.bounds());
    return pixels;
}

TEST(DiscRimTest, SpansMatchPixelByPixelRimForRandomCircles) {
    const QRect clip(10, 20, 64, 48);
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> inClipX(clip.left() - 4, clip.right() + 4);
    std::uniform_int_distribution<int> inClipY(clip.top() - 4, clip.bottom() + 4);
    std::uniform_int_distribution<int> smallRadius(-2, 40);
    std::uniform_int_distribution<int> largeRadius(41, std::numeric_limits<int>::max());
    std::uniform_real_distribution<double> angle(0.0, 6.283185307179586);

    for (int trial = 0; trial < 1500; ++trial) {
        int cx = inClipX(random);
        int cy = inClipY(random);
        int r = smallRadius(random);
        if (trial % 3 == 0) {
            // A huge circle whose edge passes near a pixel of the clip rectangle.
            r = largeRadius(random);
            const double a = angle(random);
            cx = static_cast<int>(std::clamp<std::int64_t>(
                cx - std::llround(r * std::cos(a)), std::int64_t{std::numeric_limits<int>::min()},
                std::int64_t{std::numeric_limits<int>::max()}));
            cy = static_cast<int>(std::clamp<std::int64_t>(
                cy - std::llround(r * std::sin(a)), std::int64_t{std::numeric_limits<int>::min()},
                std::int64_t{std::numeric_limits<int>::max()}));
        }
        SCOPED_TRACE(testing::Message() << "centre (" << cx << ", " << cy << ") radius " << r);
        const DiscRim rim(cx, cy, r, clip);
        ASSERT_EQ(spanPixels(rim), bruteForceRim(cx, cy, r, clip));
    }
}

TEST(DiscRimTest, SmallAndDegenerateCircles) {
    const QRect clip(0, 0, 512, 480);
    EXPECT_TRUE(DiscRim(100, 100, -1, clip).spans().empty());
    EXPECT_TRUE(DiscRim(100, 100, 5, QRect()).spans().empty());
    EXPECT_EQ(spanPixels(DiscRim(7, 9, 0, clip)), (std::set<std::pair<int, int>>{{7, 9}}));
    // Radius 1 selects the centre and its four neighbours; only the centre is enclosed.
    EXPECT_EQ(spanPixels(DiscRim(7, 9, 1, clip)),
              (std::set<std::pair<int, int>>{{7, 8}, {6, 9}, {8, 9}, {7, 10}}));
    // A disc that covers the whole clip has no rim inside it.
    EXPECT_TRUE(DiscRim(256, 240, 2000, clip).spans().empty());
    // The extremes of the 32-bit range neither overflow nor hang.
    const int most = std::numeric_limits<int>::max();
    const int least = std::numeric_limits<int>::min();
    EXPECT_EQ(spanPixels(DiscRim(least, least, most, clip)),
              bruteForceRim(least, least, most, clip));
    EXPECT_EQ(spanPixels(DiscRim(most, 0, most, clip)), bruteForceRim(most, 0, most, clip));
}

TEST(DiscRimTest, AMovedRimIsTheRimAroundTheNewCentre) {
    const QRect clip(0, 0, 512, 480);
    struct Case {
        int fromX, fromY, toX, toY, radius;
    };
    const Case cases[] = {
        {100, 100, 101, 100, 50},                            // whole at both centres
        {100, 100, 300, 250, 0},  {100, 100, 40, 100, 50},   // clipped at the new centre
        {20, 20, 100, 100, 50},                              // clipped at the old one
        {0, 0, 511, 479, 3},      {256, 240, 256, 240, 300}, // larger than the image
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fromX << "," << c.fromY << " -> " << c.toX << ","
                                        << c.toY << " r " << c.radius);
        const DiscRim moved = DiscRim(c.fromX, c.fromY, c.radius, clip).movedTo(c.toX, c.toY, clip);
        const DiscRim fresh(c.toX, c.toY, c.radius, clip);
        EXPECT_EQ(spanPixels(moved), bruteForceRim(c.toX, c.toY, c.radius, clip));
        EXPECT_EQ(moved.bounds(), fresh.bounds());
        EXPECT_EQ(moved.radius(), c.radius);
    }
}

TEST(DiscRimTest, IntegerSquareRootIsExactAtSquareBoundaries) {
    const std::uint64_t roots[] = {1,          2,          3,          46340,     46341,
                                   0x7FFFFFFF, 0x80000000, 0xB504F333, 0xFFFFFFFF};
    EXPECT_EQ(DiscRim::isqrt(0), 0u);
    for (const std::uint64_t s : roots) {
        EXPECT_EQ(DiscRim::isqrt(s * s), s) << s;
        EXPECT_EQ(DiscRim::isqrt(s * s - 1), s - 1) << s;
        EXPECT_EQ(DiscRim::isqrt(s * s + 2 * s), s) << s; // one below (s + 1)²
    }
    EXPECT_EQ(DiscRim::isqrt(std::numeric_limits<std::uint64_t>::max()), 0xFFFFFFFFu);
}

} // namespace

// Ours
#include "CircleDrag.h"

#include <gtest/gtest.h>

namespace {

TEST(CircleDragTest, CentreStaysOnAPixelOfTheImage) {
    struct Case {
        int x, y, width, height;
        double expectedX, expectedY;
    };
    const Case cases[] = {
        {0, 5, 512, 480, 0, 5},
        {511, 479, 512, 480, 511, 479},
        {512, 480, 512, 480, 511, 479},
        {-1, -1, 512, 480, 0, 0},
        {700, -40, 512, 480, 511, 0},
        {-9, 900, 512, 480, 0, 479},
        {100, 100, 640, 480, 100, 100},
        {639, 300, 640, 480, 639, 300},
        {5, 5, 1, 1, 0, 0},
        // An empty image: the high edges are applied last and win.
        {5, 5, 0, 0, -1, -1},
    };
    for (const Case& c : cases) {
        const CircleDrag::Centre centre = CircleDrag::clampCentre(c.x, c.y, c.width, c.height);
        SCOPED_TRACE(testing::Message()
                     << c.x << "," << c.y << " on " << c.width << "x" << c.height);
        EXPECT_EQ(centre.x, c.expectedX);
        EXPECT_EQ(centre.y, c.expectedY);
    }
}

TEST(CircleDragTest, RadiusFollowsTheHorizontalMovementDownToThree) {
    struct Case {
        double radius, anchorX;
        int x;
        double expected;
    };
    const Case cases[] = {
        {50, 300, 320, 70}, {50, 300, 300, 50}, {70, 320, 100, 3},  {3, 100, 110, 13},
        {50, 300, 253, 3},  {50, 300, 252, 3},  {50, 300, 254, 4},  {3, 10, 9, 3},
        {10.5, 0, 0, 10.5}, {4.5, 2.0, 0, 3},   {50, -20, -10, 60}, {2, 0, 0, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.radius << " from " << c.anchorX << " to " << c.x);
        EXPECT_EQ(CircleDrag::resizedRadius(c.radius, c.anchorX, c.x), c.expected);
    }
}

} // namespace

// Ours
#include "CircleSelection.h"

#include <gtest/gtest.h>

namespace {

CircleSetting circle(int x, int y, int r) {
    CircleSetting setting;
    setting.figure.setCenterX(x);
    setting.figure.setCenterY(y);
    setting.figure.setRadius(r);
    return setting;
}

TEST(CircleSelectionTest, TheSmallestCircleUnderThePointerWins) {
    // A washer: the rim circle around a centre circle, a third one overlapping the rim.
    const std::vector<CircleSetting> circles = {circle(100, 100, 50), circle(100, 100, 10),
                                                circle(160, 100, 20), circle(300, 300, 10),
                                                circle(300, 300, 10)};
    const struct {
        int x, y;
        int expected;
        const char* what;
    } cases[] = {
        {100, 100, 1, "the centre of both: the inner one"},
        {110, 100, 1, "the inner one's rim"},
        {111, 100, 0, "just outside the inner one"},
        {150, 100, 2, "the outer one's rim, also inside the third: the third is smaller"},
        {145, 100, 2, "inside both the outer and the third"},
        {179, 100, 2, "only the third"},
        {181, 100, -1, "in none"},
        {135, 135, 0, "inside the outer one diagonally"},
        {136, 136, -1, "just outside the outer one diagonally"},
        {300, 300, 4, "two equal circles: the one drawn last"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CircleSelection::circleAt(circles, c.x, c.y), c.expected) << c.what;
    }
    EXPECT_EQ(CircleSelection::circleAt({}, 0, 0), -1);
}

} // namespace

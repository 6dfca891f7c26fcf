// Ours
#include "BitmapLayout.h"

#include <gtest/gtest.h>

namespace {

TEST(BitmapLayoutTest, RowsArePaddedToWholeWords) {
    struct Case {
        int width, bitsPerPixel;
        qint64 stride;
    };
    const Case cases[] = {
        {512, 8, 512},
        {1, 8, 4},
        {3, 8, 4},
        {5, 8, 8},
        {1, 1, 4},
        {32, 1, 4},
        {33, 1, 8},
        {7, 4, 4},
        {9, 4, 8},
        {1, 24, 4},
        {3, 24, 12},
        {5, 24, 16},
        {3, 32, 12},
        {0, 8, 0},
        // Widths whose bits overflow 32 bits.
        {0x7fffffff, 8, 0x80000000LL},
        {0x7fffffff, 32, 0x1fffffffcLL},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BitmapLayout::rowStride(c.width, c.bitsPerPixel), c.stride)
            << c.width << " x " << c.bitsPerPixel << " bits";
    }
}

TEST(BitmapLayoutTest, TheGreyRampMapsEachIndexToItsLevel) {
    const QList<QRgb> ramp = BitmapLayout::greyRamp();
    ASSERT_EQ(ramp.size(), 256);
    for (const int level : {0, 1, 127, 128, 254, 255}) {
        EXPECT_EQ(ramp[level], qRgba(level, level, level, 255)) << level;
    }
}

} // namespace

// Ours
#include "InspectionFormat.h"
#include "KeshImage.h"

#include <gtest/gtest.h>

namespace {

TEST(InspectionFormatTest, AnyImageIsConformedTo512By480Grey) {
    struct Case {
        const char* what;
        int width, height, bitsPerPixel, colorFormat;
        bool matches;
    };
    const Case cases[] = {
        {"working format", 512, 480, 8, KeshImage::Grey, true},
        {"wider", 640, 480, 8, KeshImage::Grey, false},
        {"taller", 512, 512, 8, KeshImage::Grey, false},
        {"smaller", 100, 60, 8, KeshImage::Grey, false},
        {"colour", 512, 480, 24, KeshImage::Rgb, false},
        {"colour with a spare byte", 300, 200, 32, KeshImage::Rgb, false},
        {"8-bit palette", 512, 480, 8, KeshImage::Palette, false},
        {"1-bit palette", 513, 479, 1, KeshImage::Palette, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KeshImage image;
        image.setColorFormat(c.colorFormat);
        image.setBitsPerPixel(c.bitsPerPixel);
        image.setWidth(c.width);
        image.setHeight(c.height);
        ASSERT_EQ(image.bitsPerPixel(), c.bitsPerPixel);
        ASSERT_EQ(image.colorFormat(), c.colorFormat);
        EXPECT_EQ(InspectionFormat::matches(image), c.matches);

        InspectionFormat::conform(image);
        EXPECT_TRUE(InspectionFormat::matches(image));
        EXPECT_EQ(image.bytesPerLine(), 512);
    }
}

TEST(InspectionFormatTest, ConformingKeepsThePixelsThatFitAndPadsWithBlack) {
    KeshImage image;
    image.setWidth(4);
    image.setHeight(2);
    image.bufferAddress()[0] = 200;
    image.bufferAddress()[7] = 90;
    InspectionFormat::conform(image);
    EXPECT_EQ(image.bufferAddress()[0], 200);
    EXPECT_EQ(image.bufferAddress()[512 + 3], 90);
    EXPECT_EQ(image.bufferAddress()[4], 0);
    EXPECT_EQ(image.bufferAddress()[2 * 512], 0);
}

} // namespace

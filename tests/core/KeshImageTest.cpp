// Standard library
#include <cstdint>
#include <vector>

// Qt
#include <QImage>

// Ours
#include "KeshImage.h"
#include "RuntimeError.h"

#include <gtest/gtest.h>

namespace {

QRgb photoColor(int x, int y) {
    return qRgb((x * 7) & 0xFF, (y * 3) & 0xFF, (x + y) & 0xFF);
}

// A colour picture as a 24- or 32-bit read produces it (B, G, R[, unused]).
KeshImage colourPhoto(int width, int height, int bits) {
    const int bytes = bits / 8;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * bytes, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QRgb c = photoColor(x, y);
            std::uint8_t* p = pixels.data() + (static_cast<std::size_t>(y) * width + x) * bytes;
            p[0] = static_cast<std::uint8_t>(qBlue(c));
            p[1] = static_cast<std::uint8_t>(qGreen(c));
            p[2] = static_cast<std::uint8_t>(qRed(c));
        }
    }
    KeshImage image;
    image.assign(width, height, bits, KeshImage::Rgb, std::move(pixels));
    return image;
}

KeshImage paletteImage(int width, int height, int bits, const QList<QRgb>& palette) {
    const qsizetype line = KeshImage::bytesPerLine(width, bits);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(line) * height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int index = (x + 2 * y) % static_cast<int>(palette.size());
            std::uint8_t& byte = pixels[y * line + x * bits / 8];
            const int shift = bits == 8 ? 0 : 8 - bits - (x * bits) % 8;
            byte = static_cast<std::uint8_t>(byte | (index << shift));
        }
    }
    KeshImage image;
    image.assign(width, height, bits, KeshImage::Palette, std::move(pixels), palette);
    return image;
}

int luma(QRgb c) {
    return (299 * qRed(c) + 587 * qGreen(c) + 114 * qBlue(c) + 500) / 1000;
}

void expectLooksLike(const KeshImage& image, const QImage& shown) {
    ASSERT_EQ(shown.size(), QSize(image.width(), image.height()));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ASSERT_EQ(shown.pixel(x, y), image.pixelColor(x, y)) << x << "," << y;
        }
    }
}

} // namespace

TEST(KeshImageTest, StartsAsBlack512x480Grey) {
    const KeshImage image;
    EXPECT_EQ(image.width(), 512);
    EXPECT_EQ(image.height(), 480);
    EXPECT_EQ(image.bitsPerPixel(), 8);
    EXPECT_EQ(image.colorFormat(), KeshImage::Grey);
    EXPECT_EQ(image.bytesPerLine(), 512);
    for (int i = 0; i < 512 * 480; ++i) {
        ASSERT_EQ(image.bufferAddress()[i], 0);
    }
}

// The load command's format restore: a colour photo becomes its grey left columns.
TEST(KeshImageTest, FourPropertyWritesTurnColourPhotoIntoGreyLeftPart) {
    for (const int bits : {24, 32}) {
        KeshImage image = colourPhoto(640, 480, bits);
        image.setBitsPerPixel(8);
        image.setColorFormat(0);
        image.setWidth(512);
        image.setHeight(480);
        ASSERT_EQ(image.width(), 512);
        ASSERT_EQ(image.bitsPerPixel(), 8);
        ASSERT_EQ(image.colorFormat(), KeshImage::Grey);
        const std::uint8_t* buffer = image.bufferAddress();
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 512; ++x) {
                ASSERT_EQ(buffer[y * 512 + x], luma(photoColor(x, y))) << x << "," << y;
            }
        }
    }
}

TEST(KeshImageTest, SizeWritesCropAndPadWithZeroAtRightAndBottom) {
    KeshImage image;
    std::vector<std::uint8_t> pixels(4 * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(10 + i);
    }
    image.assign(4, 3, 8, KeshImage::Grey, pixels);

    image.setWidth(6);
    image.setHeight(4);
    const std::vector<std::uint8_t> padded{10, 11, 12, 13, 0, 0, 14, 15, 16, 17, 0, 0,
                                           18, 19, 20, 21, 0, 0, 0,  0,  0,  0,  0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(image.bufferAddress(), image.bufferAddress() + 24), padded);

    image.setWidth(2);
    image.setHeight(2);
    const std::vector<std::uint8_t> cropped{10, 11, 14, 15};
    EXPECT_EQ(std::vector<std::uint8_t>(image.bufferAddress(), image.bufferAddress() + 4), cropped);
}

// 1- and 4-bit rows share bytes between pixels: a crop must clear the bits it drops so
// that a later pad shows index 0 there, not the old pixels.
TEST(KeshImageTest, SubBytePaletteCropThenPadShowsIndexZero) {
    const QList<QRgb> palette{qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    for (const int bits : {1, 4}) {
        KeshImage image = paletteImage(13, 3, bits, bits == 1 ? palette.mid(0, 2) : palette);
        const KeshImage original = image;
        image.setWidth(5);
        image.setWidth(13);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 13; ++x) {
                const QRgb expected = x < 5 ? original.pixelColor(x, y) : image.palette()[0];
                ASSERT_EQ(image.pixelColor(x, y), expected) << bits << ":" << x << "," << y;
            }
        }
    }
}

TEST(KeshImageTest, PaletteBecomesGreyByLumaAndDepthsConvertWithoutChangingLooks) {
    const QList<QRgb> palette{qRgb(200, 10, 10), qRgb(10, 200, 10), qRgb(10, 10, 200),
                              qRgb(255, 255, 255)};
    KeshImage image = paletteImage(9, 4, 4, palette);
    const KeshImage original = image;

    image.setBitsPerPixel(8); // widening keeps the palette
    EXPECT_EQ(image.colorFormat(), KeshImage::Palette);
    image.setBitsPerPixel(24);
    EXPECT_EQ(image.colorFormat(), KeshImage::Rgb);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 9; ++x) {
            ASSERT_EQ(image.pixelColor(x, y), original.pixelColor(x, y));
        }
    }

    image = original;
    image.setColorFormat(KeshImage::Grey);
    EXPECT_EQ(image.bitsPerPixel(), 8);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 9; ++x) {
            ASSERT_EQ(image.bufferAddress()[y * 9 + x], luma(original.pixelColor(x, y)));
        }
    }

    // Grey to palette keeps the values as indices of a grey ramp.
    const KeshImage grey = image;
    image.setColorFormat(KeshImage::Palette);
    EXPECT_EQ(image.palette().size(), 256);
    EXPECT_EQ(image.pixelColor(3, 2), grey.pixelColor(3, 2));

    // A few colours survive the round trip through an 8-bit palette unchanged.
    KeshImage colour = colourPhoto(8, 2, 24);
    const KeshImage colourOriginal = colour;
    colour.setColorFormat(KeshImage::Palette);
    EXPECT_EQ(colour.bitsPerPixel(), 8);
    expectLooksLike(colourOriginal, colour.toQImage());
}

TEST(KeshImageTest, InvalidValuesThrow380AndLeaveImageUnchanged) {
    KeshImage grey;
    grey.setWidth(7);
    grey.bufferAddress()[3] = 200; // not representable in 1 or 4 bits
    const KeshImage colour = colourPhoto(5, 5, 24);

    struct Case {
        const char* name;
        const KeshImage* image;
        void (*apply)(KeshImage&);
    };
    const Case cases[] = {
        {"width 0", &grey,
         [](KeshImage& i) {
             i.setWidth(0);
         }},
        {"width -5", &grey,
         [](KeshImage& i) {
             i.setWidth(-5);
         }},
        {"width absurd", &grey,
         [](KeshImage& i) {
             i.setWidth(1'000'000);
         }},
        {"height 0", &grey,
         [](KeshImage& i) {
             i.setHeight(0);
         }},
        {"height absurd", &grey,
         [](KeshImage& i) {
             i.setHeight(KeshImage::kMaxDimension + 1);
         }},
        {"bits 0", &grey,
         [](KeshImage& i) {
             i.setBitsPerPixel(0);
         }},
        {"bits 16", &grey,
         [](KeshImage& i) {
             i.setBitsPerPixel(16);
         }},
        {"bits 4 with level 200", &grey,
         [](KeshImage& i) {
             i.setBitsPerPixel(4);
         }},
        {"colour to 1 bit", &colour,
         [](KeshImage& i) {
             i.setBitsPerPixel(1);
         }},
        {"format 3", &grey,
         [](KeshImage& i) {
             i.setColorFormat(3);
         }},
        {"format -1", &colour,
         [](KeshImage& i) {
             i.setColorFormat(-1);
         }},
        {"buffer of wrong size", &grey,
         [](KeshImage& i) {
             i.assign(4, 4, 8, KeshImage::Grey, std::vector<std::uint8_t>(15));
         }},
        {"palette image without palette", &grey,
         [](KeshImage& i) {
             i.assign(2, 2, 8, KeshImage::Palette, std::vector<std::uint8_t>(4));
         }},
    };
    for (const Case& c : cases) {
        KeshImage image = *c.image;
        try {
            c.apply(image);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), 380) << c.name;
        }
        EXPECT_TRUE(image == *c.image) << c.name << ": image changed";
    }
}

TEST(KeshImageTest, ToQImageShowsEveryFormat) {
    const QList<QRgb> palette{qRgb(0, 0, 0),     qRgb(250, 0, 0),  qRgb(0, 250, 0),
                              qRgb(0, 0, 250),   qRgb(90, 90, 90), qRgb(30, 60, 90),
                              qRgb(255, 255, 0), qRgb(1, 2, 3)};
    KeshImage grey;
    grey.setWidth(11);
    grey.setHeight(3);
    for (int i = 0; i < 33; ++i) {
        grey.bufferAddress()[i] = static_cast<std::uint8_t>(i * 7);
    }
    std::vector<KeshImage> images{grey,
                                  colourPhoto(11, 3, 24),
                                  colourPhoto(11, 3, 32),
                                  paletteImage(11, 3, 1, palette.mid(0, 2)),
                                  paletteImage(11, 3, 4, palette),
                                  paletteImage(11, 3, 8, palette)};
    // An index past the end of a short palette is shown black.
    KeshImage shortPalette = paletteImage(11, 3, 8, palette);
    shortPalette.bufferAddress()[0] = 200;
    images.push_back(shortPalette);

    for (const KeshImage& image : images) {
        SCOPED_TRACE(image.bitsPerPixel());
        expectLooksLike(image, image.toQImage());
    }
    EXPECT_EQ(shortPalette.toQImage().pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(grey.toQImage().pixel(10, 2), qRgb(224, 224, 224));
}

TEST(KeshImageTest, AssignGrey8RepacksStridedRows) {
    const std::vector<std::uint8_t> frame{1, 2, 3, 99, 4, 5, 6, 99};
    KeshImage image;
    image.assignGrey8(3, 2, frame.data(), 4);
    EXPECT_EQ(image.width(), 3);
    EXPECT_EQ(std::vector<std::uint8_t>(image.bufferAddress(), image.bufferAddress() + 6),
              (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
}

// Standard library
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

// Qt
#include <QByteArray>
#include <QRgb>

// Ours
#include "BmpBuilder.h"
#include "BmpReader.h"
#include "KeshFileAccess.h"
#include "KeshImage.h"

#include <gtest/gtest.h>

namespace {

using bmptest::Bmp;

constexpr int kWidth = 7;
constexpr int kHeight = 3;

// Raw pixel values as a 16- or 32-bit file stores them, rows padded to 4 bytes.
QByteArray rawRows(int bits, bool topDown, const std::function<std::uint32_t(int, int)>& value) {
    const int bytes = bits / 8;
    const int stride = ((kWidth * bits + 31) / 32) * 4;
    QByteArray data(stride * kHeight, '\0');
    for (int row = 0; row < kHeight; ++row) {
        const int y = topDown ? row : kHeight - 1 - row;
        for (int x = 0; x < kWidth; ++x) {
            const std::uint32_t v = value(x, y);
            for (int b = 0; b < bytes; ++b) {
                data[row * stride + x * bytes + b] = static_cast<char>((v >> (8 * b)) & 0xFF);
            }
        }
    }
    return data;
}

// A channel's level as a rendering shows it: the value's share of the channel's range.
int expectedLevel(std::uint32_t pixel, std::uint32_t mask) {
    int shift = 0;
    while (((mask >> shift) & 1) == 0) {
        ++shift;
    }
    const double max = static_cast<double>(mask >> shift);
    const double value = static_cast<double>((pixel & mask) >> shift);
    return static_cast<int>(std::lround(value * 255.0 / max));
}

QRgb expectedColour(std::uint32_t pixel, const std::uint32_t masks[3]) {
    return qRgb(expectedLevel(pixel, masks[0]), expectedLevel(pixel, masks[1]),
                expectedLevel(pixel, masks[2]));
}

// Values that reach every bit of a pixel: both ends and a spread between them.
std::uint32_t sampleValue(int x, int y, int bits) {
    const std::uint32_t all = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    const std::uint32_t spread[] = {0u, all, 1u, all - 1, 0x9E3779B9u, 0x7F4A7C15u, 0x12345678u};
    return (spread[(x + 2 * y) % 7] ^ static_cast<std::uint32_t>(y * 0x01010101)) & all;
}

// The same colours as a plain 24-bit file: what any colour file of these colours reads as.
KeshImage referenceImage(const std::function<QRgb(int, int)>& colour) {
    Bmp bmp;
    bmp.width = kWidth;
    bmp.height = kHeight;
    bmp.bits = 24;
    const int stride = ((kWidth * 24 + 31) / 32) * 4;
    bmp.data = QByteArray(stride * kHeight, '\0');
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int at = (kHeight - 1 - y) * stride + x * 3;
            bmp.data[at] = static_cast<char>(qBlue(colour(x, y)));
            bmp.data[at + 1] = static_cast<char>(qGreen(colour(x, y)));
            bmp.data[at + 2] = static_cast<char>(qRed(colour(x, y)));
        }
    }
    KeshImage image;
    EXPECT_EQ(BmpReader::read(bmp.build(), image), 0);
    return image;
}

void expectColours(const Bmp& bmp, const std::uint32_t masks[3]) {
    KeshImage image;
    ASSERT_EQ(BmpReader::read(bmp.build(), image), 0);
    ASSERT_EQ(image.width(), kWidth);
    ASSERT_EQ(image.height(), kHeight);
    EXPECT_EQ(image.colorFormat(), KeshImage::Rgb);
    const auto colour = [&](int x, int y) {
        return expectedColour(sampleValue(x, y, bmp.bits), masks);
    };
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            ASSERT_EQ(image.pixelColor(x, y), colour(x, y))
                << x << "," << y << " raw " << std::hex << sampleValue(x, y, bmp.bits);
        }
    }
    // Loaded, a colour file becomes grey; this one as any other of the same colours.
    KeshImage reference = referenceImage(colour);
    image.setColorFormat(KeshImage::Grey);
    reference.setColorFormat(KeshImage::Grey);
    EXPECT_TRUE(image == reference);
}

Bmp directColour(int bits, std::uint32_t compression, const std::uint32_t masks[3],
                 bool topDown = false) {
    Bmp bmp;
    bmp.width = kWidth;
    bmp.height = topDown ? -kHeight : kHeight;
    bmp.bits = bits;
    bmp.compression = compression;
    for (int c = 0; c < 3; ++c) {
        bmp.masks[c] = masks[c];
    }
    bmp.data = rawRows(bits, topDown, [bits](int x, int y) { return sampleValue(x, y, bits); });
    return bmp;
}

} // namespace

TEST(BmpReaderTest, SixteenBitFilesReadAsColour) {
    const std::uint32_t rgb555[3] = {0x7C00, 0x03E0, 0x001F};
    const std::uint32_t rgb565[3] = {0xF800, 0x07E0, 0x001F};
    const std::uint32_t bgr565[3] = {0x001F, 0x07E0, 0xF800};
    struct Case {
        const char* name;
        Bmp bmp;
        const std::uint32_t* masks;
    };
    std::vector<Case> cases{
        {"5-5-5 without bit fields", directColour(16, 0, rgb555), rgb555},
        {"5-5-5 spelt out in bit fields", directColour(16, 3, rgb555), rgb555},
        {"5-6-5", directColour(16, 3, rgb565), rgb565},
        {"5-6-5 blue on top", directColour(16, 3, bgr565), bgr565},
        {"5-6-5 top-down", directColour(16, 3, rgb565, true), rgb565},
    };
    {
        Bmp bmp = directColour(16, 3, rgb565);
        bmp.palette = {qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(7, 8, 9)};
        bmp.colorsUsed = 3;
        cases.push_back({"5-6-5 with a palette to ignore", bmp, rgb565});
    }
    for (const int headerSize : {56, 108, 124}) {
        Bmp bmp = directColour(16, 3, rgb565);
        bmp.headerSize = headerSize;
        cases.push_back({"5-6-5 in a later header", bmp, rgb565});
        bmp = directColour(16, 0, rgb555);
        bmp.headerSize = headerSize;
        bmp.masks[0] = 0xF800; // ignored without the bit-field compression
        cases.push_back({"5-5-5 in a later header", bmp, rgb555});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " header " << c.bmp.headerSize);
        expectColours(c.bmp, c.masks);
    }
}

// Every channel width a 32-bit (1 to 32) or 16-bit (1 to 16) pixel allows, at the top and
// at the bottom of the pixel, against the other channels at ordinary places.
TEST(BmpReaderTest, BitFieldsOfEveryWidthScaleExactlyToEightBits) {
    for (const int bits : {16, 32}) {
        for (int width = 1; width <= bits; ++width) {
            const std::uint32_t run = width == 32 ? 0xFFFFFFFFu : (1u << width) - 1;
            for (const int shift : {0, bits - width}) {
                for (int channel = 0; channel < 3; ++channel) {
                    std::uint32_t masks[3] = {0x0F00, 0x00F0, 0x000F};
                    if (bits == 32) {
                        masks[0] = 0x00FF0000;
                        masks[1] = 0x0000FF00;
                        masks[2] = 0x000000FF;
                    }
                    masks[channel] = run << shift;
                    SCOPED_TRACE(testing::Message() << bits << " bits, channel " << channel
                                                    << " mask " << std::hex << masks[channel]);
                    expectColours(directColour(bits, 3, masks), masks);
                }
            }
        }
    }
    const std::uint32_t named[][3] = {
        {0x3FF00000, 0x000FFC00, 0x000003FF}, // 10-10-10 with two bits of alpha
        {0x7F000000, 0x00800000, 0x007F8000}, // 7-1-8 with 15 bits left over
        {0xFFFF0000, 0x0000FF00, 0x000000FF}, // a 16-bit channel
        {0x0000000F, 0x000000F0, 0xFFFFFF00}, // 4-4-24
    };
    for (const auto& masks : named) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << masks[0] << " " << masks[1] << " " << masks[2]);
        expectColours(directColour(32, 3, masks), masks);
        Bmp v5 = directColour(32, 3, masks);
        v5.headerSize = 124;
        v5.masks[3] = ~(masks[0] | masks[1] | masks[2]); // alpha: ignored
        expectColours(v5, masks);
    }
}

TEST(BmpReaderTest, BitFieldsThatCannotBeScaledAreRefused) {
    struct Case {
        const char* name;
        int bits;
        std::uint32_t masks[3];
        int expected;
    };
    const Case cases[] = {
        {"a channel with a gap", 32, {0x00F0F000, 0x0000000F, 0x000000F0}, -4},
        {"a 16-bit channel beyond the pixel", 16, {0x1F0000, 0x07E0, 0x001F}, -4},
        {"a 16-bit channel with a gap", 16, {0xF801, 0x07E0, 0x001E}, -4},
        {"no red", 32, {0, 0xFF00, 0xFF}, -3},
        {"bit fields at 24 bits", 24, {0xFF0000, 0xFF00, 0xFF}, -4},
    };
    for (const Case& c : cases) {
        KeshImage image;
        const KeshImage before = image;
        EXPECT_EQ(BmpReader::read(directColour(c.bits, 3, c.masks).build(), image), c.expected)
            << c.name;
        EXPECT_TRUE(image == before) << c.name;
    }
}

// Files up to the limits read; headers beyond them are refused before any pixel is read.
TEST(BmpReaderTest, SizesUpToTheLimitsReadAndBeyondThemAreTooLarge) {
    struct Case {
        const char* name;
        int width;
        int height;
        int bits;
        int expected;
    };
    const Case beyond[] = {
        {"wider than 16384", 16385, 1, 8, -5},
        {"taller than 16384", 1, -16385, 8, -5},
        {"24-bit over 256 MiB", 16384, 5462, 24, -5},
        {"32-bit over 256 MiB", 16384, 4097, 32, -5},
    };
    for (const Case& c : beyond) {
        Bmp bmp;
        bmp.width = c.width;
        bmp.height = c.height;
        bmp.bits = c.bits;
        bmp.data = QByteArray(64, '\0');
        KeshImage image;
        EXPECT_EQ(BmpReader::read(bmp.build(), image), c.expected) << c.name;
    }

    // 134 million pixels: more than a decoder's four bytes a pixel allow under 512 MiB.
    Bmp large;
    large.width = 16384;
    large.height = 8200;
    large.bits = 4;
    for (int i = 0; i < 16; ++i) {
        large.palette.append(qRgb(i * 16, 255 - i * 16, i));
    }
    large.data = QByteArray(16384 / 2 * 8200, '\x12');
    large.data[0] = '\x3F'; // the bottom row's first two pixels
    KeshImage image;
    ASSERT_EQ(BmpReader::read(large.build(), image), 0);
    EXPECT_EQ(image.width(), 16384);
    EXPECT_EQ(image.height(), 8200);
    EXPECT_EQ(image.bitsPerPixel(), 4);
    EXPECT_EQ(image.pixelColor(0, 8199), large.palette[3]);
    EXPECT_EQ(image.pixelColor(1, 8199), large.palette[15]);
    EXPECT_EQ(image.pixelColor(2, 8199), large.palette[1]);
    EXPECT_EQ(image.pixelColor(16383, 0), large.palette[2]);
}

#pragma once

// Standard library
#include <cstdint>
#include <vector>

// Qt
#include <QImage>
#include <QList>
#include <QRgb>

// Ours
#include "InspectionFormat.h"

// The one image of the program: width, height, bits per pixel, colour format and a
// pixel buffer whose rows follow each other with no padding (row length is exactly
// bytesPerLine(), which for 8 bits per pixel is the width).
//
// It starts as 512 x 480, 8 bits, grey, all pixels 0. Writing one of the four format
// properties reshapes the image into a valid image of that format. Valid formats:
//   8 bits Grey; 24 or 32 bits Rgb; 1, 4 or 8 bits Palette (1 and 4 bits pack the
//   leftmost pixel in the high bits of a byte, as bitmaps do).
// An invalid value throws RuntimeError 380 and leaves the image as it was.
class KeshImage {
public:
    enum ColorFormat : int {
        Grey = 0,    // 8 bits: the value is the grey level
        Rgb = 1,     // 24 bits (B, G, R) or 32 bits (B, G, R, unused), as stored in bitmaps
        Palette = 2, // 1, 4 or 8 bits indexing palette()
    };

    static constexpr int kDefaultWidth = InspectionFormat::kWidth;
    static constexpr int kDefaultHeight = InspectionFormat::kHeight;
    // Bounds that keep a hostile file or a typing error from exhausting memory.
    static constexpr int kMaxDimension = 16384;
    static constexpr qsizetype kMaxBufferBytes = qsizetype(256) * 1024 * 1024;

    KeshImage();

    // Named after the image control's dispatch members: ids 1, 2, 3 and 5 (get and put), 102.
    int width() const { return width_; }
    void setWidth(int width); // crops or pads right with 0
    int height() const { return height_; }
    void setHeight(int height); // crops or pads bottom with 0
    int bitsPerPixel() const { return bitsPerPixel_; }
    // 8 turns colour into grey (luma) and widens 1/4-bit palettes to 8 bits; 24/32 turn
    // anything into colour; 1/4 repack a palette whose indices fit.
    void setBitsPerPixel(int bitsPerPixel);
    int colorFormat() const { return colorFormat_; }
    // Grey gives 8-bit luma, Rgb keeps 24/32 bits or widens to 24, Palette gives an 8-bit
    // palette image (a grey image keeps its values).
    void setColorFormat(int colorFormat);

    // The address of the pixel buffer; valid until the image next changes.
    const std::uint8_t* bufferAddress() const { return pixels_.data(); }
    std::uint8_t* bufferAddress() { return pixels_.data(); }

    qsizetype bytesPerLine() const { return bytesPerLine(width_, bitsPerPixel_); }
    static qsizetype bytesPerLine(int width, int bitsPerPixel) {
        return (static_cast<qsizetype>(width) * bitsPerPixel + 7) / 8;
    }
    const QList<QRgb>& palette() const { return palette_; }

    // Whether the format and size could be held; the buffer size is checked by assign().
    static bool isValidFormat(int bitsPerPixel, int colorFormat);
    static bool isValidSize(int width, int height, int bitsPerPixel);

    // Pixel x of a row of 1-, 4- or 8-bit palette indices, leftmost pixel in the high bits.
    static int indexAt(const std::uint8_t* row, int x, int bitsPerPixel);
    // Leaves the other pixels that share its byte as they are.
    static void setIndexAt(std::uint8_t* row, int x, int bitsPerPixel, int index);

    // Replaces the whole image. Rows in `pixels` are bytesPerLine() long for the
    // new format; the palette is used for Palette images only (1 to 2^bits entries).
    // Throws RuntimeError 380 on an inconsistent argument, leaving the image unchanged.
    void assign(int width, int height, int bitsPerPixel, int colorFormat,
                std::vector<std::uint8_t> pixels, QList<QRgb> palette = {});

    // Replaces the image by an 8-bit grey frame whose rows are `stride` bytes apart.
    void assignGrey8(int width, int height, const std::uint8_t* firstRow, qsizetype stride);

    // The image as it looks, for display and for writing files.
    QImage toQImage() const;

    // The colour of pixel (x, y) as shown; black outside the image.
    QRgb pixelColor(int x, int y) const;

    bool operator==(const KeshImage& other) const = default;

private:
    int width_ = kDefaultWidth;
    int height_ = kDefaultHeight;
    int bitsPerPixel_ = 8;
    int colorFormat_ = Grey;
    std::vector<std::uint8_t> pixels_;
    QList<QRgb> palette_;
};

#pragma once

// Standard library
#include <cstdint>
#include <vector>

// Qt
#include <QImage>
#include <QList>
#include <QRgb>

// The one image of the program: width, height, bits per pixel, colour format and a
// pixel buffer whose rows follow each other with no padding (row length is exactly
// bytesPerLine(), which for 8 bits per pixel is the width).
//
// It starts as 512 x 480, 8 bits, grey, all pixels 0. Writing one of the four format
// properties reshapes the image into a valid image of that format.
class KeshImage {
public:
    enum ColorFormat : int {
        Grey = 0,    // 8 bits: the value is the grey level
        Rgb = 1,     // 24 bits (B, G, R) or 32 bits (B, G, R, unused), as stored in bitmaps
        Palette = 2, // 1, 4 or 8 bits indexing palette()
    };

    static constexpr int kDefaultWidth = 512;
    static constexpr int kDefaultHeight = 480;

    KeshImage();

    int width() const { return width_; }               // dispid 1 (get)
    void setWidth(int width);                          // dispid 1 (put)
    int height() const { return height_; }             // dispid 2 (get)
    void setHeight(int height);                        // dispid 2 (put)
    int bitsPerPixel() const { return bitsPerPixel_; } // dispid 3 (get)
    void setBitsPerPixel(int bitsPerPixel);            // dispid 3 (put)
    int colorFormat() const { return colorFormat_; }   // dispid 5 (get)
    void setColorFormat(int colorFormat);              // dispid 5 (put)

    // dispid 102: address of the pixel buffer; valid until the image next changes.
    const std::uint8_t* bufferAddress() const { return pixels_.data(); }
    std::uint8_t* bufferAddress() { return pixels_.data(); }

    qsizetype bytesPerLine() const;
    const QList<QRgb>& palette() const { return palette_; }

    // Replaces the whole image. Rows in `pixels` are bytesPerLine() long for the
    // new format; the palette is used for Palette images only.
    void assign(int width, int height, int bitsPerPixel, int colorFormat,
                std::vector<std::uint8_t> pixels, QList<QRgb> palette = {});

    // Replaces the image by an 8-bit grey frame whose rows are `stride` bytes apart.
    void assignGrey8(int width, int height, const std::uint8_t* firstRow, qsizetype stride);

    // The image as it looks, for display and for writing files.
    QImage toQImage() const;

private:
    int width_ = kDefaultWidth;
    int height_ = kDefaultHeight;
    int bitsPerPixel_ = 8;
    int colorFormat_ = Grey;
    std::vector<std::uint8_t> pixels_;
    QList<QRgb> palette_;
};

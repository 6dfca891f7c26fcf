#include "KeshImage.h"

// Standard library
#include <algorithm>
#include <cstring>

// Ours
#include "RuntimeError.h"

// First cut: 8-bit grey only; the reshaping of other formats is still to come.

KeshImage::KeshImage() : pixels_(static_cast<std::size_t>(kDefaultWidth) * kDefaultHeight, 0) {}

qsizetype KeshImage::bytesPerLine() const {
    return (static_cast<qsizetype>(width_) * bitsPerPixel_ + 7) / 8;
}

void KeshImage::setWidth(int width) {
    if (width <= 0) {
        throw RuntimeError(RuntimeError::InvalidPropertyValue,
                           QStringLiteral("Invalid property value"));
    }
    std::vector<std::uint8_t> resized(static_cast<std::size_t>(width) * height_, 0);
    const int kept = std::min(width, width_);
    for (int y = 0; y < height_; ++y) {
        std::memcpy(resized.data() + static_cast<std::size_t>(y) * width,
                    pixels_.data() + static_cast<std::size_t>(y) * width_, kept);
    }
    pixels_ = std::move(resized);
    width_ = width;
}

void KeshImage::setHeight(int height) {
    if (height <= 0) {
        throw RuntimeError(RuntimeError::InvalidPropertyValue,
                           QStringLiteral("Invalid property value"));
    }
    pixels_.resize(static_cast<std::size_t>(width_) * height, 0);
    height_ = height;
}

void KeshImage::setBitsPerPixel(int bitsPerPixel) {
    bitsPerPixel_ = bitsPerPixel;
}

void KeshImage::setColorFormat(int colorFormat) {
    colorFormat_ = colorFormat;
}

void KeshImage::assign(int width, int height, int bitsPerPixel, int colorFormat,
                       std::vector<std::uint8_t> pixels, QList<QRgb> palette) {
    width_ = width;
    height_ = height;
    bitsPerPixel_ = bitsPerPixel;
    colorFormat_ = colorFormat;
    pixels_ = std::move(pixels);
    palette_ = std::move(palette);
}

void KeshImage::assignGrey8(int width, int height, const std::uint8_t* firstRow, qsizetype stride) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        std::memcpy(pixels.data() + static_cast<std::size_t>(y) * width, firstRow + y * stride,
                    width);
    }
    assign(width, height, 8, Grey, std::move(pixels));
}

QImage KeshImage::toQImage() const {
    QImage image(width_, height_, QImage::Format_Grayscale8);
    for (int y = 0; y < height_; ++y) {
        std::memcpy(image.scanLine(y), pixels_.data() + static_cast<std::size_t>(y) * width_,
                    width_);
    }
    return image;
}

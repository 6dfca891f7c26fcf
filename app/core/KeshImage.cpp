#include "KeshImage.h"

// Standard library
#include <algorithm>
#include <cstring>

// Ours
#include "BitmapLayout.h"
#include "RuntimeError.h"

namespace {

[[noreturn]] void throwInvalidValue() {
    throw RuntimeError(RuntimeError::InvalidPropertyValue,
                       QStringLiteral("Invalid property value"));
}

bool isPaletteDepth(int bitsPerPixel) {
    return bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8;
}

// ITU-R BT.601 weights, rounded.
std::uint8_t luma(QRgb color) {
    return static_cast<std::uint8_t>(
        (299 * qRed(color) + 587 * qGreen(color) + 114 * qBlue(color) + 500) / 1000);
}

std::size_t bufferSize(int width, int height, int bitsPerPixel) {
    return static_cast<std::size_t>(KeshImage::bytesPerLine(width, bitsPerPixel)) *
           static_cast<std::size_t>(height);
}

} // namespace

int KeshImage::indexAt(const std::uint8_t* row, int x, int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 0x1;
    case 4:
        return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
    default:
        return row[x];
    }
}

void KeshImage::setIndexAt(std::uint8_t* row, int x, int bitsPerPixel, int index) {
    switch (bitsPerPixel) {
    case 1: {
        const int shift = 7 - (x & 7);
        row[x >> 3] = static_cast<std::uint8_t>((row[x >> 3] & ~(1 << shift)) | (index << shift));
        break;
    }
    case 4: {
        const int shift = (x & 1) ? 0 : 4;
        row[x >> 1] = static_cast<std::uint8_t>((row[x >> 1] & ~(0xF << shift)) | (index << shift));
        break;
    }
    default:
        row[x] = static_cast<std::uint8_t>(index);
    }
}

KeshImage::KeshImage() : pixels_(bufferSize(kDefaultWidth, kDefaultHeight, 8), 0) {}

bool KeshImage::isValidFormat(int bitsPerPixel, int colorFormat) {
    switch (colorFormat) {
    case Grey:
        return bitsPerPixel == 8;
    case Rgb:
        return bitsPerPixel == 24 || bitsPerPixel == 32;
    case Palette:
        return isPaletteDepth(bitsPerPixel);
    default:
        return false;
    }
}

bool KeshImage::isValidSize(int width, int height, int bitsPerPixel) {
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) {
        return false;
    }
    return bytesPerLine(width, bitsPerPixel) * height <= kMaxBufferBytes;
}

void KeshImage::setWidth(int width) {
    if (width == width_) {
        return;
    }
    if (!isValidSize(width, height_, bitsPerPixel_)) {
        throwInvalidValue();
    }
    const qsizetype oldLine = bytesPerLine();
    const qsizetype newLine = bytesPerLine(width, bitsPerPixel_);
    const qsizetype keptBits = static_cast<qsizetype>(std::min(width, width_)) * bitsPerPixel_;
    const qsizetype wholeBytes = keptBits / 8;
    const int tailBits = static_cast<int>(keptBits % 8);
    std::vector<std::uint8_t> resized(bufferSize(width, height_, bitsPerPixel_), 0);
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* from = pixels_.data() + y * oldLine;
        std::uint8_t* to = resized.data() + y * newLine;
        std::memcpy(to, from, static_cast<std::size_t>(wholeBytes));
        if (tailBits != 0) {
            // Pixels packed below a byte: keep the leading ones, clear the rest.
            to[wholeBytes] = static_cast<std::uint8_t>(from[wholeBytes] & (0xFF00 >> tailBits));
        }
    }
    pixels_ = std::move(resized);
    width_ = width;
}

void KeshImage::setHeight(int height) {
    if (height == height_) {
        return;
    }
    if (!isValidSize(width_, height, bitsPerPixel_)) {
        throwInvalidValue();
    }
    pixels_.resize(bufferSize(width_, height, bitsPerPixel_), 0);
    height_ = height;
}

void KeshImage::setBitsPerPixel(int bitsPerPixel) {
    if (bitsPerPixel == bitsPerPixel_) {
        return;
    }
    if (!isPaletteDepth(bitsPerPixel) && bitsPerPixel != 24 && bitsPerPixel != 32) {
        throwInvalidValue();
    }
    if (!isValidSize(width_, height_, bitsPerPixel)) {
        throwInvalidValue();
    }

    if (bitsPerPixel == 24 || bitsPerPixel == 32) {
        const int bytes = bitsPerPixel / 8;
        std::vector<std::uint8_t> pixels(bufferSize(width_, height_, bitsPerPixel), 0);
        const qsizetype line = bytesPerLine(width_, bitsPerPixel);
        for (int y = 0; y < height_; ++y) {
            std::uint8_t* row = pixels.data() + y * line;
            for (int x = 0; x < width_; ++x) {
                const QRgb color = pixelColor(x, y);
                row[x * bytes] = static_cast<std::uint8_t>(qBlue(color));
                row[x * bytes + 1] = static_cast<std::uint8_t>(qGreen(color));
                row[x * bytes + 2] = static_cast<std::uint8_t>(qRed(color));
            }
        }
        assign(width_, height_, bitsPerPixel, Rgb, std::move(pixels));
        return;
    }

    if (bitsPerPixel == 8 && colorFormat_ == Rgb) {
        setColorFormat(Grey);
        return;
    }

    // Between palette depths the indices are kept; a grey image indexes a grey ramp.
    if (colorFormat_ == Rgb) {
        throwInvalidValue(); // colour cannot become 1 or 4 bits without losing it
    }
    QList<QRgb> palette = colorFormat_ == Grey ? BitmapLayout::greyRamp() : palette_;
    const int maxIndex = (1 << bitsPerPixel) - 1;
    std::vector<std::uint8_t> pixels(bufferSize(width_, height_, bitsPerPixel), 0);
    const qsizetype line = bytesPerLine(width_, bitsPerPixel);
    const qsizetype oldLine = bytesPerLine();
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* from = pixels_.data() + y * oldLine;
        std::uint8_t* to = pixels.data() + y * line;
        for (int x = 0; x < width_; ++x) {
            const int index = indexAt(from, x, bitsPerPixel_);
            if (index > maxIndex) {
                throwInvalidValue();
            }
            setIndexAt(to, x, bitsPerPixel, index);
        }
    }
    if (palette.size() > maxIndex + 1) {
        palette.resize(maxIndex + 1);
    }
    assign(width_, height_, bitsPerPixel, Palette, std::move(pixels), std::move(palette));
}

void KeshImage::setColorFormat(int colorFormat) {
    if (colorFormat == colorFormat_) {
        return;
    }
    switch (colorFormat) {
    case Grey: {
        std::vector<std::uint8_t> pixels(bufferSize(width_, height_, 8));
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                pixels[static_cast<std::size_t>(y) * width_ + x] = luma(pixelColor(x, y));
            }
        }
        assign(width_, height_, 8, Grey, std::move(pixels));
        return;
    }
    case Rgb:
        setBitsPerPixel(24);
        return;
    case Palette:
        if (colorFormat_ == Grey) {
            assign(width_, height_, 8, Palette, pixels_, BitmapLayout::greyRamp());
            return;
        } else {
            const QImage indexed = toQImage().convertToFormat(QImage::Format_Indexed8);
            if (indexed.isNull()) {
                throwInvalidValue();
            }
            std::vector<std::uint8_t> pixels(bufferSize(width_, height_, 8));
            for (int y = 0; y < height_; ++y) {
                std::memcpy(pixels.data() + static_cast<std::size_t>(y) * width_,
                            indexed.constScanLine(y), static_cast<std::size_t>(width_));
            }
            QList<QRgb> palette = indexed.colorTable();
            if (palette.isEmpty()) {
                palette.append(qRgb(0, 0, 0));
            }
            assign(width_, height_, 8, Palette, std::move(pixels), std::move(palette));
            return;
        }
    default:
        throwInvalidValue();
    }
}

void KeshImage::assign(int width, int height, int bitsPerPixel, int colorFormat,
                       std::vector<std::uint8_t> pixels, QList<QRgb> palette) {
    if (!isValidFormat(bitsPerPixel, colorFormat) || !isValidSize(width, height, bitsPerPixel) ||
        pixels.size() != bufferSize(width, height, bitsPerPixel)) {
        throwInvalidValue();
    }
    if (colorFormat == Palette) {
        if (palette.isEmpty() || palette.size() > (1 << bitsPerPixel)) {
            throwInvalidValue();
        }
    } else {
        palette.clear();
    }
    width_ = width;
    height_ = height;
    bitsPerPixel_ = bitsPerPixel;
    colorFormat_ = colorFormat;
    pixels_ = std::move(pixels);
    palette_ = std::move(palette);
}

void KeshImage::assignGrey8(int width, int height, const std::uint8_t* firstRow, qsizetype stride) {
    if (!isValidSize(width, height, 8) || firstRow == nullptr || stride < width) {
        throwInvalidValue();
    }
    std::vector<std::uint8_t> pixels(bufferSize(width, height, 8));
    for (int y = 0; y < height; ++y) {
        std::memcpy(pixels.data() + static_cast<std::size_t>(y) * width, firstRow + y * stride,
                    static_cast<std::size_t>(width));
    }
    assign(width, height, 8, Grey, std::move(pixels));
}

QRgb KeshImage::pixelColor(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return qRgb(0, 0, 0);
    }
    const std::uint8_t* row = pixels_.data() + y * bytesPerLine();
    switch (colorFormat_) {
    case Grey:
        return qRgb(row[x], row[x], row[x]);
    case Rgb: {
        const int bytes = bitsPerPixel_ / 8;
        return qRgb(row[x * bytes + 2], row[x * bytes + 1], row[x * bytes]);
    }
    default: {
        const int index = indexAt(row, x, bitsPerPixel_);
        return index < palette_.size() ? palette_[index] : qRgb(0, 0, 0);
    }
    }
}

QImage KeshImage::toQImage() const {
    const qsizetype line = bytesPerLine();
    if (colorFormat_ == Grey) {
        QImage image(width_, height_, QImage::Format_Grayscale8);
        for (int y = 0; y < height_; ++y) {
            std::memcpy(image.scanLine(y), pixels_.data() + y * line,
                        static_cast<std::size_t>(width_));
        }
        return image;
    }
    if (colorFormat_ == Palette) {
        // Indices past the end of a short palette show black rather than anything undefined.
        QList<QRgb> table = palette_;
        table.resize(256, qRgb(0, 0, 0));
        QImage image(width_, height_, QImage::Format_Indexed8);
        image.setColorTable(table);
        for (int y = 0; y < height_; ++y) {
            const std::uint8_t* from = pixels_.data() + y * line;
            std::uint8_t* to = image.scanLine(y);
            for (int x = 0; x < width_; ++x) {
                to[x] = static_cast<std::uint8_t>(indexAt(from, x, bitsPerPixel_));
            }
        }
        return image;
    }
    QImage image(width_, height_, QImage::Format_RGB32);
    const int bytes = bitsPerPixel_ / 8;
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* from = pixels_.data() + y * line;
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width_; ++x) {
            to[x] = qRgb(from[x * bytes + 2], from[x * bytes + 1], from[x * bytes]);
        }
    }
    return image;
}

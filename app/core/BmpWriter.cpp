#include "BmpWriter.h"

// Standard library
#include <cstdint>
#include <cstring>

// Qt
#include <QList>
#include <QRgb>

// Ours
#include "BitmapLayout.h"
#include "KeshImage.h"

namespace {

constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;

void putU16(QByteArray& bytes, qsizetype offset, std::uint16_t value) {
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>(value >> 8);
}

void putU32(QByteArray& bytes, qsizetype offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

} // namespace

QByteArray BmpWriter::encode(const KeshImage& image) {
    const int width = image.width();
    const int height = image.height();
    const int sourceBits = image.bitsPerPixel();
    const int bits = sourceBits == 32 ? 24 : sourceBits;

    QList<QRgb> palette;
    if (image.colorFormat() == KeshImage::Grey) {
        palette = BitmapLayout::greyRamp();
    } else if (image.colorFormat() == KeshImage::Palette) {
        palette = image.palette();
        palette.resize(qsizetype(1) << bits, qRgb(0, 0, 0));
    }

    const qsizetype stride = BitmapLayout::rowStride(width, bits);
    const qsizetype dataOffset = kFileHeaderBytes + kInfoHeaderBytes + palette.size() * 4;
    const qsizetype fileSize = dataOffset + stride * height;
    QByteArray bytes(fileSize, '\0');

    bytes[0] = 'B';
    bytes[1] = 'M';
    putU32(bytes, 2, static_cast<std::uint32_t>(fileSize));
    putU32(bytes, 10, static_cast<std::uint32_t>(dataOffset));
    putU32(bytes, 14, kInfoHeaderBytes);
    putU32(bytes, 18, static_cast<std::uint32_t>(width));
    putU32(bytes, 22, static_cast<std::uint32_t>(height)); // positive: bottom-up rows
    putU16(bytes, 26, 1);
    putU16(bytes, 28, static_cast<std::uint16_t>(bits));
    putU32(bytes, 34, static_cast<std::uint32_t>(stride * height));
    putU32(bytes, 46, static_cast<std::uint32_t>(palette.size()));

    for (qsizetype i = 0; i < palette.size(); ++i) {
        const qsizetype entry = kFileHeaderBytes + kInfoHeaderBytes + i * 4;
        bytes[entry] = static_cast<char>(qBlue(palette[i]));
        bytes[entry + 1] = static_cast<char>(qGreen(palette[i]));
        bytes[entry + 2] = static_cast<char>(qRed(palette[i]));
    }

    const qsizetype sourceLine = image.bytesPerLine();
    auto* data = reinterpret_cast<std::uint8_t*>(bytes.data()) + dataOffset;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = image.bufferAddress() + y * sourceLine;
        std::uint8_t* to = data + static_cast<qsizetype>(height - 1 - y) * stride;
        if (sourceBits == 32) {
            for (int x = 0; x < width; ++x) {
                std::memcpy(to + x * 3, from + x * 4, 3);
            }
        } else {
            std::memcpy(to, from, static_cast<std::size_t>(sourceLine));
        }
    }
    return bytes;
}

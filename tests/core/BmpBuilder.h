#pragma once

// Bitmap files assembled byte by byte, so that each test can set or break one field.

// Standard library
#include <cstdint>

// Qt
#include <QByteArray>
#include <QList>
#include <QRgb>

namespace bmptest {

inline void putU16(QByteArray& b, qsizetype at, std::uint32_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

inline void putU32(QByteArray& b, qsizetype at, std::uint32_t v) {
    putU16(b, at, v & 0xFFFF);
    putU16(b, at + 2, v >> 16);
}

inline void appendU32(QByteArray& b, std::uint32_t v) {
    b.append(4, '\0');
    putU32(b, b.size() - 4, v);
}

// A bitmap file assembled field by field, so that each test can break one field.
struct Bmp {
    int headerSize = 40;
    int width = 13;
    int height = 3; // negative: rows stored top-down
    int bits = 8;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    QList<QRgb> palette;
    QByteArray data;
    std::uint32_t masks[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
    qint64 dataOffset = -1; // -1: right after the palette

    QByteArray build() const {
        QByteArray header(headerSize, '\0');
        putU32(header, 0, static_cast<std::uint32_t>(headerSize));
        if (headerSize == 12) {
            putU16(header, 4, static_cast<std::uint32_t>(width));
            putU16(header, 6, static_cast<std::uint32_t>(height));
            putU16(header, 8, 1);
            putU16(header, 10, static_cast<std::uint32_t>(bits));
        } else {
            putU32(header, 4, static_cast<std::uint32_t>(width));
            putU32(header, 8, static_cast<std::uint32_t>(height));
            putU16(header, 12, 1);
            putU16(header, 14, static_cast<std::uint32_t>(bits));
            putU32(header, 16, compression);
            putU32(header, 20, static_cast<std::uint32_t>(data.size()));
            putU32(header, 32, colorsUsed);
            for (int i = 0; i < 4 && 40 + 4 * i + 4 <= headerSize; ++i) {
                putU32(header, 40 + 4 * i, masks[i]);
            }
        }
        if (compression == 3 && headerSize == 40) {
            for (int i = 0; i < 3; ++i) {
                appendU32(header, masks[i]);
            }
        }
        for (const QRgb c : palette) {
            header.append(static_cast<char>(qBlue(c)));
            header.append(static_cast<char>(qGreen(c)));
            header.append(static_cast<char>(qRed(c)));
            if (headerSize != 12) {
                header.append('\0');
            }
        }
        const qint64 offset = dataOffset >= 0 ? dataOffset : 14 + header.size();
        QByteArray file("BM");
        appendU32(file, static_cast<std::uint32_t>(14 + header.size() + data.size()));
        appendU32(file, 0);
        appendU32(file, static_cast<std::uint32_t>(offset));
        return file + header + data;
    }
};

} // namespace bmptest

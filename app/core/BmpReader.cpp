#include "BmpReader.h"

// Standard library
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

// Qt
#include <QBuffer>
#include <QIODevice>
#include <QImage>
#include <QImageReader>
#include <QList>
#include <QRgb>

// Ours
#include "BitmapLayout.h"
#include "KeshFileAccess.h"
#include "KeshImage.h"

namespace {

constexpr qint64 kFileHeaderBytes = 14;
constexpr int kOs2CoreHeader = 12;
constexpr int kInfoHeader = 40;
constexpr int kOs2InfoHeader = 64;

enum Compression : std::uint32_t { Uncompressed = 0, Rle8 = 1, Rle4 = 2, BitFields = 3 };

// The largest palette image Qt has to decode (direct colour is decoded here), reckoned as
// Qt's limit does: four bytes a pixel whatever the format.
constexpr int kDecodeAllocationLimitMb = static_cast<int>(
    qint64{KeshImage::kMaxDimension} * KeshImage::kMaxDimension * 4 / (1024 * 1024));

// The headers with the bit fields and the largest palette: all that precedes the pixels.
constexpr qint64 kMaxPrefixBytes = kFileHeaderBytes + 124 + 12 + 256 * 4;

struct Header {
    qint64 fileSize = 0;
    int headerSize = 0;
    int width = 0;
    int height = 0; // rows, always positive
    bool topDown = false;
    int bitsPerPixel = 0;
    std::uint32_t compression = Uncompressed;
    qint64 dataOffset = 0;
    qint64 paletteEnd = 0; // where the headers, bit fields and palette end
    std::uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F}; // red, green, blue
    QList<QRgb> palette;
};

class ByteView {
public:
    explicit ByteView(const QByteArray& bytes)
        : data_(reinterpret_cast<const std::uint8_t*>(bytes.constData())), size_(bytes.size()) {}

    qint64 size() const { return size_; }
    bool has(qint64 offset, qint64 count) const {
        return offset >= 0 && count >= 0 && offset <= size_ && count <= size_ - offset;
    }
    std::uint8_t u8(qint64 offset) const { return data_[offset]; }
    std::uint16_t u16(qint64 offset) const {
        return static_cast<std::uint16_t>(data_[offset] | (data_[offset + 1] << 8));
    }
    std::uint32_t u32(qint64 offset) const {
        return static_cast<std::uint32_t>(data_[offset]) |
               (static_cast<std::uint32_t>(data_[offset + 1]) << 8) |
               (static_cast<std::uint32_t>(data_[offset + 2]) << 16) |
               (static_cast<std::uint32_t>(data_[offset + 3]) << 24);
    }
    std::int32_t i32(qint64 offset) const { return static_cast<std::int32_t>(u32(offset)); }
    const std::uint8_t* at(qint64 offset) const { return data_ + offset; }

private:
    const std::uint8_t* data_;
    qint64 size_;
};

bool isKnownHeaderSize(std::uint32_t size) {
    // OS/2 1.x, Windows 3 (40), the Adobe extensions (52, 56), OS/2 2.x, v4 and v5.
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 ||
           size == 124;
}

int parseHeader(const ByteView& file, Header& header) {
    if (!file.has(0, kFileHeaderBytes + 4) || file.u8(0) != 'B' || file.u8(1) != 'M') {
        return KeshFileAccess::NotBitmap;
    }
    header.dataOffset = file.u32(10);
    const std::uint32_t headerSize = file.u32(14);
    if (!isKnownHeaderSize(headerSize)) {
        return headerSize < kOs2CoreHeader ? KeshFileAccess::NotBitmap
                                           : KeshFileAccess::UnsupportedVariant;
    }
    header.headerSize = static_cast<int>(headerSize);
    const qint64 headerEnd = kFileHeaderBytes + header.headerSize;
    if (!file.has(0, headerEnd)) {
        return KeshFileAccess::NotBitmap;
    }

    int planes = 0;
    std::uint32_t colorsUsed = 0;
    int paletteEntryBytes = 4;
    qint64 height = 0;
    if (header.headerSize == kOs2CoreHeader) {
        header.width = static_cast<std::int16_t>(file.u16(18));
        height = static_cast<std::int16_t>(file.u16(20));
        planes = file.u16(22);
        header.bitsPerPixel = file.u16(24);
        paletteEntryBytes = 3;
        if (height < 0) {
            return KeshFileAccess::NotBitmap;
        }
    } else {
        header.width = file.i32(18);
        height = file.i32(22);
        planes = file.u16(26);
        header.bitsPerPixel = file.u16(28);
        header.compression = file.u32(30);
        colorsUsed = file.u32(46);
    }
    if (planes != 1 || header.width <= 0 || height == 0) {
        return KeshFileAccess::NotBitmap;
    }
    header.topDown = height < 0;
    if (height < -static_cast<qint64>(std::numeric_limits<int>::max())) {
        return KeshFileAccess::TooLarge;
    }
    header.height = static_cast<int>(height < 0 ? -height : height);

    const int bits = header.bitsPerPixel;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return KeshFileAccess::UnsupportedVariant;
    }
    switch (header.compression) {
    case Uncompressed:
        break;
    case Rle8:
    case Rle4:
        if (bits != (header.compression == Rle8 ? 8 : 4)) {
            return KeshFileAccess::NotBitmap;
        }
        if (header.topDown) {
            return KeshFileAccess::UnsupportedVariant;
        }
        break;
    case BitFields:
        // For OS/2 2.x this value means Huffman coding.
        if ((bits != 16 && bits != 32) || header.headerSize == kOs2InfoHeader) {
            return KeshFileAccess::UnsupportedVariant;
        }
        break;
    default:
        return KeshFileAccess::UnsupportedVariant;
    }

    if (!KeshImage::isValidSize(header.width, header.height, bits)) {
        return KeshFileAccess::TooLarge;
    }

    qint64 paletteOffset = headerEnd;
    if (header.compression == BitFields) {
        const bool masksAfterHeader = header.headerSize == kInfoHeader;
        const qint64 masksOffset = masksAfterHeader ? headerEnd : kFileHeaderBytes + kInfoHeader;
        if (!file.has(masksOffset, 12)) {
            return KeshFileAccess::NotBitmap;
        }
        for (int channel = 0; channel < 3; ++channel) {
            header.masks[channel] = file.u32(masksOffset + 4 * channel);
            if (header.masks[channel] == 0) {
                return KeshFileAccess::NotBitmap;
            }
        }
        if (masksAfterHeader) {
            paletteOffset += 12;
        }
    }

    if (bits <= 8) {
        const std::uint32_t maxColors = 1u << bits;
        const std::uint32_t count = colorsUsed == 0 ? maxColors : colorsUsed;
        if (count > maxColors) {
            return KeshFileAccess::NotBitmap;
        }
        if (!file.has(paletteOffset, static_cast<qint64>(count) * paletteEntryBytes)) {
            return KeshFileAccess::NotBitmap;
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            const qint64 entry = paletteOffset + static_cast<qint64>(i) * paletteEntryBytes;
            header.palette.append(qRgb(file.u8(entry + 2), file.u8(entry + 1), file.u8(entry)));
        }
        paletteOffset += static_cast<qint64>(count) * paletteEntryBytes;
    }
    if (bits >= 24 && header.compression == Uncompressed) {
        header.masks[0] = 0x00FF0000;
        header.masks[1] = 0x0000FF00;
        header.masks[2] = 0x000000FF;
    }
    header.paletteEnd = paletteOffset;
    if (header.dataOffset < paletteOffset || header.dataOffset >= header.fileSize) {
        return KeshFileAccess::NotBitmap;
    }
    return KeshFileAccess::Ok;
}

bool indicesFit(const std::uint8_t* row, int width, int bitsPerPixel, int paletteSize) {
    for (int x = 0; x < width; ++x) {
        if (KeshImage::indexAt(row, x, bitsPerPixel) >= paletteSize) {
            return false;
        }
    }
    return true;
}

// `data` starts at the file's pixel data.
int checkUncompressedData(const ByteView& data, const Header& header) {
    const qint64 stride = BitmapLayout::rowStride(header.width, header.bitsPerPixel);
    if (!data.has(0, stride * header.height)) {
        return KeshFileAccess::NotBitmap;
    }
    const int paletteSize = static_cast<int>(header.palette.size());
    if (header.bitsPerPixel <= 8 && paletteSize < (1 << header.bitsPerPixel)) {
        for (int y = 0; y < header.height; ++y) {
            if (!indicesFit(data.at(y * stride), header.width, header.bitsPerPixel, paletteSize)) {
                return KeshFileAccess::NotBitmap;
            }
        }
    }
    return KeshFileAccess::Ok;
}

// Walks the RLE stream and accepts it only when it writes every pixel exactly once, in
// order, with valid palette indices. Jumps (delta) and early ends of line or bitmap
// would leave pixels unwritten, so they are refused.
int checkRleData(const ByteView& file, const Header& header) { // `file`: the pixel data
    const bool rle4 = header.compression == Rle4;
    const int paletteSize = static_cast<int>(header.palette.size());
    const auto fits = [paletteSize](int index) {
        return index < paletteSize;
    };
    qint64 pos = 0;
    int x = 0;
    int y = 0;
    while (true) {
        if (y == header.height - 1 && x == header.width) {
            return KeshFileAccess::Ok; // anything after the last pixel is ignored
        }
        if (!file.has(pos, 2)) {
            return KeshFileAccess::NotBitmap;
        }
        const int first = file.u8(pos);
        const int second = file.u8(pos + 1);
        pos += 2;
        if (first > 0) {
            if (x + first > header.width) {
                return KeshFileAccess::NotBitmap;
            }
            const bool ok =
                rle4 ? fits(second >> 4) && (first == 1 || fits(second & 0xF)) : fits(second);
            if (!ok) {
                return KeshFileAccess::NotBitmap;
            }
            x += first;
            continue;
        }
        if (second == 0) { // end of line
            if (x != header.width) {
                return KeshFileAccess::NotBitmap;
            }
            x = 0;
            ++y;
            continue;
        }
        if (second == 1 || second == 2) { // end of bitmap or delta before the last pixel
            return KeshFileAccess::NotBitmap;
        }
        const int count = second;
        qint64 bytes = rle4 ? (count + 1) / 2 : count;
        if (x + count > header.width || !file.has(pos, bytes)) {
            return KeshFileAccess::NotBitmap;
        }
        for (int i = 0; i < count; ++i) {
            const int index =
                rle4 ? (file.u8(pos + i / 2) >> ((i & 1) ? 0 : 4)) & 0xF : file.u8(pos + i);
            if (!fits(index)) {
                return KeshFileAccess::NotBitmap;
            }
        }
        bytes += bytes & 1; // runs are padded to a 16-bit boundary
        pos += bytes;
        x += count;
    }
}

bool isGreyPalette(const QList<QRgb>& palette) {
    for (const QRgb color : palette) {
        if (qRed(color) != qGreen(color) || qGreen(color) != qBlue(color)) {
            return false;
        }
    }
    return true;
}

// Turns Qt's decoded palette picture into the image's own layout, trusting nothing about
// it beyond its size and format.
int convertDecoded(const QImage& decoded, const Header& header, KeshImage& image) {
    const int width = header.width;
    const int height = header.height;
    const int bits = header.bitsPerPixel;
    if (decoded.width() != width || decoded.height() != height) {
        return KeshFileAccess::NotBitmap;
    }

    if (decoded.format() != QImage::Format_Indexed8 && decoded.format() != QImage::Format_Mono &&
        decoded.format() != QImage::Format_MonoLSB) {
        return KeshFileAccess::UnsupportedVariant;
    }
    const QList<QRgb>& palette = header.palette;
    // Qt may reorder the colour table (it swaps a two-colour one so that 0 is the
    // lighter); map its indices back to the file's own.
    const QList<QRgb> decodedTable = decoded.colorTable();
    std::vector<int> fileIndex(static_cast<std::size_t>(decodedTable.size()), -1);
    for (qsizetype i = 0; i < decodedTable.size(); ++i) {
        const QRgb wanted = decodedTable[i] & RGB_MASK;
        if (i < palette.size() && (palette[i] & RGB_MASK) == wanted) {
            fileIndex[i] = static_cast<int>(i);
            continue;
        }
        for (qsizetype j = 0; j < palette.size(); ++j) {
            if ((palette[j] & RGB_MASK) == wanted) {
                fileIndex[i] = static_cast<int>(j);
                break;
            }
        }
    }
    const bool grey = bits == 8 && isGreyPalette(palette);
    const qsizetype line = KeshImage::bytesPerLine(width, bits);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(line) * height, 0);
    if (decoded.format() == QImage::Format_Indexed8 && bits == 8) {
        // One table lookup per pixel; an entry of -1 marks an index the file cannot hold.
        std::array<std::int16_t, 256> value{};
        for (std::size_t i = 0; i < value.size(); ++i) {
            const int index = i < fileIndex.size() ? fileIndex[i] : -1;
            value[i] = static_cast<std::int16_t>(index < 0 ? -1
                                                 : grey    ? qRed(palette[index])
                                                           : index);
        }
        bool identity = true;
        for (std::size_t i = 0; i < value.size(); ++i) {
            identity = identity && value[i] == static_cast<std::int16_t>(i);
        }
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* from = decoded.constScanLine(y);
            std::uint8_t* to = pixels.data() + y * line;
            if (identity) { // the usual grey ramp: the index is the grey level
                std::memcpy(to, from, static_cast<std::size_t>(width));
                continue;
            }
            std::int16_t invalid = 0;
            for (int x = 0; x < width; ++x) {
                const std::int16_t level = value[from[x]];
                invalid |= level;
                to[x] = static_cast<std::uint8_t>(level);
            }
            if (invalid < 0) {
                return KeshFileAccess::NotBitmap;
            }
        }
    } else {
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* from = decoded.constScanLine(y);
            std::uint8_t* to = pixels.data() + y * line;
            for (int x = 0; x < width; ++x) {
                const int decodedIndex = decoded.format() == QImage::Format_Indexed8
                                             ? from[x]
                                             : decoded.pixelIndex(x, y);
                if (decodedIndex >= decodedTable.size() || fileIndex[decodedIndex] < 0) {
                    return KeshFileAccess::NotBitmap;
                }
                const int index = fileIndex[decodedIndex];
                // A grey palette, even an inverted or partial one, becomes the grey level.
                KeshImage::setIndexAt(to, x, bits, grey ? qRed(palette[index]) : index);
            }
        }
    }
    if (grey) {
        image.assign(width, height, 8, KeshImage::Grey, std::move(pixels));
    } else {
        image.assign(width, height, bits, KeshImage::Palette, std::move(pixels), palette);
    }
    return KeshFileAccess::Ok;
}

// One colour channel of a direct-colour pixel: a run of set bits in the pixel's value.
class Channel {
public:
    // False for a mask whose bits are not one run: such a channel has no defined scale.
    bool set(std::uint32_t mask) {
        shift_ = std::countr_zero(mask);
        width_ = std::popcount(mask);
        max_ = width_ == 32 ? 0xFFFFFFFFu : (1u << width_) - 1;
        return (mask >> shift_) == max_;
    }
    // The channel's value scaled to 0..255, rounded to the nearest level.
    std::uint8_t level(std::uint32_t pixel) const {
        const std::uint64_t value = (pixel >> shift_) & max_;
        if (width_ == 8) {
            return static_cast<std::uint8_t>(value);
        }
        return static_cast<std::uint8_t>((value * 510 + max_) / (2 * std::uint64_t{max_}));
    }
    int width() const { return width_; }

private:
    int shift_ = 0;
    int width_ = 0;
    std::uint32_t max_ = 0;
};

// 16-, 24- and 32-bit pixels, decoded here so that every channel width is scaled exactly.
// 16 bits become 24-bit colour; 24 and 32 keep their depth.
int decodeDirectColour(const ByteView& data, const Header& header, KeshImage& image) {
    const int bits = header.bitsPerPixel;
    const int bytes = bits / 8;
    Channel channels[3];
    for (int c = 0; c < 3; ++c) {
        const bool fits = bits == 32 || (header.masks[c] >> bits) == 0;
        if (!fits || !channels[c].set(header.masks[c])) {
            return KeshFileAccess::UnsupportedVariant;
        }
    }
    const int outBits = bits == 16 ? 24 : bits;
    const int outBytes = outBits / 8;
    const int width = header.width;
    const int height = header.height;
    const qint64 stride = BitmapLayout::rowStride(width, bits);
    const qsizetype line = KeshImage::bytesPerLine(width, outBits);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(line) * height, 0);
    for (int y = 0; y < height; ++y) {
        const qint64 row = header.topDown ? y : height - 1 - y;
        const std::uint8_t* from = data.at(row * stride);
        std::uint8_t* to = pixels.data() + y * line;
        for (int x = 0; x < width; ++x) {
            std::uint32_t pixel = 0;
            for (int b = 0; b < bytes; ++b) {
                pixel |= static_cast<std::uint32_t>(from[x * bytes + b]) << (8 * b);
            }
            to[x * outBytes] = channels[2].level(pixel);
            to[x * outBytes + 1] = channels[1].level(pixel);
            to[x * outBytes + 2] = channels[0].level(pixel);
        }
    }
    image.assign(width, height, outBits, KeshImage::Rgb, std::move(pixels));
    return KeshFileAccess::Ok;
}

} // namespace

qint64 BmpReader::maxFileBytes() {
    // Room for the largest image in its worst RLE or 32-bit form, plus headers.
    return 2 * KeshImage::kMaxBufferBytes + 64 * 1024;
}

int BmpReader::read(const QByteArray& file, KeshImage& image) {
    QBuffer device;
    device.setData(file);
    device.open(QIODevice::ReadOnly);
    return read(device, image);
}

int BmpReader::read(QIODevice& device, KeshImage& image) {
    Header header;
    header.fileSize = device.size();
    if (header.fileSize > maxFileBytes()) {
        return KeshFileAccess::TooLarge;
    }
    const QByteArray prefix = device.read(std::min(header.fileSize, kMaxPrefixBytes));
    int code = parseHeader(ByteView(prefix), header);
    if (code != KeshFileAccess::Ok) {
        return code;
    }

    // Only what the header says the pixels need is read, whatever the file's size.
    const bool rle = header.compression == Rle8 || header.compression == Rle4;
    const qint64 needed =
        rle ? 2 * (static_cast<qint64>(header.width) + 1) * header.height
            : BitmapLayout::rowStride(header.width, header.bitsPerPixel) * header.height;
    if (!device.seek(header.dataOffset)) {
        return KeshFileAccess::NotBitmap;
    }
    QByteArray data = device.read(std::min(needed, header.fileSize - header.dataOffset));
    const ByteView dataView(data);
    code = rle ? checkRleData(dataView, header) : checkUncompressedData(dataView, header);
    if (code != KeshFileAccess::Ok) {
        return code;
    }

    KeshImage result;
    if (header.bitsPerPixel > 8) {
        code = decodeDirectColour(dataView, header, result);
    } else {
        // Qt decodes the headers and the palette followed directly by the pixels.
        QBuffer compact;
        compact.setData(prefix.left(header.paletteEnd) + data);
        data.clear();
        QByteArray& bytes = compact.buffer();
        for (int i = 0; i < 4; ++i) {
            bytes[10 + i] = static_cast<char>((header.paletteEnd >> (8 * i)) & 0xFF);
        }
        compact.open(QIODevice::ReadOnly);
        QImageReader reader(&compact, "bmp");
        reader.setDecideFormatFromContent(false);
        QImageReader::setAllocationLimit(kDecodeAllocationLimitMb);
        QImage decoded;
        if (!reader.read(&decoded)) {
            return KeshFileAccess::UnsupportedVariant;
        }
        compact.close();
        code = convertDecoded(decoded, header, result);
    }
    if (code == KeshFileAccess::Ok) {
        image = std::move(result);
    }
    return code;
}

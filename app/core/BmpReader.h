#pragma once

// Qt
#include <QByteArray>

class KeshImage;
class QIODevice;

// Decodes a bitmap file. The headers are read and checked first, against the image size
// limits too; then only the pixel data the header describes is read, and it is checked
// whole (for RLE the whole stream) before anything is decoded, because Qt's BMP reader
// accepts some broken files and hands back uninitialised pixels. Palette images are
// decoded by Qt; 16-, 24- and 32-bit ones here, so that any bit fields scale exactly.
namespace BmpReader {

// Files larger than this are refused before anything is read.
qint64 maxFileBytes();

// Returns a KeshFileAccess error code; `image` changes only on success.
// `device` is a random-access device at the file's start.
int read(QIODevice& device, KeshImage& image);
int read(const QByteArray& file, KeshImage& image);

} // namespace BmpReader

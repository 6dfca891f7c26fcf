#pragma once

// Qt
#include <QByteArray>

class KeshImage;

// Decodes a whole bitmap file held in memory. The headers, the palette, the file size
// and (for RLE) the whole pixel stream are checked before Qt's BMP reader decodes it,
// because that reader accepts some broken files and hands back uninitialised pixels.
namespace BmpReader {

// Files larger than this are refused before they are read into memory.
qint64 maxFileBytes();

// Returns a KeshFileAccess error code; `image` changes only on success.
int read(const QByteArray& file, KeshImage& image);

} // namespace BmpReader

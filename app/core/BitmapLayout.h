#pragma once

// Qt
#include <QList>
#include <QRgb>
#include <QtGlobal>

// How bitmap files lay out their rows, and the palette that makes an 8-bit index a grey level.
namespace BitmapLayout {

// Bytes of one uncompressed bitmap row: the pixels' bits padded to a whole 32-bit word.
qint64 rowStride(int width, int bitsPerPixel);

// 256 entries, entry n being the grey of level n.
QList<QRgb> greyRamp();

} // namespace BitmapLayout

#pragma once

// Qt
#include <QByteArray>

class KeshImage;

// Encodes an image as a Windows 3 bitmap (40-byte header, bottom-up, uncompressed):
//   8-bit grey   -> 8 bits with a 256-level grey ramp, so the pixel value is the level;
//   1/4/8 bits with a palette -> the same depth, palette padded to its full size so that
//                   every index in the buffer is defined for any reader;
//   24 bits      -> 24 bits;
//   32 bits      -> 24 bits: the fourth byte is unused, and some readers would take it
//                   for alpha and show a 32-bit file as transparent.
namespace BmpWriter {

QByteArray encode(const KeshImage& image);

} // namespace BmpWriter

#include "BitmapLayout.h"

namespace BitmapLayout {

qint64 rowStride(int width, int bitsPerPixel) {
    return ((static_cast<qint64>(width) * bitsPerPixel + 31) / 32) * 4;
}

QList<QRgb> greyRamp() {
    QList<QRgb> ramp;
    ramp.reserve(256);
    for (int level = 0; level < 256; ++level) {
        ramp.append(qRgb(level, level, level));
    }
    return ramp;
}

} // namespace BitmapLayout

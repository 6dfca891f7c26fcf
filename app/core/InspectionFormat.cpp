#include "InspectionFormat.h"

// Ours
#include "KeshImage.h"

namespace InspectionFormat {

bool matches(const KeshImage& image) {
    return image.bitsPerPixel() == kBitsPerPixel && image.colorFormat() == KeshImage::Grey &&
           image.width() == kWidth && image.height() == kHeight;
}

void conform(KeshImage& image) {
    image.setBitsPerPixel(kBitsPerPixel);
    image.setColorFormat(KeshImage::Grey);
    image.setWidth(kWidth);
    image.setHeight(kHeight);
}

} // namespace InspectionFormat

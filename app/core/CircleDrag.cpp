#include "CircleDrag.h"

CircleDrag::Centre CircleDrag::clampCentre(int x, int y, int imageWidth, int imageHeight) {
    Centre centre{static_cast<double>(x), static_cast<double>(y)};
    if (centre.x < 0) {
        centre.x = 0;
    }
    if (centre.y < 0) {
        centre.y = 0;
    }
    if (centre.x >= imageWidth) {
        centre.x = imageWidth - 1;
    }
    if (centre.y >= imageHeight) {
        centre.y = imageHeight - 1;
    }
    return centre;
}

double CircleDrag::resizedRadius(double radius, double anchorX, int x) {
    const double resized = x + radius - anchorX;
    return resized < kMinimumRadius ? kMinimumRadius : resized;
}

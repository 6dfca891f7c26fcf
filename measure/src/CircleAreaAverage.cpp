#include "pelmint.h"

// Ours
#include "DiscAverage.h"

extern "C" PELMINT_API double PELMINT_CALL CircleAreaAverage(const uint8_t* pixels, int32_t width,
                                                             int32_t height, int32_t bitsPerPixel,
                                                             int32_t centreX, int32_t centreY,
                                                             int32_t radius) {
    return pelmint::discAverage(pelmint::fastestPath(), pixels, width, height, bitsPerPixel,
                                centreX, centreY, radius);
}

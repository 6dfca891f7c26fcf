#include "pelmint.h"

// Ours
#include "DiscAverage.h"

extern "C" PELMINT_API double PELMINT_CALL CircleAreaAverage(const uint8_t* pixels, int32_t width,
                                                             int32_t height, int32_t bitsPerPixel,
                                                             int32_t centreX, int32_t centreY,
                                                             int32_t radius) {
    return pelmint::exportedAverage(pixels, width, height, bitsPerPixel, centreX, centreY, radius);
}

extern "C" PELMINT_API int32_t PELMINT_CALL CircleAreaStatistics(const uint8_t* pixels,
                                                                 int32_t width, int32_t height,
                                                                 ptrdiff_t stride, int32_t centreX,
                                                                 int32_t centreY, int32_t radius,
                                                                 PelmintStatistics* out) {
    return pelmint::discStatistics(pelmint::fastestPath(), pixels, width, height, stride, centreX,
                                   centreY, radius, out);
}

extern "C" PELMINT_API int32_t PELMINT_CALL PelmintVersion(void) {
    return PELMINT_VERSION;
}

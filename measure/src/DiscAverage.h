#pragma once

// Standard library
#include <atomic>
#include <cstddef>
#include <cstdint>

// Ours
#include "DiscSums.h"
#include <pelmint.h>

namespace pelmint {

// Whether this build and this processor can take `path`.
bool isSupported(SumPath path);

// The widest supported path, found on the first call.
SumPath fastestPath();

// The path that fastestPath() found, as an int; -1 before its first call.
extern std::atomic<int> foundPath;

// CircleAreaAverage, summing with `path`, which must be supported.
double discAverage(SumPath path, const uint8_t* pixels, int32_t width, int32_t height,
                   int32_t bitsPerPixel, int32_t centreX, int32_t centreY, int32_t radius);

// discAverage with fastestPath().
double fastestDiscAverage(const uint8_t* pixels, int32_t width, int32_t height,
                          int32_t bitsPerPixel, int32_t centreX, int32_t centreY, int32_t radius);

#ifdef PELMINT_HAVE_AVX512
// Whether `path` takes this average in averageSmallDiscAvx512.
inline bool takesSmallAvx512(int path, const uint8_t* pixels, int32_t width, int32_t height,
                             int32_t bitsPerPixel, int32_t radius) {
    return path >= static_cast<int>(SumPath::Avx512) &&
           static_cast<uint32_t>(radius) <= kSmallAvx512Radius && bitsPerPixel == 8 &&
           pixels != nullptr && width >= 64 && height > 0;
}
#endif

// CircleAreaAverage itself. Once the path is known, a small disc goes straight to the call that
// measures it; every other call goes on with the same arguments, so that neither call makes the
// export keep anything across it.
inline double exportedAverage(const uint8_t* pixels, int32_t width, int32_t height,
                              int32_t bitsPerPixel, int32_t centreX, int32_t centreY,
                              int32_t radius) {
#ifdef PELMINT_HAVE_AVX512
    if (takesSmallAvx512(foundPath.load(std::memory_order_relaxed), pixels, width, height,
                         bitsPerPixel, radius)) {
        return averageSmallDiscAvx512(pixels, width, height, centreX, centreY, radius);
    }
#endif
    return fastestDiscAverage(pixels, width, height, bitsPerPixel, centreX, centreY, radius);
}

// CircleAreaStatistics, summing with `path`, which must be supported.
int32_t discStatistics(SumPath path, const uint8_t* pixels, int32_t width, int32_t height,
                       std::ptrdiff_t stride, int32_t centreX, int32_t centreY, int32_t radius,
                       PelmintStatistics* out);

} // namespace pelmint

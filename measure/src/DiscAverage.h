#pragma once

// Standard library
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

// CircleAreaAverage, summing with `path`, which must be supported.
double discAverage(SumPath path, const uint8_t* pixels, int32_t width, int32_t height,
                   int32_t bitsPerPixel, int32_t centreX, int32_t centreY, int32_t radius);

// CircleAreaStatistics, summing with `path`, which must be supported.
int32_t discStatistics(SumPath path, const uint8_t* pixels, int32_t width, int32_t height,
                       std::ptrdiff_t stride, int32_t centreX, int32_t centreY, int32_t radius,
                       PelmintStatistics* out);

} // namespace pelmint

#pragma once

// Standard library
#include <cstdint>

namespace pelmint {

// Ways of summing the runs of a disc. All give the same integer sums.
enum class SumPath { Scalar, Sse2, Avx2 };

// Whether this build and this processor can take `path`.
bool isSupported(SumPath path);

// The widest supported path, found on the first call.
SumPath fastestPath();

// CircleAreaAverage, summing with `path`, which must be supported.
double discAverage(SumPath path, const uint8_t* pixels, int32_t width, int32_t height,
                   int32_t bitsPerPixel, int32_t centreX, int32_t centreY, int32_t radius);

} // namespace pelmint

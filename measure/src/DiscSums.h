#pragma once

// Standard library
#include <cstdint>

// Ours
#include "DiscRows.h"

namespace pelmint {

// Ways of summing the runs of a disc: one loop, at each vector width. All give the same sums.
// Avx512Dot is the AVX-512 width whose statistics take their squares from VNNI dot products.
enum class SumPath { Scalar, Sse2, Avx2, Avx512, Avx512Dot };

// Exact integer totals of the pixels of a disc.
struct DiscTotals {
    int64_t count = 0;
    uint64_t sum = 0;
    uint64_t squares = 0; // only when asked for
    uint8_t min = 255;    // only when asked for
    uint8_t max = 0;      // only when asked for
};

// The count and the sum alone, small enough to come back in registers.
struct DiscSum {
    int64_t count;
    uint64_t sum;
};

// What to total besides the count and the sum.
enum class Totals { Sum, Statistics };

// Totals the pixels of `disc` with `path`; the circle must pass the bounding-square rejections,
// with radius >= 0, on an image of positive width and height. The vector paths may read bytes of
// the image outside the disc, never outside [pixels, pixels + size), and mask them off.
DiscSum sumDisc(SumPath path, const Disc& disc, int64_t size);
DiscTotals totalDisc(SumPath path, const Disc& disc, int64_t size);

#ifdef PELMINT_HAVE_AVX512
// CircleAreaAverage of a disc of radius in [0, kSmallAvx512Radius] on an 8-bit image at least 64
// pixels wide and 1 high, with AVX-512: -1 when no pixel of the image is inside.
constexpr int kSmallAvx512Radius = 31;
double averageSmallDiscAvx512(const uint8_t* pixels, int32_t width, int32_t height, int32_t centreX,
                              int32_t centreY, int32_t radius);
#endif

#ifdef PELMINT_HAVE_SSE2
// Small discs wholly inside the image, where even one root per row would cost more than the
// pixels: one masked 16-byte load per row from a table of row masks.
constexpr int kSmallDiscRadius = 7;

// `centre` is the centre pixel; 16 bytes from the left edge of the bounding square must be
// readable on every row of it.
DiscTotals sumSmallDiscSse2(const uint8_t* centre, int64_t stride, int radius);
#endif

} // namespace pelmint

#pragma once

// Standard library
#include <cstdint>

// Ours
#include "DiscRows.h"

// Which vector paths this compiler can build. The wider one is still chosen at run time.
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define PELMINT_HAVE_SSE2 1
#endif
#if defined(PELMINT_HAVE_SSE2) && (defined(__GNUC__) || defined(__clang__)) &&                     \
    (defined(__x86_64__) || defined(__i386__))
#define PELMINT_HAVE_AVX2 1
#endif

namespace pelmint {

struct DiscTotal {
    uint64_t sum = 0;
    int64_t count = 0;
};

// Each sums every run of `rows`. The vector paths may read bytes of the image outside a run,
// never outside [pixels, pixels + size), and mask them off.
DiscTotal sumDiscScalar(DiscRows rows);
#ifdef PELMINT_HAVE_SSE2
// Small discs wholly inside the image, where the per-row work of the general walk would cost
// more than the pixels: one masked 16-byte load per row from a table of row masks.
constexpr int kSmallDiscRadius = 7;

// `centre` is the centre pixel; 16 bytes from the left edge of the bounding square must be
// readable on every row of it.
DiscTotal sumSmallDiscSse2(const uint8_t* centre, int64_t width, int radius);

DiscTotal sumDiscSse2(DiscRows rows, const uint8_t* pixels, int64_t size);
#endif
#ifdef PELMINT_HAVE_AVX2
DiscTotal sumDiscAvx2(DiscRows rows, const uint8_t* pixels, int64_t size);
#endif

} // namespace pelmint

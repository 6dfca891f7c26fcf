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
DiscTotal sumDiscSse2(DiscRows rows, const uint8_t* pixels, int64_t size);
#endif
#ifdef PELMINT_HAVE_AVX2
DiscTotal sumDiscAvx2(DiscRows rows, const uint8_t* pixels, int64_t size);
#endif

} // namespace pelmint

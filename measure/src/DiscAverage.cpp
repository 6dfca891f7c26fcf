#include "DiscAverage.h"

// Standard library
#include <atomic>

// Ours
#include "DiscRows.h"
#include "DiscSums.h"

namespace pelmint {

namespace {

SumPath detectFastestPath() {
#ifdef PELMINT_HAVE_AVX2
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) {
        return SumPath::Avx2;
    }
#endif
#ifdef PELMINT_HAVE_SSE2
    return SumPath::Sse2;
#else
    return SumPath::Scalar;
#endif
}

} // namespace

bool isSupported(SumPath path) {
    switch (path) {
    case SumPath::Scalar:
        return true;
    case SumPath::Sse2:
#ifdef PELMINT_HAVE_SSE2
        return true;
#else
        return false;
#endif
    case SumPath::Avx2:
        return fastestPath() == SumPath::Avx2;
    }
    return false;
}

SumPath fastestPath() {
    // Threads racing on the first call all store the same answer; no lock, no guard.
    static std::atomic<int> found{-1};
    int path = found.load(std::memory_order_relaxed);
    if (path < 0) {
        path = static_cast<int>(detectFastestPath());
        found.store(path, std::memory_order_relaxed);
    }
    return static_cast<SumPath>(path);
}

double discAverage(SumPath path, const uint8_t* pixels, int32_t width, int32_t height,
                   int32_t bitsPerPixel, int32_t centreX, int32_t centreY, int32_t radius) {
    if (bitsPerPixel != 8 || pixels == nullptr) {
        return -1.0;
    }
    // The bounding-square tests in 64 bits: centre +/- radius may leave the 32-bit range.
    const int64_t x = centreX, y = centreY, r = radius;
    if (x - r >= width || x + r < 0 || y - r >= height || y + r < 0) {
        return -1.0;
    }
    // A negative radius, or an empty image, leaves the clipped square empty.
    if (r < 0 || width <= 0 || height <= 0) {
        return -1.0;
    }
    [[maybe_unused]] const int64_t size = int64_t{width} * height;
#ifdef PELMINT_HAVE_SSE2
    if (path != SumPath::Scalar && r <= kSmallDiscRadius && x - r >= 0 && x + r < width &&
        y - r >= 0 && y + r < height && (y + r) * width + (x - r) + 16 <= size) {
        const DiscTotal total = sumSmallDiscSse2(pixels + y * width + x, width, radius);
        return static_cast<double>(total.sum) / static_cast<double>(total.count);
    }
#endif
    const DiscRows rows(pixels, width, height, centreX, centreY, radius);
    DiscTotal total;
    switch (path) {
#ifdef PELMINT_HAVE_AVX2
    case SumPath::Avx2:
        total = sumDiscAvx2(rows, pixels, size);
        break;
#endif
#ifdef PELMINT_HAVE_SSE2
    case SumPath::Sse2:
        total = sumDiscSse2(rows, pixels, size);
        break;
#endif
    default:
        total = sumDiscScalar(rows);
        break;
    }
    if (total.count == 0) {
        return -1.0;
    }
    return static_cast<double>(total.sum) / static_cast<double>(total.count);
}

} // namespace pelmint

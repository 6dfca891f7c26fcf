#include "DiscAverage.h"

// Standard library
#include <atomic>
#include <cmath>
#include <limits>

namespace pelmint {

namespace {

SumPath detectFastestPath() {
#ifdef PELMINT_HAVE_AVX2
    __builtin_cpu_init();
#endif
#ifdef PELMINT_HAVE_AVX512
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("bmi2")) {
        return __builtin_cpu_supports("avx512vnni") ? SumPath::Avx512Dot : SumPath::Avx512;
    }
#endif
#ifdef PELMINT_HAVE_AVX2
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

// Whether a circle on an image of this size can cover any pixel at all; the same rejections, in
// the same order, for both exports.
bool coversSomePixel(int32_t width, int32_t height, int32_t centreX, int32_t centreY,
                     int32_t radius) {
    // In 64 bits: centre +/- radius may leave the 32-bit range.
    const int64_t x = centreX, y = centreY, r = radius;
    if (x - r >= width || x + r < 0 || y - r >= height || y + r < 0) {
        return false;
    }
    // A negative radius, or an empty image, leaves the clipped square empty.
    return r >= 0 && width > 0 && height > 0;
}

// a * b - c * d, never negative here, in 128 bits, rounded once to a double.
double wideDifference(uint64_t a, uint64_t b, uint64_t c, uint64_t d) {
#if defined(__SIZEOF_INT128__)
    __extension__ typedef unsigned __int128 Wide;
    return static_cast<double>(Wide{a} * b - Wide{c} * d);
#else
    struct Wide {
        uint64_t high, low;
    };
    const auto multiply = [](uint64_t x, uint64_t y) {
        const uint64_t xl = x & 0xFFFFFFFFu, xh = x >> 32, yl = y & 0xFFFFFFFFu, yh = y >> 32;
        const uint64_t ll = xl * yl, lh = xl * yh, hl = xh * yl, hh = xh * yh;
        const uint64_t middle = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
        return Wide{hh + (lh >> 32) + (hl >> 32) + (middle >> 32),
                    (middle << 32) | (ll & 0xFFFFFFFFu)};
    };
    const Wide p = multiply(a, b), q = multiply(c, d);
    const Wide r{p.high - q.high - (p.low < q.low), p.low - q.low};
    // Only builds without 128-bit integers come here: beyond 2^64 the double may be rounded
    // twice, far below the last digit that a standard deviation can show.
    if (r.high == 0) {
        return static_cast<double>(r.low);
    }
    return std::ldexp(static_cast<double>(r.high), 64) + static_cast<double>(r.low);
#endif
}

} // namespace

bool isSupported(SumPath path) {
    return path == SumPath::Scalar || static_cast<int>(path) <= static_cast<int>(fastestPath());
}

std::atomic<int> foundPath{-1};

SumPath fastestPath() {
    // Threads racing on the first call all store the same answer; no lock, no guard.
    int path = foundPath.load(std::memory_order_relaxed);
    if (path < 0) {
        path = static_cast<int>(detectFastestPath());
        foundPath.store(path, std::memory_order_relaxed);
    }
    return static_cast<SumPath>(path);
}

double fastestDiscAverage(const uint8_t* pixels, int32_t width, int32_t height,
                          int32_t bitsPerPixel, int32_t centreX, int32_t centreY, int32_t radius) {
    return discAverage(fastestPath(), pixels, width, height, bitsPerPixel, centreX, centreY,
                       radius);
}

double discAverage(SumPath path, const uint8_t* pixels, int32_t width, int32_t height,
                   int32_t bitsPerPixel, int32_t centreX, int32_t centreY, int32_t radius) {
#ifdef PELMINT_HAVE_AVX512
    if (takesSmallAvx512(static_cast<int>(path), pixels, width, height, bitsPerPixel, radius)) {
        return averageSmallDiscAvx512(pixels, width, height, centreX, centreY, radius);
    }
#endif
    if (bitsPerPixel != 8 || pixels == nullptr ||
        !coversSomePixel(width, height, centreX, centreY, radius)) {
        return -1.0;
    }
    const int64_t size = int64_t{width} * height;
#ifdef PELMINT_HAVE_SSE2
    const int64_t x = centreX, y = centreY, r = radius;
    if (path != SumPath::Scalar && r <= kSmallDiscRadius && x - r >= 0 && x + r < width &&
        y - r >= 0 && y + r < height && (y + r) * width + (x - r) + 16 <= size) {
        const DiscTotals total = sumSmallDiscSse2(pixels + y * width + x, width, radius);
        return static_cast<double>(total.sum) / static_cast<double>(total.count);
    }
#endif
    const Disc disc{pixels, width, height, width, centreX, centreY, radius};
    const DiscSum total = sumDisc(path, disc, size);
    if (total.count == 0) {
        return -1.0;
    }
    // An image that fits in memory keeps both far below 2^63: the signed conversion, one
    // instruction, gives the same doubles.
    return static_cast<double>(static_cast<int64_t>(total.sum)) / static_cast<double>(total.count);
}

int32_t discStatistics(SumPath path, const uint8_t* pixels, int32_t width, int32_t height,
                       std::ptrdiff_t stride, int32_t centreX, int32_t centreY, int32_t radius,
                       PelmintStatistics* out) {
    if (pixels == nullptr || out == nullptr || stride < width) {
        return PELMINT_INVALID_ARGUMENT;
    }
    if (!coversSomePixel(width, height, centreX, centreY, radius)) {
        return PELMINT_NO_PIXELS;
    }
    // The last row ends `size` bytes after the first pixel; the padding after it is not ours.
    const int64_t rowsBefore = int64_t{height} - 1;
    if (rowsBefore > 0 && stride > (std::numeric_limits<int64_t>::max() - width) / rowsBefore) {
        return PELMINT_INVALID_ARGUMENT;
    }
    const int64_t size = rowsBefore * stride + width;
    const Disc disc{pixels, width, height, stride, centreX, centreY, radius};
    const DiscTotals total = totalDisc(path, disc, size);
    if (total.count == 0) {
        return PELMINT_NO_PIXELS;
    }
    const double count = static_cast<double>(total.count);
    // count * squares - sum^2 is count^2 times the variance, exactly.
    const double spread =
        wideDifference(total.squares, static_cast<uint64_t>(total.count), total.sum, total.sum);
    out->count = total.count;
    out->sum = total.sum;
    out->mean = static_cast<double>(total.sum) / count;
    out->stddev = std::sqrt(spread) / count;
    out->min = total.min;
    out->max = total.max;
    return PELMINT_OK;
}

} // namespace pelmint

#pragma once

// Standard library
#include <algorithm>
#include <cstdint>

// Which vector widths this compiler can build. The wider ones are still chosen at run time.
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define PELMINT_HAVE_SSE2 1
#endif
// Not with GCC for Windows: it does not align the stack slots of 32- and 64-byte vectors there
// (GCC bug 54412).
#if defined(PELMINT_HAVE_SSE2) && (defined(__GNUC__) || defined(__clang__)) &&                     \
    (defined(__x86_64__) || defined(__i386__)) && !(defined(_WIN32) && !defined(__clang__))
#define PELMINT_HAVE_AVX2 1
#endif
#if defined(PELMINT_HAVE_AVX2) && defined(__x86_64__)
#define PELMINT_HAVE_AVX512 1
#endif

// Inlined into each summing loop, whatever its instruction set.
#if defined(__GNUC__) || defined(__clang__)
#define PELMINT_ALWAYS_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define PELMINT_ALWAYS_INLINE __forceinline
#else
#define PELMINT_ALWAYS_INLINE inline
#endif

namespace pelmint {

// floor(sqrt(n)), bit by bit, exact for every 64-bit value.
inline int64_t integerSquareRoot(uint64_t n) {
    if (n == 0) {
        return 0;
    }
#if defined(__GNUC__) || defined(__clang__)
    uint64_t bit = uint64_t{1} << ((63 - __builtin_clzll(n)) & ~1);
#else
    uint64_t bit = uint64_t{1} << 62;
    while (bit > n) {
        bit >>= 2;
    }
#endif
    uint64_t root = 0;
    while (bit != 0) {
        if (n >= root + bit) {
            n -= root + bit;
            root = (root >> 1) + bit;
        } else {
            root >>= 1;
        }
        bit >>= 2;
    }
    return static_cast<int64_t>(root);
}

// A circle on an image of `width` x `height` pixels whose rows are `stride` bytes apart. The
// exports' 32-bit values, held in 64 bits so that sums of them cannot wrap.
struct Disc {
    const uint8_t* pixels;
    int64_t width;
    int64_t height;
    int64_t stride;
    int64_t centreX;
    int64_t centreY;
    int64_t radius;
};

// The two rows at the same distance above and below the centre have the same run of inside
// pixels: `length` bytes from column `first`. A row outside the image is null.
struct RowPair {
    const uint8_t* upper;
    const uint8_t* lower;
    int64_t length;
};

// Walks the rows of a disc clipped to an image in pairs, from the rows farthest from the centre
// to the centre row. A pixel at horizontal distance dx is inside exactly when
// dx <= floor(sqrt(radius^2 - dy^2)); that root is carried from pair to pair, where it grows by
// at most one except in the disc's caps.
class DiscRows {
public:
    // The circle must have passed the bounding-square rejections, with radius >= 0, on an image
    // of positive width and height.
    explicit DiscRows(const Disc& disc)
        : pixels_(disc.pixels), stride_(disc.stride), width_(disc.width),
          lastColumn_(disc.width - 1), centreX_(disc.centreX), centreY_(disc.centreY),
          radiusSquared_(disc.radius * disc.radius),
          firstRow_(std::max<int64_t>(disc.centreY - disc.radius, 0)),
          lastRow_(std::min<int64_t>(disc.centreY + disc.radius, disc.height - 1)),
          distance_(std::max(centreY_ - firstRow_, lastRow_ - centreY_)),
          nearest_(centreY_ < firstRow_  ? firstRow_ - centreY_
                   : centreY_ > lastRow_ ? centreY_ - lastRow_
                                         : 0),
          half_(integerSquareRoot(static_cast<uint64_t>(radiusSquared_ - distance_ * distance_))) {}

    PELMINT_ALWAYS_INLINE bool next(RowPair& pair) {
        if (distance_ < nearest_) {
            return false;
        }
        const int64_t dy = distance_--;
        half_ = followRoot(half_, radiusSquared_ - dy * dy);
        // A run wholly right of the image starts at its row's end, so pointers stay valid.
        const int64_t first = std::min(std::max<int64_t>(centreX_ - half_, 0), width_);
        const int64_t last = std::min(centreX_ + half_, lastColumn_);
        pair.length = std::max<int64_t>(last - first + 1, 0);
        const int64_t upper = centreY_ - dy, lower = centreY_ + dy;
        pair.upper =
            upper >= firstRow_ && upper <= lastRow_ ? pixels_ + upper * stride_ + first : nullptr;
        pair.lower = dy != 0 && lower >= firstRow_ && lower <= lastRow_
                         ? pixels_ + lower * stride_ + first
                         : nullptr;
        return true;
    }

private:
    // floor(sqrt(square)), starting from the previous pair's root.
    PELMINT_ALWAYS_INLINE static int64_t followRoot(int64_t root, int64_t square) {
        root += (root + 1) * (root + 1) <= square;
        if ((root + 1) * (root + 1) > square) {
            return root;
        }
        return settleRoot(root, square);
    }

    // The caps, where the run widens by more than one pixel from one row to the next.
    static int64_t settleRoot(int64_t root, int64_t square) {
        for (int step = 0; step < 8; ++step) {
            if ((root + 1) * (root + 1) > square) {
                return root;
            }
            ++root;
        }
        return integerSquareRoot(static_cast<uint64_t>(square));
    }

    const uint8_t* pixels_;
    int64_t stride_;
    int64_t width_;
    int64_t lastColumn_;
    int64_t centreX_;
    int64_t centreY_;
    int64_t radiusSquared_;
    int64_t firstRow_;
    int64_t lastRow_;
    int64_t distance_;
    int64_t nearest_;
    int64_t half_;
};

} // namespace pelmint

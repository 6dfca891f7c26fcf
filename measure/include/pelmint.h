/*
 * Pelmint - grey-level measurements inside a circle of an 8-bit image.
 *
 * The library exports exactly three functions: CircleAreaAverage,
 * CircleAreaStatistics and PelmintVersion. It keeps no state, allocates
 * nothing and may be called from any number of threads at once as long as no
 * thread writes the buffer meanwhile.
 */
#ifndef PELMINT_H
#define PELMINT_H

#include <stddef.h>
#include <stdint.h>

#define PELMINT_VERSION_MAJOR 1
#define PELMINT_VERSION_MINOR 1
#define PELMINT_VERSION_PATCH 0
/* As PelmintVersion() returns it. */
#define PELMINT_VERSION                                                                            \
    (PELMINT_VERSION_MAJOR * 10000 + PELMINT_VERSION_MINOR * 100 + PELMINT_VERSION_PATCH)

#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(PELMINT_BUILDING)
/* Pelmint.def names the exports: dllexport would add the decorated 32-bit stdcall names too. */
#define PELMINT_API
#else
#define PELMINT_API __declspec(dllimport)
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define PELMINT_API __attribute__((visibility("default")))
#else
#define PELMINT_API
#endif

/* Callers of the 32-bit Windows build push the arguments right to left and the callee pops them. */
#if defined(_WIN32) && !defined(_WIN64)
#define PELMINT_CALL __stdcall
#else
#define PELMINT_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Mean grey value of the pixels whose integer position (x, y) satisfies
 * (centreX - x)^2 + (centreY - y)^2 <= radius^2.
 *
 * pixels        First byte of the image (column 0 of row 0). Rows follow each
 *               other with no padding: pixel (x, y) is pixels[y * width + x].
 *               Must hold width * height bytes. NULL returns -1.0.
 * width         Pixels per row, which is also the row stride in bytes.
 * height        Number of rows.
 * bitsPerPixel  Must be 8; any other value returns -1.0 before anything else
 *               is looked at.
 * centreX       Column of the centre; may lie outside the image.
 * centreY       Row of the centre; may lie outside the image.
 * radius        Radius in pixels. A negative radius selects nothing. Any radius
 *               gives the exact mean: squares, sum and count are kept in 64
 *               bits, exact for every image that fits in 2^48 bytes.
 *
 * Returns the unrounded mean (0.0 to 255.0), or exactly -1.0 when the call is
 * rejected: bits per pixel other than 8, a NULL buffer, a bounding square of
 * the circle that lies wholly beyond one edge of the image, or a circle that
 * covers no pixel of the image. Widths or heights of 0 or less cover no pixel.
 */
PELMINT_API double PELMINT_CALL CircleAreaAverage(const uint8_t* pixels, int32_t width,
                                                  int32_t height, int32_t bitsPerPixel,
                                                  int32_t centreX, int32_t centreY, int32_t radius);

/* The function's type, for callers that resolve it at run time. */
typedef double(PELMINT_CALL* CircleAreaAverageFn)(const uint8_t*, int32_t, int32_t, int32_t,
                                                  int32_t, int32_t, int32_t);

typedef struct PelmintStatistics {
    int64_t count; /* pixels inside the circle and the image */
    uint64_t sum;  /* sum of their grey values */
    double mean;   /* sum / count, the same double CircleAreaAverage returns */
    double stddev; /* population standard deviation (divide by count) */
    int32_t min;   /* smallest grey value inside */
    int32_t max;   /* largest grey value inside */
} PelmintStatistics;

/* Results of CircleAreaStatistics. */
#define PELMINT_OK 0
/* NULL pixels or out, a stride smaller than width, or a buffer beyond 64-bit offsets. */
#define PELMINT_INVALID_ARGUMENT (-1)
/* The circle covers no pixel of the image: the cases where CircleAreaAverage returns -1.0. */
#define PELMINT_NO_PIXELS (-2)

/*
 * Count, sum, mean, standard deviation, smallest and largest grey value of
 * exactly the pixels CircleAreaAverage averages, in one pass.
 *
 * pixels   First byte of the image (column 0 of row 0); pixel (x, y) is
 *          pixels[y * stride + x]. Must hold (height - 1) * stride + width
 *          bytes; the bytes between the end of a row and the next row may be
 *          read but never count. NULL is PELMINT_INVALID_ARGUMENT.
 * width    Pixels per row. 0 or less covers no pixel.
 * height   Number of rows. 0 or less covers no pixel.
 * stride   Distance in bytes from the start of one row to the next; at least
 *          width. Smaller (negative included) is PELMINT_INVALID_ARGUMENT.
 * centreX, centreY, radius
 *          As for CircleAreaAverage: the centre may lie outside the image, a
 *          negative radius selects nothing.
 * out      Receives the results on PELMINT_OK; untouched otherwise. NULL is
 *          PELMINT_INVALID_ARGUMENT.
 *
 * Count, sum and sum of squares are kept as exact integers, and the standard
 * deviation is computed once from them: sqrt(count * squares - sum^2) / count
 * with the difference taken exactly in 128 bits and rounded once. They are
 * exact for every circle of up to 2^64 / 255^2 (about 2.8 * 10^14) pixels,
 * which is every image that fits in 2^48 bytes (256 TiB). The mean is the
 * bit-identical double of CircleAreaAverage for the same image and circle.
 *
 * Returns PELMINT_OK, PELMINT_INVALID_ARGUMENT (checked first) or
 * PELMINT_NO_PIXELS.
 */
PELMINT_API int32_t PELMINT_CALL CircleAreaStatistics(const uint8_t* pixels, int32_t width,
                                                      int32_t height, ptrdiff_t stride,
                                                      int32_t centreX, int32_t centreY,
                                                      int32_t radius, PelmintStatistics* out);

typedef int32_t(PELMINT_CALL* CircleAreaStatisticsFn)(const uint8_t*, int32_t, int32_t, ptrdiff_t,
                                                      int32_t, int32_t, int32_t,
                                                      PelmintStatistics*);

/* The library's version, MAJOR * 10000 + MINOR * 100 + PATCH: compare it with
   PELMINT_VERSION to see which library a program has loaded. */
PELMINT_API int32_t PELMINT_CALL PelmintVersion(void);

typedef int32_t(PELMINT_CALL* PelmintVersionFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* PELMINT_H */

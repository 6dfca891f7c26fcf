/*
 * Pelmint - mean grey level inside a circle of an 8-bit image.
 *
 * The library exports exactly one function, CircleAreaAverage. It keeps no
 * state, allocates nothing and may be called from any number of threads at
 * once as long as no thread writes the buffer meanwhile.
 */
#ifndef PELMINT_H
#define PELMINT_H

#include <stdint.h>

#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(PELMINT_BUILDING)
#define PELMINT_API __declspec(dllexport)
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
 *               and any image size give the exact mean: squares, sum and count
 *               are kept in 64 bits.
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

#ifdef __cplusplus
}
#endif

#endif /* PELMINT_H */

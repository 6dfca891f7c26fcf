#pragma once

class KeshImage;

// The working image format: Pelmint reads a 512 x 480 buffer of 8-bit grey levels.
namespace InspectionFormat {

inline constexpr int kWidth = 512;
inline constexpr int kHeight = 480;
inline constexpr int kBitsPerPixel = 8;

// Whether `image` is already 512 x 480, 8-bit grey.
bool matches(const KeshImage& image);

// Reshapes `image` into the working format, whatever it held: 8 bits, grey (colour becomes
// luma), then cropped or padded with 0 to 512 x 480.
void conform(KeshImage& image);

} // namespace InspectionFormat

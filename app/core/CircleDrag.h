#pragma once

// How drags on the display change the inspection circle.
namespace CircleDrag {

// The smallest radius a right drag can reach.
inline constexpr double kMinimumRadius = 3.0;

struct Centre {
    double x;
    double y;
};

// The pointer's position kept on a pixel of an `imageWidth` x `imageHeight` image (low
// edges first, then the high ones).
Centre clampCentre(int x, int y, int imageWidth, int imageHeight);

// `radius` grown or shrunk by the pointer's horizontal movement from `anchorX` to `x`,
// never below kMinimumRadius.
double resizedRadius(double radius, double anchorX, int x);

} // namespace CircleDrag

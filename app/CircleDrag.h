#pragma once

class CircleFigure;
class DragAnchor;

// How drags on the display change the inspection circle.
class CircleDrag {
public:
    // The smallest radius a right drag can reach.
    static constexpr double kMinimumRadius = 3.0;

    // Moves the centre to the pointer, then keeps it on a pixel of a
    // `imageWidth` x `imageHeight` image (low edges first, then the high ones).
    static void moveCentre(CircleFigure& circle, int x, int y, int imageWidth, int imageHeight);

    // Grows or shrinks the radius by the pointer's horizontal movement since the anchor
    // (never below kMinimumRadius) and moves the anchor to the pointer.
    static void resize(CircleFigure& circle, DragAnchor& anchor, int x, int y);

    // Where a right drag starts.
    static void anchor(DragAnchor& anchor, int x, int y);
};

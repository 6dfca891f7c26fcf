#include "CircleDrag.h"

// Ours
#include "CircleFigure.h"
#include "DragAnchor.h"

void CircleDrag::moveCentre(CircleFigure& circle, int x, int y, int imageWidth, int imageHeight) {
    circle.setCenterX(x);
    circle.setCenterY(y);
    if (circle.centerX() < 0) {
        circle.setCenterX(0);
    }
    if (circle.centerY() < 0) {
        circle.setCenterY(0);
    }
    if (circle.centerX() >= imageWidth) {
        circle.setCenterX(imageWidth - 1);
    }
    if (circle.centerY() >= imageHeight) {
        circle.setCenterY(imageHeight - 1);
    }
}

void CircleDrag::resize(CircleFigure& circle, DragAnchor& dragAnchor, int x, int y) {
    double radius = x + circle.radius() - dragAnchor.x();
    if (radius < kMinimumRadius) {
        radius = kMinimumRadius;
    }
    circle.setRadius(radius);
    anchor(dragAnchor, x, y);
}

void CircleDrag::anchor(DragAnchor& dragAnchor, int x, int y) {
    dragAnchor.setX(x);
    dragAnchor.setY(y);
}

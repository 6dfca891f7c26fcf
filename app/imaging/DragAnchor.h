#pragma once

// Where the last right-button press or move happened; only x is read back.
class DragAnchor {
public:
    // Named after the anchor object's slots 1 to 4, in order.
    double x() const { return x_; }
    void setX(double x) { x_ = x; }
    double y() const { return y_; }
    void setY(double y) { y_ = y; }

private:
    double x_ = 0.0;
    double y_ = 0.0;
};

#pragma once

// Where the last right-button press or move happened; only x is read back.
class DragAnchor {
public:
    double x() const { return x_; } // slot 1
    void setX(double x) { x_ = x; } // slot 2
    double y() const { return y_; } // slot 3
    void setY(double y) { y_ = y; } // slot 4

private:
    double x_ = 0.0;
    double y_ = 0.0;
};

#pragma once

// The inspection circle: centre and radius in image pixels. Plain storage, a get
// returns the last value put; whoever changes it redraws.
class CircleFigure {
public:
    // The circle's colour, pure blue as a Windows colour value (red in the low byte).
    static constexpr unsigned kBlue = 0x00FF0000;

    // Named after the figure object's slots 1 to 6, in order.
    double centerX() const { return centerX_; }
    void setCenterX(double x) { centerX_ = x; }
    double centerY() const { return centerY_; }
    void setCenterY(double y) { centerY_ = y; }
    double radius() const { return radius_; }
    void setRadius(double r) { radius_ = r; }

private:
    double centerX_ = 0.0;
    double centerY_ = 0.0;
    double radius_ = 0.0;
};

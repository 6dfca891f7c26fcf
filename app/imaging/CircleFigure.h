#pragma once

// The inspection circle: centre and radius in image pixels. Plain storage, a get
// returns the last value put; whoever changes it redraws.
class CircleFigure {
public:
    // The circle's colour, pure blue as a Windows colour value (red in the low byte).
    static constexpr unsigned kBlue = 0x00FF0000;

    double centerX() const { return centerX_; } // slot 1
    void setCenterX(double x) { centerX_ = x; } // slot 2
    double centerY() const { return centerY_; } // slot 3
    void setCenterY(double y) { centerY_ = y; } // slot 4
    double radius() const { return radius_; }   // slot 5
    void setRadius(double r) { radius_ = r; }   // slot 6

private:
    double centerX_ = 0.0;
    double centerY_ = 0.0;
    double radius_ = 0.0;
};

#pragma once

// Qt
#include <QAbstractScrollArea>
#include <QImage>
#include <QRgb>
#include <QVector>

class CircleFigure;
class KeshImage;

// Shows the image 1:1 from its top-left corner (scroll bars when the widget is smaller)
// with figures drawn over it, and reports button presses and pointer moves in image
// pixel coordinates. Safe to call from inside its own signal handlers.
class KeshDisplayEx : public QAbstractScrollArea {
    Q_OBJECT

public:
    enum Button : int { LeftButton = 1, RightButton = 2 };

    explicit KeshDisplayEx(QWidget* parent = nullptr);
    ~KeshDisplayEx() override;

    void prepare();                                        // dispid 101
    void showImage(const KeshImage& image);                // dispid 103
    void clearFigures();                                   // dispid 115
    void setFigureColor(quint32 windowsColor);             // dispid 6 (put): red in the low byte
    void drawCircle(int kind, const CircleFigure& circle); // dispid 113

signals:
    // Event position 9: a button went down over the image.
    void mouseDown(int button, int shift, int x, int y, int spare);
    // Event position 11: the pointer moved over the image (reported while a button is held).
    void mouseMove(int button, int shift, int x, int y, int spare);

    // (Implementation details below are the display's own.)
};

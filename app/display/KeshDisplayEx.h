#pragma once

// Standard library
#include <optional>
#include <vector>

// Qt
#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>
#include <QRgb>
#include <QString>
#include <QVector>

// Ours
#include "DiscRim.h"

class CircleFigure;
class KeshImage;
class QKeyEvent;
class QMouseEvent;

// Shows the image 1:1 from its top-left corner (scroll bars when the widget is smaller)
// with figures drawn over it, and reports button presses and pointer moves in image
// pixel coordinates. Safe to call from inside its own signal handlers.
class KeshDisplayEx : public QAbstractScrollArea {
    Q_OBJECT

public:
    enum Button : int { LeftButton = 1, RightButton = 2, MiddleButton = 4 };
    enum Shift : int { ShiftKey = 1, ControlKey = 2, AltKey = 4 };

    explicit KeshDisplayEx(QWidget* parent = nullptr);
    ~KeshDisplayEx() override;

    // Named after the display control's dispatch members: ids 101, 103, 115, 6 (put), 113;
    // the signals after its events 9, 11 and 10.
    void prepare();
    void showImage(const KeshImage& image);
    void clearFigures();
    void setFigureColor(quint32 windowsColor); // red in the low byte
    void drawCircle(const CircleFigure& circle);

    // Further circles of a part, drawn under the figures and kept until set again: each
    // rim in its colour with its name beside it, an emphasised one with a second rim just
    // outside.
    struct CircleMark {
        int centerX = 0;
        int centerY = 0;
        int radius = 0;
        QColor color;
        QString label;
        bool emphasised = false;
    };
    void setMarks(const std::vector<CircleMark>& marks);
    // The name and emphasis of the figures drawn from now on (none by default).
    void setFigureLabel(const QString& label, bool emphasised);

    QSize sizeHint() const override;

signals:
    // A button went down over the image.
    void mouseDown(int button, int shift, int x, int y);
    // The pointer moved over the image (reported while a button is held).
    void mouseMove(int button, int shift, int x, int y);
    // A button went up; `button` is the one released.
    void mouseUp(int button, int shift, int x, int y);

    // With the keyboard focus: an arrow key moves the circle by (dx, dy) pixels, + and -
    // change its radius by dRadius. Repeats while the key is held.
    void keyNudge(int dx, int dy, int dRadius);
    // The nudging key was let go.
    void keyNudgeReleased();

    // The pointer is over image pixel (x, y) of grey value `grey`, or over no pixel.
    void pointerOverPixel(int x, int y, int grey);
    void pointerOffImage();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    QSize viewportSizeHint() const override;

private:
    struct Figure {
        int centerX;
        int centerY;
        int radius;
        QColor color;
        DiscRim rim;
        std::optional<DiscRim> outerRim; // emphasis
        QString label;
        QRect labelRect; // in image pixels
        QRect bounds() const;
    };
    void decorate(Figure& figure, const QString& label, bool emphasised) const;
    void composeRims(const Figure& figure, const QRect& exposedInImage, uchar* bits,
                     qsizetype stride) const;

    QPoint scrollOffset() const;
    QPoint imagePosition(const QPointF& viewportPosition) const;
    QRect imageRect() const { return QRect(QPoint(0, 0), image_.size()); }
    void updateImageArea(const QRect& imageArea);
    void updateScrollBars();
    void reportPointer(const QPoint& imagePoint);

    QImage image_;                  // converted once per showImage(), drawn on every paint
    std::vector<QRgb> composition_; // the exposed part with the figures, kept between paints
    std::vector<Figure> figures_;
    std::vector<Figure> marks_;
    QString figureLabel_;
    bool figureEmphasised_ = false;
    std::optional<DiscRim> lastRim_; // of the last figure cleared
    QRect pendingArea_;              // asked to be repainted, in viewport coordinates
    QColor figureColor_;
    std::optional<QPoint> pointerPixel_;
};

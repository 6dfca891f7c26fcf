#pragma once

// Standard library
#include <array>
#include <optional>
#include <vector>

// Qt
#include <QColor>
#include <QElapsedTimer>
#include <QHash>
#include <QLabel>
#include <QPixmap>
#include <QString>
#include <QTimer>

// The pixel under the pointer, as a label whose text is a format with %1 (x), %2 (y) and
// %3 (grey value). The pointer may move a thousand times a second, faster than a screen
// shows: a pixel is shown at once, and those that follow within a frame's time are shown
// as one, the newest, when that time is up. It is drawn from pictures of each literal part
// of the format and each number, made once, rather than shaping the whole text on every
// repaint as a label does.
class PixelReadout : public QLabel {
    Q_OBJECT

public:
    explicit PixelReadout(const QString& format, QWidget* parent = nullptr);
    ~PixelReadout() override;

    void showPixel(int x, int y, int grey);
    void showNoPixel();

    // The least time between two pixels shown.
    static constexpr int kFrameMs = 16;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Shape {
        QPixmap picture; // the text's baseline at kMargin + ceil(ascent), whole pixels
        qreal advance = 0;
        qreal ascent = 0;
        qreal descent = 0;
    };
    struct Part {
        QString literal;
        int value = -1;             // 0, 1 or 2 for %1, %2, %3; -1 for a literal
        std::optional<Shape> shape; // a literal's, made on first use
    };

    Shape shapeOf(const QString& text) const;
    const Shape& partShape(Part& part);
    void forgetShapes();
    void show(const std::array<int, 3>& values);
    int sideMargin() const;

    std::vector<Part> parts_;
    std::array<int, 3> values_{};
    bool showing_ = false;
    QElapsedTimer lastShown_;
    QTimer frameTimer_;              // runs while a pixel waits to be shown
    std::array<int, 3> waiting_{};   // that pixel
    QHash<int, Shape> numberShapes_; // made on first use
    QColor shapesColour_;            // of every shape made
    QColor shapesBackdrop_;          // under every shape made; invalid for none
};

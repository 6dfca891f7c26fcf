#pragma once

// Qt
#include <QChartView>

// A chart that the user zooms and pans: the wheel or + / − zoom, a left drag zooms to a
// rectangle, a right drag or the arrow keys pan, a double click or Home resets.
class RecordChartView : public QChartView {
    Q_OBJECT

public:
    explicit RecordChartView(QWidget* parent = nullptr);

    void resetZoom();

signals:
    // After a reset: the owner may show its whole data again.
    void zoomWasReset();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPointF panFrom_;
    bool panning_ = false;
};

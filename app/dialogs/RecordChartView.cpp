#include "RecordChartView.h"

// Qt
#include <QChart>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

RecordChartView::RecordChartView(QWidget* parent) : QChartView(parent) {
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::RectangleRubberBand);
    setFocusPolicy(Qt::StrongFocus);
}

void RecordChartView::resetZoom() {
    if (chart()) {
        chart()->zoomReset();
    }
    emit zoomWasReset();
}

void RecordChartView::keyPressEvent(QKeyEvent* event) {
    if (!chart()) {
        QChartView::keyPressEvent(event);
        return;
    }
    constexpr qreal kStep = 30;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        chart()->zoomIn();
        break;
    case Qt::Key_Minus:
        chart()->zoomOut();
        break;
    case Qt::Key_Left:
        chart()->scroll(-kStep, 0);
        break;
    case Qt::Key_Right:
        chart()->scroll(kStep, 0);
        break;
    case Qt::Key_Up:
        chart()->scroll(0, kStep);
        break;
    case Qt::Key_Down:
        chart()->scroll(0, -kStep);
        break;
    case Qt::Key_Home:
    case Qt::Key_0:
        resetZoom();
        break;
    default:
        QChartView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void RecordChartView::wheelEvent(QWheelEvent* event) {
    if (!chart() || event->angleDelta().y() == 0) {
        QChartView::wheelEvent(event);
        return;
    }
    // Zoom about the pointer: the point under it stays where it is.
    const qreal factor = event->angleDelta().y() > 0 ? 1.25 : 0.8;
    const QRectF area = chart()->plotArea();
    const QPointF at = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    QRectF zoomed(QPointF(), area.size() / factor);
    zoomed.moveCenter(at - (at - area.center()) / factor);
    chart()->zoomIn(zoomed);
    event->accept();
}

void RecordChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        panning_ = true;
        panFrom_ = event->position();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void RecordChartView::mouseMoveEvent(QMouseEvent* event) {
    if (panning_ && chart()) {
        const QPointF delta = event->position() - panFrom_;
        chart()->scroll(-delta.x(), delta.y());
        panFrom_ = event->position();
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void RecordChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && panning_) {
        panning_ = false;
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void RecordChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    resetZoom();
    event->accept();
}

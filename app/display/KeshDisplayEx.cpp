#include "KeshDisplayEx.h"

// Standard library
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

// Qt
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QtMath>

// Ours
#include "CircleFigure.h"
#include "KeshImage.h"
#include "WindowsColor.h"

namespace {

constexpr quint32 kInitialFigureColor = CircleFigure::kBlue;
constexpr int kScrollStep = 16;
constexpr int kShiftedNudge = 10;
const QSize kInitialImageSize(KeshImage::kDefaultWidth, KeshImage::kDefaultHeight);

// Figure values are whole numbers held in doubles; anything that does not round to a
// 32-bit integer cannot be measured either, so it is not drawn.
std::optional<int> toPixel(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<int>::min() || rounded > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(rounded);
}

int buttonMask(Qt::MouseButtons buttons) {
    int mask = 0;
    if (buttons & Qt::LeftButton) {
        mask |= KeshDisplayEx::LeftButton;
    }
    if (buttons & Qt::RightButton) {
        mask |= KeshDisplayEx::RightButton;
    }
    if (buttons & Qt::MiddleButton) {
        mask |= KeshDisplayEx::MiddleButton;
    }
    return mask;
}

int shiftState(Qt::KeyboardModifiers modifiers) {
    int state = 0;
    if (modifiers & Qt::ShiftModifier) {
        state |= KeshDisplayEx::ShiftKey;
    }
    if (modifiers & Qt::ControlModifier) {
        state |= KeshDisplayEx::ControlKey;
    }
    if (modifiers & Qt::AltModifier) {
        state |= KeshDisplayEx::AltKey;
    }
    return state;
}

} // namespace

KeshDisplayEx::KeshDisplayEx(QWidget* parent)
    : QAbstractScrollArea(parent), figureColor_(WindowsColor::toQColor(kInitialFigureColor)) {
    // No frame, so that widget and image share their top-left corner.
    setFrameShape(QFrame::NoFrame);
    // Every paint covers its whole rectangle, image or background.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    horizontalScrollBar()->setSingleStep(kScrollStep);
    verticalScrollBar()->setSingleStep(kScrollStep);
    updateScrollBars();
}

KeshDisplayEx::~KeshDisplayEx() = default;

void KeshDisplayEx::prepare() {
    figures_.clear();
    figureColor_ = WindowsColor::toQColor(kInitialFigureColor);
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void KeshDisplayEx::showImage(const KeshImage& image) {
    const QSize oldSize = image_.size();
    image_ = image.toQImage().convertToFormat(QImage::Format_RGB32);
    if (image_.size() != oldSize) {
        for (Figure& figure : figures_) {
            figure.rim = DiscRim(figure.centerX, figure.centerY, figure.radius, imageRect());
        }
        updateScrollBars();
        updateGeometry();
    }
    viewport()->update();
    if (pointerPixel_) {
        const QPoint at = *std::exchange(pointerPixel_, std::nullopt);
        reportPointer(at); // the pixel under a still pointer has a new value
    }
}

void KeshDisplayEx::clearFigures() {
    QRect drawn;
    for (const Figure& figure : figures_) {
        drawn |= figure.bounds();
    }
    if (!figures_.empty()) {
        lastRim_ = std::move(figures_.back().rim);
    }
    figures_.clear();
    updateImageArea(drawn);
}

void KeshDisplayEx::setFigureColor(quint32 windowsColor) {
    figureColor_ = WindowsColor::toQColor(windowsColor);
}

// The kind is always 0, the circle outline; no other kind is defined.
void KeshDisplayEx::drawCircle(const CircleFigure& circle) {
    const std::optional<int> centerX = toPixel(circle.centerX());
    const std::optional<int> centerY = toPixel(circle.centerY());
    const std::optional<int> radius = toPixel(circle.radius());
    if (!centerX || !centerY || !radius || *radius < 0) {
        return;
    }
    // A drag moves the circle without resizing it: its rim is then the last one moved.
    Figure figure{*centerX,
                  *centerY,
                  *radius,
                  figureColor_,
                  lastRim_ && lastRim_->radius() == *radius
                      ? lastRim_->movedTo(*centerX, *centerY, imageRect())
                      : DiscRim(*centerX, *centerY, *radius, imageRect()),
                  std::nullopt,
                  QString(),
                  QRect()};
    decorate(figure, figureLabel_, figureEmphasised_);
    updateImageArea(figure.bounds());
    figures_.push_back(std::move(figure));
}

void KeshDisplayEx::setFigureLabel(const QString& label, bool emphasised) {
    figureLabel_ = label;
    figureEmphasised_ = emphasised;
}

void KeshDisplayEx::setMarks(const std::vector<CircleMark>& marks) {
    QRect changed;
    for (const Figure& mark : marks_) {
        changed |= mark.bounds();
    }
    marks_.clear();
    for (const CircleMark& mark : marks) {
        if (mark.radius < 0) {
            continue;
        }
        Figure figure{mark.centerX,
                      mark.centerY,
                      mark.radius,
                      mark.color,
                      DiscRim(mark.centerX, mark.centerY, mark.radius, imageRect()),
                      std::nullopt,
                      QString(),
                      QRect()};
        decorate(figure, mark.label, mark.emphasised);
        changed |= figure.bounds();
        marks_.push_back(std::move(figure));
    }
    updateImageArea(changed);
}

// The name sits just outside the circle's upper right, kept on the image.
void KeshDisplayEx::decorate(Figure& figure, const QString& label, bool emphasised) const {
    if (emphasised) {
        figure.outerRim = DiscRim(figure.centerX, figure.centerY, figure.radius + 1, imageRect());
    }
    figure.label = label;
    if (label.isEmpty()) {
        return;
    }
    const QSize size = fontMetrics().size(Qt::TextSingleLine, label) + QSize(4, 0);
    const int reach = static_cast<int>(std::lround(figure.radius * 0.71));
    QRect rect(QPoint(figure.centerX + reach + 2, figure.centerY - reach - size.height()), size);
    const QRect image = imageRect();
    rect.moveLeft(std::clamp(rect.left(), 0, std::max(0, image.right() - rect.width())));
    rect.moveTop(std::clamp(rect.top(), 0, std::max(0, image.bottom() - rect.height())));
    figure.labelRect = rect;
}

QRect KeshDisplayEx::Figure::bounds() const {
    QRect all = rim.bounds() | labelRect;
    if (outerRim) {
        all |= outerRim->bounds();
    }
    return all;
}

void KeshDisplayEx::composeRims(const Figure& figure, const QRect& exposedInImage, uchar* bits,
                                qsizetype stride) const {
    const QRgb colour = figure.color.rgb();
    for (const DiscRim* rim : {&figure.rim, figure.outerRim ? &*figure.outerRim : nullptr}) {
        if (rim == nullptr || !rim->bounds().intersects(exposedInImage)) {
            continue;
        }
        const auto& spans = rim->spans();
        auto span = std::lower_bound(spans.begin(), spans.end(), exposedInImage.top(),
                                     [](const DiscRim::Span& s, int row) { return s.y < row; });
        for (; span != spans.end() && span->y <= exposedInImage.bottom(); ++span) {
            const int x0 = std::max(span->x0, exposedInImage.left());
            const int x1 = std::min(span->x1, exposedInImage.right());
            if (x0 <= x1) {
                auto* row =
                    reinterpret_cast<QRgb*>(bits + (span->y - exposedInImage.top()) * stride);
                std::fill(row + (x0 - exposedInImage.left()),
                          row + (x1 - exposedInImage.left() + 1), colour);
            }
        }
    }
}

QSize KeshDisplayEx::sizeHint() const {
    return viewportSizeHint();
}

QSize KeshDisplayEx::viewportSizeHint() const {
    return image_.isNull() ? kInitialImageSize : image_.size();
}

void KeshDisplayEx::paintEvent(QPaintEvent* event) {
    pendingArea_ = QRect();
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    const QPoint offset = scrollOffset();
    const QRect imageOnViewport = imageRect().translated(-offset);

    if (!imageOnViewport.contains(exposed)) {
        const QRegion background = QRegion(exposed).subtracted(imageOnViewport);
        for (const QRect& rect : background) {
            painter.fillRect(rect, palette().color(QPalette::Dark));
        }
    }
    const QRect imagePart = exposed & imageOnViewport;
    if (imagePart.isEmpty()) {
        return;
    }
    const QRect exposedInImage = imagePart.translated(offset);
    const auto exposes = [&](const Figure& figure) {
        return figure.bounds().intersects(exposedInImage);
    };
    const bool figuresExposed = std::any_of(figures_.begin(), figures_.end(), exposes) ||
                                std::any_of(marks_.begin(), marks_.end(), exposes);
    if (!figuresExposed) {
        painter.drawImage(imagePart.topLeft(), image_, exposedInImage);
        return;
    }
    // The rims are written into a copy of the exposed part, which is then drawn at once;
    // a painter fill per rim row costs several times more.
    const int width = exposedInImage.width();
    const int height = exposedInImage.height();
    composition_.resize(std::max(composition_.size(), static_cast<std::size_t>(width) * height));
    for (int y = 0; y < height; ++y) {
        const auto* source =
            reinterpret_cast<const QRgb*>(image_.constScanLine(exposedInImage.top() + y)) +
            exposedInImage.left();
        std::copy(source, source + width,
                  composition_.data() + static_cast<std::size_t>(y) * width);
    }
    const QImage composed(reinterpret_cast<const uchar*>(composition_.data()), width, height,
                          width * static_cast<qsizetype>(sizeof(QRgb)), QImage::Format_RGB32);
    auto* const composedBits = reinterpret_cast<uchar*>(composition_.data());
    const qsizetype composedStride = width * static_cast<qsizetype>(sizeof(QRgb));
    for (const std::vector<Figure>* layer : {&marks_, &figures_}) {
        for (const Figure& figure : *layer) {
            composeRims(figure, exposedInImage, composedBits, composedStride);
        }
    }
    painter.drawImage(imagePart.topLeft(), composed);
    // Names on a white ground, so that they read on any image.
    for (const std::vector<Figure>* layer : {&marks_, &figures_}) {
        for (const Figure& figure : *layer) {
            if (figure.label.isEmpty() || !figure.labelRect.intersects(exposedInImage)) {
                continue;
            }
            const QRect onViewport = figure.labelRect.translated(-offset);
            painter.setClipRect(imagePart);
            painter.fillRect(onViewport, Qt::white);
            painter.setPen(figure.color);
            painter.drawText(onViewport, Qt::AlignCenter, figure.label);
        }
    }
}

void KeshDisplayEx::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void KeshDisplayEx::mousePressEvent(QMouseEvent* event) {
    event->accept();
    setFocus(Qt::MouseFocusReason);
    const QPoint at = imagePosition(event->position());
    // Nothing of this object is used after the emit: the handler may call back into it.
    emit mouseDown(buttonMask(event->buttons()), shiftState(event->modifiers()), at.x(), at.y());
}

// The second press of a quick pair is still a press; a drag may start with it.
void KeshDisplayEx::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void KeshDisplayEx::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const int buttons = buttonMask(event->buttons());
    const int shift = shiftState(event->modifiers());
    const QPoint at = imagePosition(event->position());
    reportPointer(at);
    if (buttons != 0) {
        emit mouseMove(buttons, shift, at.x(), at.y());
    }
}

void KeshDisplayEx::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const QPoint at = imagePosition(event->position());
    emit mouseUp(buttonMask(event->button()), shiftState(event->modifiers()), at.x(), at.y());
}

void KeshDisplayEx::keyPressEvent(QKeyEvent* event) {
    const int step = (event->modifiers() & Qt::ShiftModifier) ? kShiftedNudge : 1;
    switch (event->key()) {
    case Qt::Key_Left:
        emit keyNudge(-step, 0, 0);
        break;
    case Qt::Key_Right:
        emit keyNudge(step, 0, 0);
        break;
    case Qt::Key_Up:
        emit keyNudge(0, -step, 0);
        break;
    case Qt::Key_Down:
        emit keyNudge(0, step, 0);
        break;
    case Qt::Key_Plus:
        emit keyNudge(0, 0, 1);
        break;
    case Qt::Key_Minus:
        emit keyNudge(0, 0, -1);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void KeshDisplayEx::keyReleaseEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        event->accept();
        if (!event->isAutoRepeat()) {
            emit keyNudgeReleased();
        }
        return;
    default:
        QAbstractScrollArea::keyReleaseEvent(event);
    }
}

bool KeshDisplayEx::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave && pointerPixel_) {
        pointerPixel_.reset();
        emit pointerOffImage();
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void KeshDisplayEx::reportPointer(const QPoint& imagePoint) {
    if (!imageRect().contains(imagePoint)) {
        if (pointerPixel_) {
            pointerPixel_.reset();
            emit pointerOffImage();
        }
        return;
    }
    if (pointerPixel_ == imagePoint) {
        return;
    }
    pointerPixel_ = imagePoint;
    emit pointerOverPixel(imagePoint.x(), imagePoint.y(),
                          qGray(image_.pixel(imagePoint.x(), imagePoint.y())));
}

QPoint KeshDisplayEx::scrollOffset() const {
    return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

// The one place where viewport positions become image pixels.
QPoint KeshDisplayEx::imagePosition(const QPointF& viewportPosition) const {
    return QPoint(qFloor(viewportPosition.x()), qFloor(viewportPosition.y())) + scrollOffset();
}

// The areas asked for until the next paint are repainted as one rectangle: a moved circle
// is then one rectangle hardly larger than the two it spans, where their union would be
// several, each dearer to clip, paint and send to the screen.
void KeshDisplayEx::updateImageArea(const QRect& imageArea) {
    if (!imageArea.isEmpty()) {
        pendingArea_ |= imageArea.translated(-scrollOffset());
        viewport()->update(pendingArea_);
    }
}

void KeshDisplayEx::updateScrollBars() {
    const QSize visible = viewport()->size();
    const QSize content = image_.size();
    horizontalScrollBar()->setPageStep(visible.width());
    horizontalScrollBar()->setRange(0, std::max(0, content.width() - visible.width()));
    verticalScrollBar()->setPageStep(visible.height());
    verticalScrollBar()->setRange(0, std::max(0, content.height() - visible.height()));
}

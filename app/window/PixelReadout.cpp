#include "PixelReadout.h"

// Standard library
#include <algorithm>
#include <cmath>
#include <utility>

// Qt
#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>

namespace {

// Numbers up to the largest image's size; the shapes are dropped all at once when full.
constexpr qsizetype kMostShapes = 4096;
// Room around a picture for glyphs that reach past their advance.
constexpr int kMargin = 2;

} // namespace

PixelReadout::PixelReadout(const QString& format, QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    QString literal;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == QLatin1Char('%') && i + 1 < format.size() &&
            format[i + 1] >= QLatin1Char('1') && format[i + 1] <= QLatin1Char('3')) {
            if (!literal.isEmpty()) {
                parts_.push_back({std::exchange(literal, QString()), -1, std::nullopt});
            }
            parts_.push_back({QString(), format[i + 1].unicode() - '1', std::nullopt});
            ++i;
        } else {
            literal += format[i];
        }
    }
    if (!literal.isEmpty()) {
        parts_.push_back({literal, -1, std::nullopt});
    }
    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, [this] { show(waiting_); });
}

PixelReadout::~PixelReadout() = default;

void PixelReadout::showPixel(int x, int y, int grey) {
    const std::array<int, 3> values{x, y, grey};
    if (frameTimer_.isActive()) {
        waiting_ = values;
        return;
    }
    if (showing_ && values == values_) {
        return;
    }
    if (const qint64 since = lastShown_.isValid() ? lastShown_.elapsed() : kFrameMs;
        since < kFrameMs) {
        waiting_ = values;
        frameTimer_.start(static_cast<int>(kFrameMs - since));
        return;
    }
    show(values);
}

void PixelReadout::show(const std::array<int, 3>& values) {
    lastShown_.start();
    if (showing_ && values == values_) {
        return;
    }
    showing_ = true;
    values_ = values;
    QString shown;
    for (const Part& part : parts_) {
        shown += part.value < 0 ? part.literal : QString::number(values_[part.value]);
    }
    setText(shown);
}

void PixelReadout::showNoPixel() {
    frameTimer_.stop();
    showing_ = false;
    if (!text().isEmpty()) {
        clear();
    }
}

void PixelReadout::forgetShapes() {
    for (Part& part : parts_) {
        part.shape.reset();
    }
    numberShapes_.clear();
}

void PixelReadout::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        forgetShapes();
    }
    QLabel::changeEvent(event);
}

PixelReadout::Shape PixelReadout::shapeOf(const QString& text) const {
    QTextLayout layout(text, font());
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    Shape shape;
    shape.ascent = line.ascent();
    shape.descent = line.descent();
    shape.advance = QFontMetricsF(font()).horizontalAdvance(text);
    const qreal ratio = devicePixelRatioF();
    const int marginX = sideMargin();
    const QSize size(static_cast<int>(std::ceil(shape.advance)) + 2 * marginX,
                     static_cast<int>(std::ceil(shape.ascent + shape.descent)) + 2 * kMargin);
    shape.picture = QPixmap(size * ratio);
    shape.picture.setDevicePixelRatio(ratio);
    shape.picture.fill(shapesBackdrop_.isValid() ? shapesBackdrop_ : QColor(Qt::transparent));
    QPainter painter(&shape.picture);
    painter.setPen(shapesColour_);
    layout.draw(&painter, QPointF(marginX, kMargin + std::ceil(shape.ascent) - shape.ascent));
    return shape;
}

const PixelReadout::Shape& PixelReadout::partShape(Part& part) {
    if (part.value < 0) {
        if (!part.shape) {
            part.shape = shapeOf(part.literal);
        }
        return *part.shape;
    }
    const int number = values_[static_cast<std::size_t>(part.value)];
    auto found = numberShapes_.find(number);
    if (found == numberShapes_.end()) {
        if (numberShapes_.size() >= kMostShapes) {
            numberShapes_.clear();
        }
        found = numberShapes_.insert(number, shapeOf(QString::number(number)));
    }
    return *found;
}

// Laid out as a label lays out one line of plain text: the parts side by side on one
// baseline, the line as high as its highest part.
void PixelReadout::paintEvent(QPaintEvent* event) {
    if (!showing_) {
        QLabel::paintEvent(event);
        return;
    }
    const QBrush& background = palette().brush(backgroundRole());
    const QColor backdrop = autoFillBackground() && background.style() == Qt::SolidPattern &&
                                    background.color().alpha() == 255
                                ? background.color()
                                : QColor();
    if (const QColor colour = palette().color(foregroundRole());
        colour != shapesColour_ || backdrop != shapesBackdrop_) {
        forgetShapes();
        shapesColour_ = colour;
        shapesBackdrop_ = backdrop;
    }
    std::vector<Shape> shapes; // copies: a new shape may move the others in the cache
    shapes.reserve(parts_.size());
    qreal width = 0;
    qreal ascent = 0;
    qreal descent = 0;
    for (Part& part : parts_) {
        const Shape& shape = partShape(part);
        shapes.push_back(shape);
        width += shape.advance;
        ascent = std::max(ascent, shape.ascent);
        descent = std::max(descent, shape.descent);
    }

    QPainter painter(this);
    if (frameShape() != QFrame::NoFrame) {
        drawFrame(&painter);
    }
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
    const qreal height = std::ceil(ascent + descent);
    qreal x = area.left();
    if (align & Qt::AlignRight) {
        x = area.right() + 1 - width;
    } else if (align & Qt::AlignHCenter) {
        x = area.left() + (area.width() - width) / 2;
    }
    qreal top = area.top();
    if (align & Qt::AlignBottom) {
        top = area.bottom() + 1 - height;
    } else if (align & Qt::AlignVCenter) {
        top = area.top() + (area.height() - height) / 2;
    }
    const qreal baseline = top + ascent;

    // Pictures on the background are copied rather than blended; they are laid from the
    // right so that each keeps its first column, where a glyph rarely reaches, and not
    // its last.
    std::vector<qreal> lefts;
    lefts.reserve(shapes.size());
    for (const Shape& shape : shapes) {
        lefts.push_back(x);
        x += shape.advance;
    }
    for (std::size_t i = shapes.size(); i-- > 0;) {
        painter.drawPixmap(QPointF(std::round(lefts[i]) - sideMargin(),
                                   std::round(baseline) - std::ceil(shapes[i].ascent) - kMargin),
                           shapes[i].picture);
    }
}

int PixelReadout::sideMargin() const {
    return shapesBackdrop_.isValid() ? 0 : kMargin;
}

#include "ValueBoxStyle.h"

// Standard library
#include <cmath>
#include <utility>

// Qt
#include <QFrame>
#include <QPaintDevice>
#include <QPainter>
#include <QStyleOption>

namespace {

constexpr qsizetype kMostPictures = 2048;
// Room around a text's box for glyphs that reach a little past it.
constexpr int kTextMargin = 4;

bool drawsOnWholePixels(const QPainter* painter) {
    const QTransform& transform = painter->deviceTransform();
    return transform.type() <= QTransform::TxTranslate &&
           transform.dx() == std::floor(transform.dx()) &&
           transform.dy() == std::floor(transform.dy());
}

// The one colour under everything a box draws, when it fills its own background with it;
// invalid otherwise. Pictures are only kept on it: they can then be copied, pixel for
// pixel what the style would have drawn there.
QColor backdropOf(const QWidget* widget) {
    if (!widget || !widget->autoFillBackground()) {
        return QColor();
    }
    const QBrush& brush = widget->palette().brush(widget->backgroundRole());
    if (brush.style() != Qt::SolidPattern || brush.color().alpha() != 255) {
        return QColor();
    }
    return brush.color();
}

QPixmap blankPicture(QSize size, qreal pixelRatio, const QColor& backdrop) {
    QPixmap picture(size * pixelRatio);
    picture.setDevicePixelRatio(pixelRatio);
    picture.fill(backdrop);
    return picture;
}

} // namespace

bool ValueBoxStyle::PictureKey::operator==(const PictureKey& other) const {
    return text == other.text && size == other.size && flags == other.flags && font == other.font &&
           palette == other.palette && pen == other.pen && role == other.role &&
           state == other.state && lineWidth == other.lineWidth && direction == other.direction &&
           hints == other.hints && dpi == other.dpi && pixelRatio == other.pixelRatio;
}

size_t qHash(const ValueBoxStyle::PictureKey& key, size_t seed) {
    return qHashMulti(seed, key.text, key.size.width(), key.size.height(), key.flags, key.font,
                      key.palette, key.pen, key.role, key.state);
}

ValueBoxStyle::ValueBoxStyle(QStyle* base) : QProxyStyle(base) {}

ValueBoxStyle::~ValueBoxStyle() = default;

const QPixmap* ValueBoxStyle::remember(const PictureKey& key, QPixmap picture) const {
    if (pictures_.size() >= kMostPictures) {
        pictures_.clear();
    }
    return &*pictures_.insert(key, std::move(picture));
}

// A box without a frame has nothing to draw for it; the style would still go through the
// motions on every repaint.
void ValueBoxStyle::drawControl(ControlElement element, const QStyleOption* option,
                                QPainter* painter, const QWidget* widget) const {
    if (element == CE_ShapedFrame) {
        const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
        if (frame && frame->frameShape == QFrame::NoFrame) {
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void ValueBoxStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                  QPainter* painter, const QWidget* widget) const {
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    const QColor backdrop = backdropOf(widget);
    if (element != PE_PanelLineEdit || !frame || option->rect.isEmpty() || !backdrop.isValid() ||
        !drawsOnWholePixels(painter)) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    PictureKey key;
    key.size = option->rect.size();
    key.palette = option->palette.cacheKey();
    key.state = static_cast<int>(option->state);
    key.lineWidth =
        frame->lineWidth | (frame->midLineWidth << 8) | (static_cast<int>(frame->features) << 16);
    key.direction = option->direction;
    key.pixelRatio = painter->device()->devicePixelRatio();
    key.backdrop = backdrop.rgb();
    const QPixmap* picture = nullptr;
    if (auto found = pictures_.constFind(key); found != pictures_.constEnd()) {
        picture = &*found;
    } else {
        QPixmap drawn = blankPicture(key.size, key.pixelRatio, backdrop);
        QStyleOptionFrame atOrigin(*frame);
        atOrigin.rect.moveTopLeft(QPoint(0, 0));
        {
            QPainter onPicture(&drawn);
            QProxyStyle::drawPrimitive(element, &atOrigin, &onPicture, widget);
        }
        picture = remember(key, std::move(drawn));
    }
    painter->drawPixmap(option->rect.topLeft(), *picture);
}

void ValueBoxStyle::drawItemText(QPainter* painter, const QRect& rect, int flags,
                                 const QPalette& palette, bool enabled, const QString& text,
                                 QPalette::ColorRole textRole) const {
    // Only a frameless box has nothing of its own around the text that the picture's
    // margin could cover.
    const auto* box = dynamic_cast<const QFrame*>(painter->device());
    const QColor backdrop =
        box && box->frameShape() == QFrame::NoFrame ? backdropOf(box) : QColor();
    if (text.isEmpty() || rect.isEmpty() || (flags & Qt::TextDontClip) || !backdrop.isValid() ||
        !drawsOnWholePixels(painter)) {
        QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, text, textRole);
        return;
    }
    PictureKey key;
    key.text = text;
    key.size = rect.size();
    key.flags = flags;
    key.font = painter->font();
    key.palette = palette.cacheKey();
    key.pen = painter->pen().color().rgba();
    key.role = textRole;
    key.state = enabled ? 1 : 0;
    key.direction = painter->layoutDirection();
    key.hints = static_cast<int>(painter->renderHints());
    key.dpi = painter->device()->logicalDpiY();
    key.pixelRatio = painter->device()->devicePixelRatio();
    key.backdrop = backdrop.rgb();
    const QPoint margin(kTextMargin, kTextMargin);
    const QPixmap* picture = nullptr;
    if (auto found = pictures_.constFind(key); found != pictures_.constEnd()) {
        picture = &*found;
    } else {
        QPixmap drawn = blankPicture(rect.size() + QSize(2 * kTextMargin, 2 * kTextMargin),
                                     key.pixelRatio, backdrop);
        // A font given in points is only the same size on a device of the same resolution.
        if (drawn.logicalDpiY() != key.dpi) {
            QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, text, textRole);
            return;
        }
        {
            QPainter onPicture(&drawn);
            onPicture.setFont(painter->font());
            onPicture.setPen(painter->pen());
            onPicture.setLayoutDirection(painter->layoutDirection());
            onPicture.setRenderHints(painter->renderHints());
            QProxyStyle::drawItemText(&onPicture, QRect(margin, rect.size()), flags, palette,
                                      enabled, text, textRole);
        }
        picture = remember(key, std::move(drawn));
    }
    painter->drawPixmap(rect.topLeft() - margin, *picture);
}

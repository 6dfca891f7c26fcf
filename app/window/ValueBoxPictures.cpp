#include "ValueBoxPictures.h"

// Standard library
#include <optional>

// Qt
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>

namespace {

// Room a line edit keeps around its text; a text that needs it may scroll, and a box
// that scrolls is painted as usual.
constexpr int kLineEditRoom = 12;

// The text a box shows when it can be repainted from a picture; nothing otherwise.
std::optional<QString> pictureText(const QWidget* box) {
    if (box->hasFocus()) {
        return std::nullopt;
    }
    if (const auto* label = qobject_cast<const QLabel*>(box)) {
        if (label->hasSelectedText() || !label->pixmap().isNull()) {
            return std::nullopt;
        }
        return label->text();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(box)) {
        if (!edit->isReadOnly() || edit->hasSelectedText() ||
            (edit->text().isEmpty() && !edit->placeholderText().isEmpty())) {
            return std::nullopt;
        }
        return edit->text();
    }
    return std::nullopt;
}

bool fitsWithoutScrolling(const QWidget* box, const QString& text) {
    const auto* edit = qobject_cast<const QLineEdit*>(box);
    return !edit || edit->fontMetrics().horizontalAdvance(text) + kLineEditRoom <= edit->width();
}

int stateOf(const QWidget* box) {
    int alignment = 0;
    if (const auto* label = qobject_cast<const QLabel*>(box)) {
        alignment = static_cast<int>(label->alignment());
    } else if (const auto* edit = qobject_cast<const QLineEdit*>(box)) {
        alignment = static_cast<int>(edit->alignment());
    }
    return (box->isEnabled() ? 1 : 0) | (box->isActiveWindow() ? 2 : 0) |
           (box->underMouse() ? 4 : 0) | (box->layoutDirection() == Qt::RightToLeft ? 8 : 0) |
           (alignment << 4);
}

} // namespace

bool ValueBoxPictures::Look::operator==(const Look& other) const {
    return size == other.size && palette == other.palette && font == other.font &&
           state == other.state && pixelRatio == other.pixelRatio;
}

ValueBoxPictures::ValueBoxPictures(QObject* parent) : QObject(parent) {}

ValueBoxPictures::~ValueBoxPictures() = default;

void ValueBoxPictures::watch(QWidget* box) {
    // The box's background is painted here: under a picture it would be painted for nothing.
    box->setAutoFillBackground(false);
    box->setAttribute(Qt::WA_OpaquePaintEvent);
    box->installEventFilter(this);
    connect(box, &QObject::destroyed, this, [this](QObject* gone) { boxes_.remove(gone); });
}

qsizetype ValueBoxPictures::pictureCount(const QWidget* box) const {
    const auto found = boxes_.constFind(box);
    return found == boxes_.constEnd() ? 0 : found->pictures.size();
}

bool ValueBoxPictures::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Paint || !watched->isWidgetType()) {
        return QObject::eventFilter(watched, event);
    }
    auto* box = static_cast<QWidget*>(watched);
    if (!takingPicture_ && paintFromPicture(box)) {
        return true;
    }
    const auto* paint = static_cast<QPaintEvent*>(event);
    QPainter painter(box);
    painter.fillRect(paint->rect(), box->palette().brush(box->backgroundRole()));
    return false; // the box paints itself on its background
}

// A box shown with a text for the first time paints itself; its picture is taken right
// after, outside the paint, for the next time.
bool ValueBoxPictures::paintFromPicture(QWidget* box) {
    const std::optional<QString> text = pictureText(box);
    if (!text) {
        return false;
    }
    const Look look{box->size(), box->palette().cacheKey(), box->font(), stateOf(box),
                    box->devicePixelRatioF()};
    Box& entry = boxes_[box];
    if (!(entry.look == look)) {
        entry.look = look;
        entry.pictures.clear();
    }
    if (const auto found = entry.pictures.constFind(*text); found != entry.pictures.constEnd()) {
        QPainter painter(box);
        painter.drawPixmap(0, 0, *found);
        return true;
    }
    if (!entry.pictureWanted) {
        entry.pictureWanted = true;
        QTimer::singleShot(0, this, [this, guarded = QPointer<QWidget>(box)] {
            if (guarded) {
                takePicture(guarded);
            }
        });
    }
    return false;
}

// Rendered from the box alone, off screen: whatever else the window paints where the box
// sits (a sibling over it, a menu, a tooltip) can never end up in its pictures.
void ValueBoxPictures::takePicture(QWidget* box) {
    Box& entry = boxes_[box];
    entry.pictureWanted = false;
    const std::optional<QString> text = pictureText(box);
    if (!text || !box->isVisible() || entry.pictures.contains(*text) ||
        !fitsWithoutScrolling(box, *text)) {
        return;
    }
    const Look look{box->size(), box->palette().cacheKey(), box->font(), stateOf(box),
                    box->devicePixelRatioF()};
    if (!(entry.look == look)) {
        entry.look = look;
        entry.pictures.clear();
    }
    if (entry.pictures.size() >= kMostPicturesPerBox) {
        entry.pictures.clear();
    }
    QPixmap picture(look.size * look.pixelRatio);
    picture.setDevicePixelRatio(look.pixelRatio);
    takingPicture_ = true;
    box->render(&picture, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    takingPicture_ = false;
    entry.pictures.insert(*text, picture);
}

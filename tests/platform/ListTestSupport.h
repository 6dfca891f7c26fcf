#pragma once

// Operator input and a fake volume list for the list widget tests.

// Standard library
#include <vector>

// Qt
#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QStringList>

// Ours
#include "VolumeList.h"

namespace listtest {

class FakeVolumeList : public VolumeList {
public:
    explicit FakeVolumeList(std::vector<Volume> volumes) : volumes_(std::move(volumes)) {}
    std::vector<Volume> volumes() const override { return volumes_; }

private:
    std::vector<Volume> volumes_;
};

// Returns whether the widget accepted the key press.
inline bool pressKey(QWidget* widget, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
    return press.isAccepted();
}

inline void sendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), Qt::LeftButton, held,
                      Qt::NoModifier, QPointingDevice::primaryPointingDevice());
    QApplication::sendEvent(target, &event);
}

// A left click on the row `row` of an item view, as the operator's mouse delivers it.
inline void clickRow(QAbstractItemView* view, int row) {
    const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
    sendMouse(view->viewport(), QEvent::MouseButtonPress, at, Qt::LeftButton);
    sendMouse(view->viewport(), QEvent::MouseButtonRelease, at, Qt::NoButton);
}

inline void doubleClickRow(QAbstractItemView* view, int row) {
    const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
    clickRow(view, row);
    sendMouse(view->viewport(), QEvent::MouseButtonDblClick, at, Qt::LeftButton);
    sendMouse(view->viewport(), QEvent::MouseButtonRelease, at, Qt::NoButton);
}

// What the list shows, row by row.
inline QStringList texts(const QListWidget& list) {
    QStringList result;
    for (int row = 0; row < list.count(); ++row) {
        result << list.item(row)->text();
    }
    return result;
}

} // namespace listtest

#pragma once

// Observing and driving the main window through its widgets.

// Qt
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

// Ours
#include "frmMain.h"

namespace probe {

template <typename T> T* child(QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

inline QString text(QWidget& window, const char* name) {
    if (auto* label = child<QLabel>(window, name)) {
        return label->text();
    }
    if (auto* edit = child<QLineEdit>(window, name)) {
        return edit->text();
    }
    return QStringLiteral("<no widget %1>").arg(QString::fromLatin1(name));
}

// A mouse event on the display's viewport at an image position (the display is not
// scrolled in these tests, so image and viewport positions agree).
inline void mouse(frmMain& window, QEvent::Type type, Qt::MouseButton button,
                  Qt::MouseButtons buttons, QPoint at) {
    QWidget* viewport = window.KeshDisplayEx1->viewport();
    QMouseEvent event(type, at, viewport->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

inline void click(QWidget& window, const char* button) {
    QTest::mouseClick(child<QPushButton>(window, button), Qt::LeftButton);
}

} // namespace probe

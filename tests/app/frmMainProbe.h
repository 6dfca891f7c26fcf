#pragma once

// Test access to the main window's private state.

// Qt
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

// Ours
#include "frmMain.h"

class frmMainProbe {
public:
    static CircleFigure& circle(frmMain& window) { return window.objCircle; }
    static void judge(frmMain& window, double average) { window.JudgeDensity(average); }
    static bool videoReady(const frmMain& window) { return window.blnVideoReady; }
    static const QString& confFilePath(const frmMain& window) { return window.strConfFilePath; }
    static int videoCloseCount(const frmMain& window) { return window.videoCloseCount_; }
    static void usePelmint(frmMain& window, PelmintBinding& binding) { window.pelmint_ = &binding; }
};

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

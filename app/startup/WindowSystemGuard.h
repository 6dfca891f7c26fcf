#pragma once

// Qt
#include <QByteArray>
#include <QCoreApplication>
#include <QtGlobal>

// Held while the application object connects to the window system. Qt ends a program that
// finds no display with an abort and several lines of advice; under this guard that becomes
// one line on standard error and exit status 1. Other messages of the start are held back and
// passed on once the guard goes.
class WindowSystemGuard {
    Q_DECLARE_TR_FUNCTIONS(WindowSystemGuard)

public:
    // `noDisplayLine` is told when the window system cannot be reached.
    explicit WindowSystemGuard(const QString& noDisplayLine);
    ~WindowSystemGuard();
    WindowSystemGuard(const WindowSystemGuard&) = delete;
    WindowSystemGuard& operator=(const WindowSystemGuard&) = delete;

    static QString noDisplayLine();

private:
    QtMessageHandler previous_;
};

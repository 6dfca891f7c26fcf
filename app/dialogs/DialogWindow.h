#pragma once

// Qt
#include <QDialog>

// A dialog without a default or cancel button: Enter presses a button only when that
// button has the focus, and Escape does nothing.
class DialogWindow : public QDialog {
    Q_OBJECT

public:
    explicit DialogWindow(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

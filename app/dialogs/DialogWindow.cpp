#include "DialogWindow.h"

// Qt
#include <QKeyEvent>
#include <QPushButton>

DialogWindow::DialogWindow(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags) {}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        // QDialog would reject; this dialog has no cancel button.
        event->accept();
        return;
    case Qt::Key_Enter:
    case Qt::Key_Return: {
        // Buttons are not auto-default (QDialog would promote the first one to default),
        // so a focused button passes Enter on to here.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget());
            button != nullptr && button->isEnabled()) {
            button->click();
        }
        event->accept();
        return;
    }
    default:
        QDialog::keyPressEvent(event);
    }
}

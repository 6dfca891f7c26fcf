#include "DesktopMessageBox.h"

// Qt
#include <QApplication>
#include <QMessageBox>

void DesktopMessageBox::present(const QString& text, int style, const QString& title) {
    const QMessageBox::Icon icon = style == Exclamation   ? QMessageBox::Warning
                                   : style == Information ? QMessageBox::Information
                                                          : QMessageBox::NoIcon;
    QMessageBox box(icon, title.isEmpty() ? QApplication::applicationDisplayName() : title, text,
                    QMessageBox::Ok);
    box.exec();
}

// Qt
#include <QApplication>

// Ours
#include "frmMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gavrel"));

    frmMain mainWindow;
    mainWindow.Form_Load();
    // The program ends when its last window has gone.
    return app.exec();
}

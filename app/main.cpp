// Qt
#include <QApplication>
#include <QFont>
#include <QSettings>

// Ours
#include "RecordMenu.h"
#include "RecordSettings.h"
#include "RecordStore.h"
#include "frmMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gavrel"));
    // The fixed layouts were drawn for a compact user-interface font; at 11 pixels the
    // longest captions (the chooser's check box, the help line) fit their boxes.
    QFont font = QApplication::font();
    font.setPixelSize(11);
    QApplication::setFont(font);

    Services services;
    frmMain mainWindow(services);
    QSettings settings;
    RecordStore records(RecordSettings(settings).config());
    RecordMenu recordMenu(mainWindow, records, settings);
    mainWindow.Form_Load();
    // The program ends when its last window has gone.
    return app.exec();
}

// Qt
#include <QApplication>
#include <QFont>
#include <QSettings>

// Ours
#include "MessageBox.h"
#include "RecipeFile.h"
#include "RecordMenu.h"
#include "RecordSettings.h"
#include "RecordStore.h"
#include "frmMain.h"

namespace {

// `--recipe FILE` (or `--recipe=FILE`): start with an inspection recipe.
QString recipeOption(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--recipe") && i + 1 < arguments.size()) {
            return arguments[i + 1];
        }
        if (arguments[i].startsWith(QLatin1String("--recipe="))) {
            return arguments[i].mid(9);
        }
    }
    return QString();
}

} // namespace

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
    if (const QString recipePath = recipeOption(QApplication::arguments()); !recipePath.isEmpty()) {
        const RecipeFile::ReadResult recipe = RecipeFile::read(recipePath);
        if (recipe.recipe) {
            mainWindow.useRecipeAtStartup(*recipe.recipe);
        } else {
            services.messages->show(QStringLiteral("レシピを開けませんでした。\r\n") + recipePath +
                                        QStringLiteral("\r\n") + recipe.error,
                                    MessageBox::Exclamation, QStringLiteral("レシピ"));
        }
    }
    QSettings settings;
    RecordStore records(RecordSettings(settings).config());
    RecordMenu recordMenu(mainWindow, records, settings);
    mainWindow.Form_Load();
    // The program ends when its last window has gone.
    return app.exec();
}

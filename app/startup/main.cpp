// Standard library
#include <cstdio>
#include <memory>

// Qt
#include <QApplication>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

// Ours
#include "AboutGavrel.h"
#include "CommandLine.h"
#include "DesktopIdentity.h"
#include "GavrelVersion.h"
#include "InspectionRecorder.h"
#include "InterfaceFont.h"
#include "LineMenu.h"
#include "MessageBox.h"
#include "PelmintBinding.h"
#include "ProcessSignals.h"
#include "ProgramFolder.h"
#include "RecipeFile.h"
#include "RecordMenu.h"
#include "RecordSettings.h"
#include "RecordStore.h"
#include "Services.h"
#include "SettingsHome.h"
#include "Translations.h"
#include "WindowSystemGuard.h"
#include "frmMain.h"

namespace {

void print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

void nameTheApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Gavrel"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(gavrel::kVersion));
}

} // namespace

int main(int argc, char** argv) {
    // A save beyond the file-size limit must fail, not end the program.
    ProcessSignals::ignoreFileSizeLimit();
    QString noDisplayLine;
    QString recipePath;
    {
        // The options are answered before any window system is touched.
        const QCoreApplication options(argc, argv);
        nameTheApplication();
        Translations::install(QLocale(), Translations::folderOfThisProgram());
        CommandLine commandLine;
        switch (commandLine.read(QCoreApplication::arguments())) {
        case CommandLine::Action::ShowHelp:
            print(stdout, commandLine.helpText());
            return 0;
        case CommandLine::Action::ShowVersion:
            print(stdout,
                  CommandLine::versionText(PelmintBinding(ProgramFolder::path()).version()));
            return 0;
        case CommandLine::Action::Refuse:
            print(stderr, QStringLiteral("Gavrel: %1\n").arg(commandLine.refusal()));
            return 1;
        case CommandLine::Action::OpenWindow:
            break;
        }
        recipePath = commandLine.recipePath();
        noDisplayLine = WindowSystemGuard::noDisplayLine();
    }

    auto guard = std::make_unique<WindowSystemGuard>(noDisplayLine);
    QApplication app(argc, argv);
    guard.reset();
    nameTheApplication();
    SettingsHome::use();
    DesktopIdentity::apply(ProgramFolder::path());
    Translations::install(QLocale(), Translations::folderOfThisProgram());
    // The fixed layouts were drawn for a compact user-interface font; at 11 pixels the
    // longest captions (the chooser's check box, the help line) fit their boxes.
    QApplication::setFont(InterfaceFont::compact(QApplication::font()));

    Services services;
    frmMain mainWindow(services);
    if (!recipePath.isEmpty()) {
        const RecipeFile::ReadResult recipe = RecipeFile::read(recipePath);
        if (recipe.recipe) {
            mainWindow.useRecipeAtStartup(*recipe.recipe);
        } else {
            services.messages->show(
                QCoreApplication::translate("main", "レシピを開けませんでした。\r\n") + recipePath +
                    QStringLiteral("\r\n") + recipe.error,
                MessageBox::Exclamation, QCoreApplication::translate("main", "レシピ"));
        }
    }
    QSettings settings;
    RecordStore records(RecordSettings(settings).config());
    RecordMenu recordMenu(mainWindow, records, settings);
    // ヘルプ stays the last menu.
    AboutGavrel::addManualEntry(*mainWindow.menuBar()->actions().constLast()->menu(),
                                *services.messages, services.programFolder);
    InspectionRecorder recorder(&records);
    mainWindow.setRecorder(&recorder);
    LineMenu lineMenu(mainWindow, settings);
    mainWindow.Form_Load();
    // The program ends when its last window has gone.
    return app.exec();
}

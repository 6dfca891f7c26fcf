#pragma once

// Qt
#include <QLocale>
#include <QString>

// The languages of the window. Japanese is the program's own; the English translation in
// `folder` is loaded when the locale's language is English. Qt's own texts (the buttons of
// standard dialogs) follow the locale.
namespace Translations {

// Installs the translators into the running application object, which owns them.
void install(const QLocale& locale, const QString& folder);

// The folder of the program's translations, as installed and in a build.
QString folderOfThisProgram();

} // namespace Translations

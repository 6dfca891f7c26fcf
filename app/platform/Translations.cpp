#include "Translations.h"

// Qt
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

// Ours
#include "ProgramFolder.h"
#include "StartFolders.h"

namespace Translations {

void install(const QLocale& locale, const QString& folder) {
    QCoreApplication* application = QCoreApplication::instance();
    auto* qt = new QTranslator(application);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt);
    }
    if (locale.language() == QLocale::English) {
        auto* own = new QTranslator(application);
        if (own->load(QStringLiteral("gavrel_en"), folder)) {
            QCoreApplication::installTranslator(own);
        }
    }
}

QString folderOfThisProgram() {
    return StartFolders::installedDataFolder(ProgramFolder::path()) +
           QStringLiteral("/translations");
}

} // namespace Translations

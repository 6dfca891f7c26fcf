// Qt
#include <QCoreApplication>
#include <QTranslator>

// Ours
#include "ErrorTitle.h"
#include "ServiceFakes.h"
#include "Translations.h"
#include "frmMain.h"

#include <gtest/gtest.h>

namespace {

const QString kJapaneseTitle = QStringLiteral("KeshVovadu - 手動センサボールによる平均濃度検査");

// Installs the translators for `locale` for the life of the object.
class Installed {
public:
    explicit Installed(const QLocale& locale) {
        Translations::install(locale, Translations::folderOfThisProgram());
    }
    ~Installed() {
        for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;
};

QString windowTitleUnder(const QLocale& locale) {
    const Installed installed(locale);
    frmMain window(fakes::services(std::make_shared<fakes::MessageRecorder>()));
    return window.windowTitle();
}

} // namespace

TEST(TranslationsTest, EnglishLocalesGetTheEnglishWindowOthersKeepTheJapaneseOne) {
    struct Case {
        QLocale locale;
        bool english;
    };
    for (const Case& c :
         {Case{QLocale(QLocale::English, QLocale::UnitedStates), true},
          Case{QLocale(QLocale::English, QLocale::UnitedKingdom), true},
          Case{QLocale(QLocale::Japanese, QLocale::Japan), false},
          Case{QLocale(QLocale::German, QLocale::Germany), false}, Case{QLocale::c(), false}}) {
        const QString title = windowTitleUnder(c.locale);
        if (c.english) {
            EXPECT_TRUE(title.startsWith(QStringLiteral("KeshVovadu - ")));
            EXPECT_NE(title, kJapaneseTitle);
            EXPECT_FALSE(title.contains(QStringLiteral("検査")));
        } else {
            EXPECT_EQ(title, kJapaneseTitle) << c.locale.name().toStdString();
        }
    }
}

TEST(TranslationsTest, QtsOwnButtonsFollowTheLocale) {
    {
        const Installed japanese(QLocale(QLocale::Japanese, QLocale::Japan));
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                  QStringLiteral("キャンセル"));
        EXPECT_EQ(ErrorTitle::text(), QStringLiteral("エラー"));
    }
    {
        const Installed english(QLocale(QLocale::English, QLocale::UnitedStates));
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                  QStringLiteral("Cancel"));
        EXPECT_EQ(ErrorTitle::text(), QStringLiteral("Error"));
    }
}

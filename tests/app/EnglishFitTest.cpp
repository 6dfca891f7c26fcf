// Every caption of the fixed-pixel windows, rendered in its widget with the declared font, fits
// its box: in English, whose words are longer than the Japanese the boxes were drawn for, and in
// Japanese.

// Standard library
#include <algorithm>
#include <vector>

// Qt
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStatusBar>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTranslator>

// Ours
#include "InterfaceFont.h"
#include "RecordSettings.h"
#include "ServiceFakes.h"
#include "Translations.h"
#include "frmFileLoad.h"
#include "frmFileSave.h"
#include "frmMain.h"
#include "frmRecordSettings.h"
#include "frmSelectVideoConfFile.h"

#include <gtest/gtest.h>

namespace {

// The translators of `locale` and the program's font, for the life of the object.
class Shown {
public:
    explicit Shown(const QLocale& locale) : font_(QApplication::font()) {
        Translations::install(locale, Translations::folderOfThisProgram());
        QApplication::setFont(InterfaceFont::compact(font_));
    }
    ~Shown() {
        for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
        QApplication::setFont(font_);
    }
    Shown(const Shown&) = delete;
    Shown& operator=(const Shown&) = delete;

private:
    QFont font_;
};

QString withoutMnemonic(QString text) {
    return text.replace(QStringLiteral("&&"), QStringLiteral("\x01"))
        .remove(QLatin1Char('&'))
        .replace(QStringLiteral("\x01"), QStringLiteral("&"));
}

// "<object>: '<text>' needs N px, has M" for every caption in `root` that does not fit its box.
std::vector<std::string> clipped(QWidget& root) {
    std::vector<std::string> found;
    auto check = [&](QWidget* w, const QString& text, int need, int have) {
        if (need > have) {
            found.push_back(QStringLiteral("%1 %2: '%3' needs %4 px, has %5")
                                .arg(root.objectName(), w->objectName(), text)
                                .arg(need)
                                .arg(have)
                                .toStdString());
        }
    };
    for (QWidget* w : root.findChildren<QWidget*>()) {
        const QFontMetrics metrics = w->fontMetrics();
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
            QRect box = label->contentsRect();
            const int margin = label->margin();
            box.adjust(margin, margin, -margin, -margin);
            const QString text = label->text();
            if (label->wordWrap()) {
                const QRect need =
                    metrics.boundingRect(box, int(label->alignment()) | Qt::TextWordWrap, text);
                check(w, text, need.width(), box.width());
                check(w, text + QStringLiteral(" (height)"), need.height(), box.height());
            } else {
                int widest = 0;
                for (const QString& line : text.split(QLatin1Char('\n'))) {
                    widest = std::max(widest, metrics.horizontalAdvance(line));
                }
                check(w, text, widest, box.width());
            }
        } else if (auto* choice = qobject_cast<QAbstractButton*>(w);
                   choice && (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))) {
            // The text is drawn in the contents rectangle beside the indicator, and clipped there.
            QStyleOptionButton option;
            option.initFrom(choice);
            option.text = choice->text();
            const QRect contents = choice->style()->subElementRect(
                qobject_cast<QCheckBox*>(w) ? QStyle::SE_CheckBoxContents
                                            : QStyle::SE_RadioButtonContents,
                &option, choice);
            check(w, choice->text(), metrics.horizontalAdvance(withoutMnemonic(choice->text())),
                  contents.width());
        } else if (auto* button = qobject_cast<QPushButton*>(w);
                   button && !button->text().isEmpty()) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QRect contents =
                button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            check(w, button->text(), metrics.horizontalAdvance(withoutMnemonic(button->text())),
                  contents.width());
        } else if (auto* group = qobject_cast<QGroupBox*>(w); group && !group->title().isEmpty()) {
            // The title sits in the frame's top edge with a few pixels of frame on each side.
            check(w, group->title(), metrics.horizontalAdvance(group->title()) + 16,
                  group->width());
        }
    }
    return found;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

} // namespace

TEST(EnglishFitTest, TheDeclaredProportionalFontIsTheOneUsed) {
    const QFontInfo used(InterfaceFont::compact(QApplication::font()));
    EXPECT_EQ(used.family(), QStringLiteral("Liberation Sans"))
        << "fonts-liberation2 (scripts/packages.txt, group run) is not installed";
    EXPECT_FALSE(used.fixedPitch());
    EXPECT_EQ(used.pixelSize(), 11);
}

TEST(EnglishFitTest, EveryCaptionFitsItsBoxInEnglishAndInJapanese) {
    for (const QLocale& locale :
         {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::Japanese)}) {
        const Shown shown(locale);
        const std::string language = locale.name().toStdString();
        QTemporaryDir home;
        QSettings settings(home.filePath("settings.conf"), QSettings::IniFormat);
        RecordSettings recordSettings(settings);

        frmMain main(fakes::services(std::make_shared<fakes::MessageRecorder>()));
        main.setObjectName("frmMain");
        frmSelectVideoConfFile chooser(fakes::services(std::make_shared<fakes::MessageRecorder>()));
        frmFileLoad loader(fakes::services(std::make_shared<fakes::MessageRecorder>()));
        frmFileSave saver(fakes::services(std::make_shared<fakes::MessageRecorder>()));
        frmRecordSettings recordSettingsWindow(recordSettings);
        // The file dialogs load their windows when given a pattern.
        loader.setStrPattern(QStringLiteral("*.bmp"));
        saver.setStrPattern(QStringLiteral("*.bmp"));
        const QWidgetList windows = QApplication::topLevelWidgets();
        ASSERT_GE(windows.size(), 5) << language;
        for (QWidget* window : windows) {
            window->ensurePolished();
            const std::vector<std::string> found = clipped(*window);
            EXPECT_TRUE(found.empty()) << language << "\n" << joined(found);
        }
    }
}

TEST(EnglishFitTest, StatusLineReadoutsHoldTheirLongestTextsBesideTheRecordState) {
    for (const QLocale& locale :
         {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::Japanese)}) {
        const Shown shown(locale);
        const std::string language = locale.name().toStdString();
        frmMain main(fakes::services(std::make_shared<fakes::MessageRecorder>()));
        main.setObjectName("frmMain");
        auto* pointer = main.findChild<QLabel*>("lblPointer");
        auto* live = main.findChild<QLabel*>("lblLive");
        ASSERT_TRUE(pointer && live);
        pointer->setText(QCoreApplication::translate("frmMain", "X %1  Y %2  濃度 %3")
                             .arg(511)
                             .arg(479)
                             .arg(255));
        live->setText(QCoreApplication::translate("frmMain", "ライブ %1 fps  取込→判定 %2 ms")
                          .arg(99)
                          .arg(999));
        const std::vector<std::string> found = clipped(main);
        EXPECT_TRUE(found.empty()) << language << "\n" << joined(found);

        // The record's state shares the line: the readouts and its longest text fit the window.
        int widestState = 0;
        for (const QString& state :
             {QCoreApplication::translate("RecordMenu", "記録 OK"),
              QCoreApplication::translate("RecordMenu", "記録 待機 %1件").arg(99999),
              QCoreApplication::translate("RecordMenu", "記録 エラー")}) {
            widestState = std::max(widestState, live->fontMetrics().horizontalAdvance(state));
        }
        const int spacing = 12; // the status line's gaps between its widgets
        EXPECT_LE(pointer->width() + live->width() + widestState + spacing, main.width())
            << language;
    }
}

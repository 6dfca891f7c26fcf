// The save-image dialog shown modally and driven from inside its loop, on fake volumes.

// Standard library
#include <vector>

// Qt
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// Ours
#include "DialogTestKit.h"
#include "FileListBox.h"
#include "MessageBox.h"
#include "ServiceFakes.h"
#include "frmFileSave.h"

#include <gtest/gtest.h>

using namespace dialogtest;

namespace {

class FileSaveTest : public testing::Test {
protected:
    FileSaveTest()
        : programFolder(volumes.mkdir(QStringLiteral("volA/gavrel"))),
          dottedFolder(volumes.mkdir(QStringLiteral("volA/gavrel/v1.2"))),
          save(volumes.services(messages, programFolder)) {
        volumes.write(QStringLiteral("volA/gavrel/old.bmp"));
        volumes.write(QStringLiteral("volA/gavrel/notes.txt"));
        QDir::setCurrent(volumes.mkdir(QStringLiteral("volC/work")));
        save.setStrDefaultExtension(QStringLiteral("bmp"));
        save.setStrPattern(QStringLiteral("*.bmp"));
    }

    struct Window {
        QDialog* dialog;
        DriveListBox* drive;
        DirListBox* folder;
        FileListBox* files;
        QLineEdit* name;
        QPushButton* ok;
        QPushButton* cancel;
    };

    void show(const std::function<void(const Window&)>& operate) {
        whileShown(
            QStringLiteral("frmFileSave"), [this] { save.showModal(); },
            [&](QDialog& dialog) {
                operate({&dialog, dialog.findChild<DriveListBox*>(QStringLiteral("drvFile")),
                         dialog.findChild<DirListBox*>(QStringLiteral("dirFile")),
                         dialog.findChild<FileListBox*>(QStringLiteral("filFile")),
                         dialog.findChild<QLineEdit*>(QStringLiteral("txtFilename")),
                         dialog.findChild<QPushButton*>(QStringLiteral("cmdOK")),
                         dialog.findChild<QPushButton*>(QStringLiteral("cmdCancel"))});
            });
    }

    // Types `name` in the folder `folder` and presses OK.
    QString saveAs(const QString& folder, const QString& name) {
        show([&](const Window& window) {
            if (window.folder->path() != folder) {
                openFolder(*window.folder, folder);
            }
            QTest::keyClicks(window.name, name);
            QTest::mouseClick(window.ok, Qt::LeftButton);
        });
        return save.strFilePath();
    }

    const std::shared_ptr<fakes::MessageRecorder> messages =
        std::make_shared<fakes::MessageRecorder>();
    Volumes volumes;
    const QString programFolder;
    const QString dottedFolder;
    frmFileSave save;
};

TEST_F(FileSaveTest, OpensWithFocusOnCancelAnEmptyNameAndItsLayout) {
    show([&](const Window& window) {
        EXPECT_EQ(window.dialog->windowTitle(), QStringLiteral("ファイル保存"));
        EXPECT_EQ(window.dialog->size(), QSize(468, 234));
        EXPECT_EQ(window.dialog->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                  QStringLiteral("保存ファイル名"));
        EXPECT_EQ(window.name->geometry(), QRect(240, 24, 225, 22));
        EXPECT_EQ(window.ok->geometry(), QRect(256, 204, 97, 25));
        EXPECT_EQ(window.dialog->focusWidget(), window.cancel);
        QWidget* expectedChain[] = {window.cancel, window.ok,    window.files,
                                    window.folder, window.drive, window.name};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(nextFocusable(expectedChain[i]), expectedChain[i + 1]) << i;
        }
        EXPECT_TRUE(window.name->text().isEmpty());
        EXPECT_EQ(window.folder->path(), programFolder);
        EXPECT_EQ(itemTexts(*window.files), QStringList({"old.bmp"}));

        // Enter presses the focused button only: here Cancel.
        QTest::keyClick(window.cancel, Qt::Key_Return);
        EXPECT_FALSE(window.dialog->isVisible());
    });
    EXPECT_TRUE(save.strFilePath().isEmpty());
}

TEST_F(FileSaveTest, DefaultExtensionOnlyWhenTheWholePathHasNoDot) {
    const QChar separator = QDir::separator();
    struct Case {
        QString folder;
        QString typed;
        QString expected;
    };
    const std::vector<Case> cases = {
        {programFolder, "shot", programFolder + separator + "shot.bmp"},
        {programFolder, "shot.png", programFolder + separator + "shot.png"},
        {programFolder, "shot.", programFolder + separator + "shot."},
        {dottedFolder, "shot", dottedFolder + separator + "shot"},
        {programFolder, "   ", programFolder + separator + "   .bmp"},
        {volumes.a, "top", volumes.a + separator + "top.bmp"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(saveAs(c.folder, c.typed), c.expected) << c.typed.toStdString();
    }
    EXPECT_TRUE(messages->records().empty());
}

TEST_F(FileSaveTest, EmptyNameWarnsAndClickedFileFillsTheName) {
    show([&](const Window& window) {
        QTest::mouseClick(window.ok, Qt::LeftButton);
        ASSERT_EQ(messages->records().size(), 1U);
        EXPECT_EQ(messages->records()[0].text, QStringLiteral("ファイル名を入力してください"));
        EXPECT_EQ(messages->records()[0].style, MessageBox::Exclamation);
        EXPECT_EQ(messages->records()[0].title, QStringLiteral("エラー"));
        EXPECT_TRUE(window.dialog->isVisible());

        clickItem(*window.files, QStringLiteral("old.bmp"));
        EXPECT_EQ(window.name->text(), QStringLiteral("old.bmp"));
        // Clicking the selected file again puts its name back over an edited one.
        window.name->setText(QStringLiteral("edited"));
        clickItem(*window.files, QStringLiteral("old.bmp"));
        EXPECT_EQ(window.name->text(), QStringLiteral("old.bmp"));
        // A folder change clears the selection, not the typed name.
        openFolder(*window.folder, dottedFolder);
        EXPECT_EQ(window.name->text(), QStringLiteral("old.bmp"));
        QTest::mouseClick(window.ok, Qt::LeftButton);
    });
    EXPECT_EQ(save.strFilePath(), dottedFolder + QDir::separator() + QStringLiteral("old.bmp"));
}

TEST_F(FileSaveTest, ReopeningForgetsTheEarlierNameFolderAndPath) {
    ASSERT_FALSE(saveAs(dottedFolder, QStringLiteral("first")).isEmpty());

    show([&](const Window& window) {
        EXPECT_TRUE(window.name->text().isEmpty());
        EXPECT_EQ(window.dialog->focusWidget(), window.cancel);
        EXPECT_EQ(window.folder->path(), programFolder);
        QTest::mouseClick(window.cancel, Qt::LeftButton);
    });
    EXPECT_TRUE(save.strFilePath().isEmpty());

    ASSERT_FALSE(saveAs(programFolder, QStringLiteral("second")).isEmpty());
    // Closed by the close box with a name typed: nothing to overwrite.
    show([&](const Window& window) {
        QTest::keyClicks(window.name, QStringLiteral("old.bmp"));
        window.dialog->close();
    });
    EXPECT_TRUE(save.strFilePath().isEmpty());
}

TEST_F(FileSaveTest, DriveNotReadyShowsAnUntitledPlainMessage) {
    show([&](const Window& window) {
        chooseDrive(*window.drive, volumes.b);
        ASSERT_EQ(messages->records().size(), 1U);
        EXPECT_EQ(messages->records()[0].text, errorText(volumes, volumes.b));
        EXPECT_EQ(messages->records()[0].style, MessageBox::OkOnly);
        EXPECT_TRUE(messages->records()[0].title.isEmpty());
        EXPECT_EQ(window.drive->drive(), volumes.a);
        EXPECT_EQ(window.folder->path(), volumes.a);
    });
}

} // namespace

// The open-image dialog shown modally and driven from inside its loop, on fake volumes.

// Qt
#include <QLabel>
#include <QPushButton>

// Ours
#include "DialogTestKit.h"
#include "FileListBox.h"
#include "MessageBox.h"
#include "ServiceFakes.h"
#include "frmFileLoad.h"

#include <gtest/gtest.h>

using namespace dialogtest;

namespace {

class FileLoadTest : public testing::Test {
protected:
    // The program's folder on volume A, images in it and in a sub-folder; the process's
    // current folder elsewhere, on volume C.
    FileLoadTest()
        : programFolder(volumes.mkdir(QStringLiteral("volA/gavrel"))),
          load(volumes.services(messages, programFolder)) {
        volumes.write(QStringLiteral("volA/gavrel/a.bmp"));
        volumes.write(QStringLiteral("volA/gavrel/b.BMP"));
        volumes.write(QStringLiteral("volA/gavrel/readme.txt"));
        volumes.write(QStringLiteral("volA/gavrel/older/c.bmp"));
        volumes.write(QStringLiteral("volA/top.bmp"));
        QDir::setCurrent(volumes.mkdir(QStringLiteral("volC/work")));
    }

    struct Window {
        QDialog* dialog;
        DriveListBox* drive;
        DirListBox* folder;
        FileListBox* files;
        QPushButton* ok;
        QPushButton* cancel;
    };
    static Window windowOf(QDialog& dialog) {
        return {&dialog,
                dialog.findChild<DriveListBox*>(QStringLiteral("drvFile")),
                dialog.findChild<DirListBox*>(QStringLiteral("dirFile")),
                dialog.findChild<FileListBox*>(QStringLiteral("filFile")),
                dialog.findChild<QPushButton*>(QStringLiteral("cmdOK")),
                dialog.findChild<QPushButton*>(QStringLiteral("cmdCancel"))};
    }

    void show(const std::function<void(const Window&)>& operate) {
        whileShown(
            QStringLiteral("frmFileLoad"), [this] { load.showModal(); },
            [&](QDialog& dialog) { operate(windowOf(dialog)); });
    }

    static void choose(const Window& window, const QString& file) {
        clickItem(*window.files, file);
        QTest::mouseClick(window.ok, Qt::LeftButton);
    }

    const std::shared_ptr<fakes::MessageRecorder> messages =
        std::make_shared<fakes::MessageRecorder>();
    Volumes volumes;
    const QString programFolder;
    frmFileLoad load;
};

TEST_F(FileLoadTest, OpensInTheProgramFolderWithThePatternAndItsLayout) {
    load.setStrPattern(QStringLiteral("*.bmp"));
    show([&](const Window& window) {
        EXPECT_EQ(window.dialog->windowTitle(), QStringLiteral("ファイル読込み"));
        EXPECT_EQ(window.dialog->size(), QSize(468, 233));
        EXPECT_TRUE(window.dialog->windowFlags() & Qt::WindowMinMaxButtonsHint);
        EXPECT_TRUE(window.dialog->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_EQ(window.dialog->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                  QStringLiteral("ファイル"));
        EXPECT_EQ(window.files->geometry(), QRect(240, 72, 225, 126));
        EXPECT_EQ(window.cancel->geometry(), QRect(368, 204, 97, 25));
        EXPECT_EQ(window.dialog->focusWidget(), window.drive);
        EXPECT_FALSE(window.ok->isDefault() || window.cancel->isDefault());

        EXPECT_EQ(window.drive->drive(), volumes.a);
        EXPECT_EQ(window.folder->path(), programFolder);
        EXPECT_EQ(native(window.files->path()), programFolder);
        EXPECT_EQ(itemTexts(*window.files), QStringList({"a.bmp", "b.BMP"}));
        EXPECT_EQ(window.files->listIndex(), -1);

        // Escape is no cancel button: the window stays.
        QTest::keyClick(window.files, Qt::Key_Escape);
        EXPECT_TRUE(window.dialog->isVisible());
        QTest::mouseClick(window.cancel, Qt::LeftButton);
    });
    EXPECT_TRUE(load.strFilePath().isEmpty());
    EXPECT_TRUE(messages->records().empty());
}

TEST_F(FileLoadTest, OkWithoutFileWarnsThenChosenFileGivesFolderAndName) {
    show([&](const Window& window) {
        QTest::mouseClick(window.ok, Qt::LeftButton);
        ASSERT_EQ(messages->records().size(), 1U);
        EXPECT_EQ(messages->records()[0].text, QStringLiteral("ファイルが選択されていません｡"));
        EXPECT_EQ(messages->records()[0].style, MessageBox::Exclamation);
        EXPECT_EQ(messages->records()[0].title, QStringLiteral("エラー"));
        EXPECT_TRUE(window.dialog->isVisible());

        // Double-clicking a file only selects it.
        openFolder(*window.folder, programFolder + QDir::separator() + QStringLiteral("older"));
        clickItem(*window.files, QStringLiteral("c.bmp"));
        QTest::mouseDClick(window.files->viewport(), Qt::LeftButton, {},
                           window.files->visualItemRect(window.files->item(0)).center());
        EXPECT_TRUE(window.dialog->isVisible());
        QTest::mouseClick(window.ok, Qt::LeftButton);
    });
    EXPECT_EQ(load.strFilePath(), programFolder + QDir::separator() + QStringLiteral("older") +
                                      QDir::separator() + QStringLiteral("c.bmp"));
}

TEST_F(FileLoadTest, FileAtTheDriveRootGetsTheRootsOwnSeparatorOnly) {
    show([&](const Window& window) {
        openFolder(*window.folder, volumes.a);
        choose(window, QStringLiteral("top.bmp"));
    });
    EXPECT_EQ(load.strFilePath(), volumes.a + QDir::separator() + QStringLiteral("top.bmp"));
    EXPECT_FALSE(load.strFilePath().contains(QString(2, QDir::separator())));
}

TEST_F(FileLoadTest, EachShowingStartsAgainAndOnlyItsOwnOkGivesAPath) {
    load.setStrPattern(QStringLiteral("*.bmp"));
    show([&](const Window& window) {
        openFolder(*window.folder, programFolder + QDir::separator() + QStringLiteral("older"));
        choose(window, QStringLiteral("c.bmp"));
    });
    ASSERT_FALSE(load.strFilePath().isEmpty());

    // Back in the program folder, the pattern kept; Cancel forgets the earlier path.
    show([&](const Window& window) {
        EXPECT_EQ(window.folder->path(), programFolder);
        EXPECT_EQ(itemTexts(*window.files), QStringList({"a.bmp", "b.BMP"}));
        EXPECT_EQ(window.dialog->focusWidget(), window.drive);
        QTest::mouseClick(window.cancel, Qt::LeftButton);
    });
    EXPECT_TRUE(load.strFilePath().isEmpty());

    show([&](const Window& window) { choose(window, QStringLiteral("a.bmp")); });
    ASSERT_FALSE(load.strFilePath().isEmpty());
    // The close box runs neither OK nor Cancel and must not hand back the earlier path.
    show([&](const Window& window) {
        clickItem(*window.files, QStringLiteral("b.BMP"));
        window.dialog->close();
    });
    EXPECT_TRUE(load.strFilePath().isEmpty());
    EXPECT_EQ(visibleDialog(QStringLiteral("frmFileLoad")), nullptr);
    EXPECT_TRUE(messages->records().empty());
}

TEST_F(FileLoadTest, DriveNotReadyShowsAnUntitledPlainMessageAndReturns) {
    show([&](const Window& window) {
        chooseDrive(*window.drive, volumes.b);
        ASSERT_EQ(messages->records().size(), 1U);
        EXPECT_EQ(messages->records()[0].text, errorText(volumes, volumes.b));
        EXPECT_EQ(messages->records()[0].style, MessageBox::OkOnly);
        EXPECT_TRUE(messages->records()[0].title.isEmpty());
        EXPECT_EQ(window.drive->drive(), volumes.a);
        EXPECT_EQ(window.folder->path(), volumes.a);
        EXPECT_EQ(itemTexts(*window.files), QStringList({"top.bmp"}));
        choose(window, QStringLiteral("top.bmp"));
    });
    EXPECT_EQ(load.strFilePath(), volumes.a + QDir::separator() + QStringLiteral("top.bmp"));
}

TEST_F(FileLoadTest, ProgramFolderOnNoDriveIsReportedAndTheDialogStillWorks) {
    Services services = volumes.services(messages, programFolder);
    services.programFolder = volumes.mkdir(QStringLiteral("elsewhere"));
    frmFileLoad elsewhere(services);
    whileShown(
        QStringLiteral("frmFileLoad"), [&] { elsewhere.showModal(); },
        [&](QDialog& dialog) {
            const Window window = windowOf(dialog);
            ASSERT_EQ(messages->records().size(), 1U);
            EXPECT_TRUE(messages->records()[0].text.startsWith(QStringLiteral("68 : ")));
            window.drive->setDrive(volumes.a);
            choose(window, QStringLiteral("top.bmp"));
        });
    EXPECT_EQ(elsewhere.strFilePath(), volumes.a + QDir::separator() + QStringLiteral("top.bmp"));
}

} // namespace

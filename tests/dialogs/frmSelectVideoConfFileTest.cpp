// The start-up chooser driven as the operator uses it, on fake volumes in a sandbox.

// Qt
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

// Ours
#include "DialogTestKit.h"
#include "FileListBox.h"
#include "ListChain.h"
#include "MessageBox.h"
#include "ServiceFakes.h"
#include "frmSelectVideoConfFile.h"

#include <gtest/gtest.h>

using namespace dialogtest;

namespace {

const QString errorTitle = QStringLiteral("エラー");

class ChooserTest : public testing::Test {
protected:
    // The default folder on volume A with two configuration files and two others; the
    // process's current folder on volume C.
    ChooserTest()
        : iniFolder(volumes.mkdir(QStringLiteral("volA/DREMLY_KESH/Video_IniFiles"))),
          current(volumes.mkdir(QStringLiteral("volC/work"))) {
        volumes.write(QStringLiteral("volA/DREMLY_KESH/Video_IniFiles/camera1.ini"));
        volumes.write(QStringLiteral("volA/DREMLY_KESH/Video_IniFiles/camera2.ini"));
        volumes.write(QStringLiteral("volA/DREMLY_KESH/Video_IniFiles/notes.txt"));
        volumes.write(QStringLiteral("volA/DREMLY_KESH/Video_IniFiles/.hidden.ini"));
        volumes.write(QStringLiteral("volC/work/here.ini"));
        volumes.write(QStringLiteral("volC/work/here.bmp"));
        QDir::setCurrent(current);
    }

    struct Lists {
        DriveListBox* drive;
        DirListBox* folder;
        FileListBox* files;
        QCheckBox* notUseCamera;
        QPushButton* ok;
    };
    static Lists listsOf(const frmSelectVideoConfFile& dialog) {
        return {dialog.findChild<DriveListBox*>(QStringLiteral("drvConfFile")),
                dialog.findChild<DirListBox*>(QStringLiteral("dirConfFile")),
                dialog.findChild<FileListBox*>(QStringLiteral("filConfFile")),
                dialog.findChild<QCheckBox*>(QStringLiteral("chkNotUseCamera")),
                dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"))};
    }

    const std::shared_ptr<fakes::MessageRecorder> messages =
        std::make_shared<fakes::MessageRecorder>();
    Volumes volumes;
    const QString iniFolder;
    const QString current;

    Services chooserServices(const QString& videoConfFolder) const {
        Services services = volumes.services(messages);
        services.videoConfFolder = videoConfFolder;
        return services;
    }
    Services chooserServices() const { return chooserServices(iniFolder); }
};

TEST_F(ChooserTest, WindowHasItsCaptionsGeometryFixedBorderAndTabOrder) {
    frmSelectVideoConfFile dialog(chooserServices());
    const Lists lists = listsOf(dialog);

    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ビデオ設定ファイルの選択"));
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("Label2"))->text(),
              QStringLiteral("（アバールデータ製キャプチャボードは利用できません)"));
    EXPECT_EQ(lists.notUseCamera->text(),
              QStringLiteral("カメラ入力を使わない （ファイルからの読込みのみ）"));
    EXPECT_EQ(lists.files->geometry(), QRect(272, 88, 257, 222));
    EXPECT_EQ(lists.ok->geometry(), QRect(392, 320, 137, 25));

    EXPECT_EQ(dialog.minimumSize(), QSize(538, 360));
    EXPECT_EQ(dialog.maximumSize(), QSize(538, 360));
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);

    EXPECT_FALSE(lists.notUseCamera->isChecked());
    EXPECT_FALSE(lists.ok->isDefault());
    EXPECT_FALSE(lists.ok->autoDefault());
    QWidget* expectedChain[] = {lists.drive, lists.folder, lists.files, lists.ok,
                                lists.notUseCamera};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(nextFocusable(expectedChain[i]), expectedChain[i + 1]) << i;
    }

    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.focusWidget(), lists.drive);
    const QPoint screenCentre = dialog.screen()->availableGeometry().center();
    EXPECT_LE((dialog.frameGeometry().center() - screenCentre).manhattanLength(), 2);
}

TEST_F(ChooserTest, OpensOnTheDefaultFolderWhenItExists) {
    frmSelectVideoConfFile dialog(chooserServices());
    const Lists lists = listsOf(dialog);

    EXPECT_EQ(lists.drive->drive(), volumes.a);
    EXPECT_EQ(lists.folder->path(), iniFolder);
    EXPECT_EQ(lists.files->path(), iniFolder);
    EXPECT_EQ(itemTexts(*lists.files), QStringList({"camera1.ini", "camera2.ini"}));
    EXPECT_EQ(lists.files->listIndex(), -1);
    EXPECT_TRUE(messages->records().empty());
}

TEST_F(ChooserTest, OpensOnTheCurrentFolderWithoutMessageWhenDefaultIsMissing) {
    frmSelectVideoConfFile dialog(
        chooserServices(volumes.sandbox.filePath(QStringLiteral("volA/nowhere"))));
    const Lists lists = listsOf(dialog);

    EXPECT_EQ(lists.drive->drive(), volumes.c);
    EXPECT_EQ(lists.folder->path(), current);
    EXPECT_EQ(itemTexts(*lists.files), QStringList({"here.ini"}));
    EXPECT_EQ(lists.files->listIndex(), -1);
    EXPECT_TRUE(messages->records().empty());
}

TEST_F(ChooserTest, OkWithoutFileWarnsAndStaysOpenThenChosenFileCloses) {
    frmSelectVideoConfFile dialog(chooserServices());
    const Lists lists = listsOf(dialog);
    int result = -1;
    whileShown(
        QStringLiteral("frmSelectVideoConfFile"), [&] { result = dialog.exec(); },
        [&](QDialog&) {
            QTest::mouseClick(lists.ok, Qt::LeftButton);
            ASSERT_EQ(messages->records().size(), 1U);
            EXPECT_EQ(messages->records()[0].text,
                      QStringLiteral("ビデオ設定ファイルが選択されていません"));
            EXPECT_EQ(messages->records()[0].style, MessageBox::Exclamation);
            EXPECT_EQ(messages->records()[0].title, errorTitle);
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_TRUE(dialog.strVideoConfFilePath.isEmpty());

            clickItem(*lists.files, QStringLiteral("camera2.ini"));
            QTest::mouseClick(lists.ok, Qt::LeftButton);
        });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dialog.strVideoConfFilePath,
              iniFolder + QDir::separator() + QStringLiteral("camera2.ini"));
}

TEST_F(ChooserTest, TickedBoxDisablesListsAndUntickingRestoresThem) {
    frmSelectVideoConfFile dialog(chooserServices());
    dialog.show();
    const Lists lists = listsOf(dialog);
    clickItem(*lists.files, QStringLiteral("camera1.ini"));
    const QStringList filesBefore = itemTexts(*lists.files);

    QTest::mouseClick(lists.notUseCamera, Qt::LeftButton);
    EXPECT_FALSE(lists.drive->isEnabled());
    EXPECT_FALSE(lists.folder->isEnabled());
    EXPECT_FALSE(lists.files->isEnabled());

    QTest::mouseClick(lists.notUseCamera, Qt::LeftButton);
    EXPECT_TRUE(lists.drive->isEnabled());
    EXPECT_TRUE(lists.folder->isEnabled());
    EXPECT_TRUE(lists.files->isEnabled());
    EXPECT_EQ(lists.drive->drive(), volumes.a);
    EXPECT_EQ(lists.folder->path(), iniFolder);
    EXPECT_EQ(itemTexts(*lists.files), filesBefore);
    EXPECT_EQ(lists.files->fileName(), QStringLiteral("camera1.ini"));

    // Ticked, OK means no camera whatever file is selected.
    QTest::mouseClick(lists.notUseCamera, Qt::LeftButton);
    QTest::mouseClick(lists.ok, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.strVideoConfFilePath.isEmpty());
    EXPECT_TRUE(messages->records().empty());
}

TEST_F(ChooserTest, FileAtDriveRootAndInSubFolderGetOneSeparator) {
    volumes.write(QStringLiteral("volA/root.ini"));
    frmSelectVideoConfFile dialog(chooserServices());
    dialog.show();
    const Lists lists = listsOf(dialog);

    openFolder(*lists.folder, volumes.a);
    EXPECT_EQ(native(lists.files->path()), volumes.a);
    clickItem(*lists.files, QStringLiteral("root.ini"));
    QTest::mouseClick(lists.ok, Qt::LeftButton);
    EXPECT_EQ(dialog.strVideoConfFilePath,
              volumes.a + QDir::separator() + QStringLiteral("root.ini"));

    // A root that ends in its separator keeps it as the only one.
    const QString root = QDir::toNativeSeparators(QDir::rootPath());
    EXPECT_EQ(ListChain::joinFolderAndName(root, QStringLiteral("x.ini")),
              root + QStringLiteral("x.ini"));
}

TEST_F(ChooserTest, DriveNotReadyWarnsOnceAndReturnsToTheFolderListsDriveRoot) {
    frmSelectVideoConfFile dialog(chooserServices());
    dialog.show();
    const Lists lists = listsOf(dialog);

    chooseDrive(*lists.drive, volumes.b);

    ASSERT_EQ(messages->records().size(), 1U);
    EXPECT_EQ(messages->records()[0].text, errorText(volumes, volumes.b));
    EXPECT_TRUE(messages->records()[0].text.startsWith(QStringLiteral("71 : ")));
    EXPECT_EQ(messages->records()[0].style, MessageBox::Exclamation);
    EXPECT_EQ(messages->records()[0].title, errorTitle);
    EXPECT_EQ(lists.drive->drive(), volumes.a);
    EXPECT_EQ(lists.drive->currentIndex(), lists.drive->findData(volumes.a));
    EXPECT_EQ(lists.folder->path(), DriveListBox::rootOf(volumes.a));
    EXPECT_EQ(native(lists.files->path()), volumes.a);

    // Another drive that is ready: its root, silently.
    lists.drive->setDrive(volumes.c);
    EXPECT_EQ(messages->records().size(), 1U);
    EXPECT_EQ(lists.folder->path(), volumes.c);
}

TEST_F(ChooserTest, CloseBoxAndEscapeLeaveNoResultEnterPressesOnlyTheFocusedButton) {
    frmSelectVideoConfFile dialog(chooserServices());
    const Lists lists = listsOf(dialog);
    int result = -1;
    whileShown(
        QStringLiteral("frmSelectVideoConfFile"), [&] { result = dialog.exec(); },
        [&](QDialog&) {
            clickItem(*lists.files, QStringLiteral("camera1.ini"));
            QTest::keyClick(lists.files, Qt::Key_Escape);
            EXPECT_TRUE(dialog.isVisible());
            QTest::keyClick(lists.files, Qt::Key_Return);
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_TRUE(dialog.strVideoConfFilePath.isEmpty());
            dialog.close();
        });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_TRUE(dialog.strVideoConfFilePath.isEmpty());

    frmSelectVideoConfFile byEnter(chooserServices());
    const Lists again = listsOf(byEnter);
    byEnter.show();
    clickItem(*again.files, QStringLiteral("camera1.ini"));
    again.ok->setFocus();
    QTest::keyClick(again.ok, Qt::Key_Return);
    EXPECT_FALSE(byEnter.isVisible());
    EXPECT_EQ(byEnter.strVideoConfFilePath,
              iniFolder + QDir::separator() + QStringLiteral("camera1.ini"));
}

TEST_F(ChooserTest, ErrorInFormLoadIsShownAndTheDialogStaysUsable) {
    // A default folder that exists but lies on no volume: the drive cannot be set.
    frmSelectVideoConfFile dialog(chooserServices(volumes.mkdir(QStringLiteral("elsewhere"))));
    ASSERT_EQ(messages->records().size(), 1U);
    EXPECT_TRUE(messages->records()[0].text.startsWith(QStringLiteral("68 : ")));

    dialog.show();
    const Lists lists = listsOf(dialog);
    QTest::mouseClick(lists.notUseCamera, Qt::LeftButton);
    QTest::mouseClick(lists.ok, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
}

} // namespace

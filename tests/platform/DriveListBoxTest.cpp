// Standard library
#include <stdexcept>

// Ours
#include "DirListBox.h"
#include "DriveListBox.h"
#include "FileListBox.h"
#include "ListTestSupport.h"
#include "MessageBox.h"
#include "RuntimeError.h"
#include "ServiceFakes.h"
#include "testutils.h"

#include <gtest/gtest.h>

using listtest::FakeVolumeList;

namespace {

// "/" plus two volumes inside a sandbox: a ready USB stick and a drive that is not ready.
class DriveListBoxTest : public testing::Test {
protected:
    testutils::Sandbox sandbox;
    const QString usb = sandbox.mkdir("usb");
    const QString dead = sandbox.mkdir("dead");
    const std::shared_ptr<fakes::MessageRecorder> boxes =
        std::make_shared<fakes::MessageRecorder>();
    const Services services = [this] {
        Services fake;
        fake.volumes = std::make_shared<FakeVolumeList>(
            std::vector<VolumeList::Volume>{{"/", "/ (root)", true},
                                            {usb, usb + " (USB stick)", true},
                                            {dead, dead + " (Dead)", false}});
        fake.messages = boxes;
        return fake;
    }();
};

} // namespace

TEST_F(DriveListBoxTest, ListsTheVolumesByTheirReadableNames) {
    DriveListBox drives;
    drives.setServices(services);
    ASSERT_EQ(drives.count(), 3);
    EXPECT_EQ(drives.itemText(0), "/ (root)");
    EXPECT_EQ(drives.itemText(1), usb + " (USB stick)");
    EXPECT_EQ(DriveListBox::rootOf(usb), usb);
    EXPECT_EQ(DriveListBox::rootOf(""), "/");
}

TEST_F(DriveListBoxTest, SetDriveSelectsTheHoldingVolumeAndNotifiesOnlyChanges) {
    DriveListBox drives;
    drives.setServices(services);
    drives.setDrive("/");
    QString seenInsideHandler;
    QObject::connect(&drives, &DriveListBox::changed,
                     [&] { seenInsideHandler = drives.currentText(); });
    int changes = 0;
    QObject::connect(&drives, &DriveListBox::changed, [&] { ++changes; });

    drives.setDrive(usb + "/photos/today/a.bmp");
    EXPECT_EQ(drives.drive(), usb);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(seenInsideHandler, usb + " (USB stick)"); // ran inside setDrive, state already set

    drives.setDrive(usb);
    EXPECT_EQ(changes, 1);

    drives.setDrive(sandbox.path()); // outside both volumes: the root holds it
    EXPECT_EQ(drives.drive(), "/");
    EXPECT_EQ(changes, 2);
}

TEST_F(DriveListBoxTest, UnknownDriveIsDeviceUnavailableAndChangesNothing) {
    Services onlyUsb = services;
    onlyUsb.volumes =
        std::make_shared<FakeVolumeList>(std::vector<VolumeList::Volume>{{usb, "USB", true}});
    DriveListBox drives;
    drives.setServices(onlyUsb);
    drives.setDrive(usb);
    int changes = 0;
    QObject::connect(&drives, &DriveListBox::changed, [&] { ++changes; });

    for (const QString& bad : {QString("/elsewhere"), QString("")}) {
        try {
            drives.setDrive(bad);
            ADD_FAILURE() << "no error for " << bad.toStdString();
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), RuntimeError::DeviceUnavailable);
        }
    }
    EXPECT_EQ(drives.drive(), usb);
    EXPECT_EQ(changes, 0);
}

TEST_F(DriveListBoxTest, OperatorKeyboardChoiceNotifiesLikeCode) {
    DriveListBox drives;
    drives.setServices(services);
    drives.setDrive("/");
    drives.show();
    int changes = 0;
    QObject::connect(&drives, &DriveListBox::changed, [&] { ++changes; });

    listtest::pressKey(&drives, Qt::Key_Down);
    EXPECT_EQ(drives.drive(), usb);
    EXPECT_EQ(changes, 1);

    listtest::pressKey(&drives, Qt::Key_Up);
    EXPECT_EQ(drives.drive(), "/");
    EXPECT_EQ(changes, 2);
}

// The dialogs' drive handler: open the drive's root; on error report it and go back to
// the drive of the folder still shown, from inside the handler.
TEST_F(DriveListBoxTest, NotReadyDriveChosenByTheOperatorIsReportedAndUndone) {
    DriveListBox drives;
    drives.setServices(services);
    DirListBox folders;
    folders.setServices(services);
    FileListBox files;
    sandbox.write("usb/a.bmp", "x");
    drives.setDrive(usb);
    folders.setPath(usb);
    files.setPath(usb);

    int driveChanges = 0;
    QObject::connect(&drives, &DriveListBox::changed, [&] {
        ++driveChanges;
        try {
            folders.setPath(DriveListBox::rootOf(drives.drive()));
        } catch (const RuntimeError& error) {
            boxes->show(QString("%1 : %2").arg(error.number()).arg(error.description()),
                        MessageBox::Exclamation, "エラー");
            drives.setDrive(folders.path());
        }
    });
    QObject::connect(&folders, &DirListBox::changed, [&] { files.setPath(folders.path()); });

    drives.show();
    listtest::pressKey(&drives, Qt::Key_Down); // USB stick → Dead

    ASSERT_EQ(boxes->records().size(), 1U);
    EXPECT_EQ(boxes->records()[0].text, "71 : Disk not ready");
    EXPECT_EQ(driveChanges, 2); // the choice, then the nested restore
    EXPECT_EQ(drives.drive(), usb);
    EXPECT_EQ(drives.currentText(), usb + " (USB stick)");
    EXPECT_EQ(folders.path(), usb);
    ASSERT_EQ(files.count(), 1);
    EXPECT_EQ(files.item(0)->text(), "a.bmp");
}

TEST_F(DriveListBoxTest, UntrappedErrorOfTheOperatorsChoiceIsShownAsAHandlerError) {
    DriveListBox drives;
    drives.setServices(services);
    drives.setDrive("/");
    drives.show();
    QObject::connect(&drives, &DriveListBox::changed, [] { throw std::logic_error("broken"); });

    listtest::pressKey(&drives, Qt::Key_Down);

    ASSERT_EQ(boxes->records().size(), 1U);
    EXPECT_EQ(boxes->records()[0].text, "51 : broken");
    EXPECT_EQ(boxes->records()[0].style, MessageBox::Exclamation);
    EXPECT_EQ(boxes->records()[0].title, "エラー");
    EXPECT_EQ(drives.drive(), usb);
}

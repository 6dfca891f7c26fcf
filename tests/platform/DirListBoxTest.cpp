// Standard library
#include <unistd.h>

// Qt
#include <QDir>
#include <QFile>

// Ours
#include "DirListBox.h"
#include "ListTestSupport.h"
#include "MessageBox.h"
#include "RuntimeError.h"
#include "ServiceFakes.h"
#include "testutils.h"

#include <gtest/gtest.h>

namespace {

using listtest::texts;

int rowOf(const QListWidget& list, const QString& text) {
    return texts(list).indexOf(text);
}

int errorNumberOf(DirListBox& folders, const QString& path) {
    try {
        folders.setPath(path);
    } catch (const RuntimeError& error) {
        return error.number();
    }
    return 0;
}

class DirListBoxTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sandbox.isValid());
        sandbox.mkdir("beta");
        sandbox.mkdir("Alpha");
        sandbox.mkdir(".hidden");
        sandbox.mkdir("gamma/inner");
        sandbox.write("file.txt", "x");
    }

    testutils::Sandbox sandbox;
    const QString top = QDir::toNativeSeparators(sandbox.path());
};

} // namespace

TEST_F(DirListBoxTest, ShowsTheWayUpAndTheSortedVisibleSubFolders) {
    DirListBox folders;
    folders.setPath(top);

    QStringList expected;
    QDir up(top);
    do {
        expected.prepend(up.isRoot() ? "/" : up.dirName());
    } while (up.cdUp());
    const int openRow = int(expected.size()) - 1;
    expected << "Alpha"
             << "beta"
             << "gamma";

    EXPECT_EQ(texts(folders), expected);
    EXPECT_EQ(folders.currentRow(), openRow); // the open folder starts highlighted
    EXPECT_EQ(folders.item(0)->data(DirListBox::PathRole).toString(), "/");
    EXPECT_EQ(folders.item(openRow + 2)->data(DirListBox::PathRole).toString(), top + "/beta");
}

TEST_F(DirListBoxTest, SetPathNotifiesSynchronouslyOnlyWhenTheFolderChanges) {
    DirListBox folders;
    QString pathInsideHandler;
    QObject::connect(&folders, &DirListBox::changed, [&] { pathInsideHandler = folders.path(); });
    int changes = 0;
    QObject::connect(&folders, &DirListBox::changed, [&] { ++changes; });

    folders.setPath(top + "/gamma/");
    EXPECT_EQ(folders.path(), top + "/gamma"); // no trailing separator
    EXPECT_EQ(pathInsideHandler, top + "/gamma");
    EXPECT_EQ(changes, 1);

    folders.setPath(top + "/gamma/inner/..");
    EXPECT_EQ(changes, 1);

    folders.setPath("/");
    EXPECT_EQ(folders.path(), "/");
    EXPECT_EQ(changes, 2);
}

TEST_F(DirListBoxTest, HighlightingDoesNotOpenButEnterAndDoubleClickDo) {
    DirListBox folders;
    folders.setPath(top);
    folders.resize(300, 600);
    folders.show();
    int changes = 0;
    QObject::connect(&folders, &DirListBox::changed, [&] { ++changes; });

    listtest::pressKey(&folders, Qt::Key_Down);
    EXPECT_EQ(folders.currentItem()->text(), "Alpha");
    listtest::clickRow(&folders, rowOf(folders, "gamma"));
    EXPECT_EQ(folders.currentItem()->text(), "gamma");
    EXPECT_EQ(folders.path(), top);
    EXPECT_EQ(changes, 0);

    // Enter is taken by the list, so it cannot press a dialog's button as well.
    EXPECT_TRUE(listtest::pressKey(&folders, Qt::Key_Return));
    EXPECT_EQ(folders.path(), top + "/gamma");
    EXPECT_EQ(changes, 1);
    EXPECT_GE(rowOf(folders, "inner"), 0);

    listtest::doubleClickRow(&folders, rowOf(folders, "inner"));
    EXPECT_EQ(folders.path(), top + "/gamma/inner");
    EXPECT_EQ(changes, 2);

    listtest::doubleClickRow(&folders, 0); // an ancestor: the root
    EXPECT_EQ(folders.path(), "/");
    EXPECT_EQ(changes, 3);
}

TEST_F(DirListBoxTest, FoldersThatCannotBeOpenedRaiseErrorsAndKeepTheList) {
    const QString loopA = sandbox.filePath("loopA");
    const QString loopB = sandbox.filePath("loopB");
    ASSERT_TRUE(QFile::link(loopB, loopA));
    ASSERT_TRUE(QFile::link(loopA, loopB));
    ASSERT_TRUE(QFile::link(sandbox.filePath("self"), sandbox.filePath("self")));

    DirListBox folders;
    folders.setPath(top);
    const QStringList before = texts(folders);
    int changes = 0;
    QObject::connect(&folders, &DirListBox::changed, [&] { ++changes; });

    EXPECT_EQ(errorNumberOf(folders, top + "/missing"), RuntimeError::PathNotFound);
    EXPECT_EQ(errorNumberOf(folders, top + "/file.txt"), RuntimeError::PathNotFound);
    EXPECT_EQ(errorNumberOf(folders, loopA), RuntimeError::PathNotFound);
    EXPECT_EQ(errorNumberOf(folders, sandbox.filePath("self/deeper")), RuntimeError::PathNotFound);
    EXPECT_EQ(errorNumberOf(folders, ""), RuntimeError::PathNotFound);

    EXPECT_EQ(folders.path(), top);
    EXPECT_EQ(texts(folders), before); // the loops are no folders to offer either
    EXPECT_EQ(changes, 0);
}

TEST_F(DirListBoxTest, LinkBackToAnAncestorOpensTheAncestor) {
    ASSERT_TRUE(QFile::link(sandbox.path(), sandbox.filePath("gamma/inner/up")));
    DirListBox folders;
    folders.setPath(top + "/gamma/inner");
    ASSERT_GE(rowOf(folders, "up"), 0);
    folders.show();
    listtest::doubleClickRow(&folders, rowOf(folders, "up"));
    EXPECT_EQ(folders.path(), top);
}

TEST_F(DirListBoxTest, UnreadableFolderIsAnAccessError) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root";
    }
    const QString locked = sandbox.mkdir("locked");
    QFile::setPermissions(locked, QFileDevice::Permissions());
    DirListBox folders;
    folders.setPath(top);
    EXPECT_EQ(errorNumberOf(folders, locked), RuntimeError::PathFileAccessError);
    EXPECT_EQ(folders.path(), top);
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(DirListBoxTest, FolderOnAVolumeThatIsNotReadyIsDiskNotReady) {
    const QString dead = sandbox.mkdir("dead/sub");
    Services services;
    services.volumes = std::make_shared<listtest::FakeVolumeList>(std::vector<VolumeList::Volume>{
        {"/", "/ (root)", true}, {sandbox.filePath("dead"), "Dead", false}});
    DirListBox folders;
    folders.setServices(services);
    folders.setPath(top);

    EXPECT_EQ(errorNumberOf(folders, dead), RuntimeError::DiskNotReady);
    EXPECT_EQ(errorNumberOf(folders, sandbox.filePath("dead")), RuntimeError::DiskNotReady);
    EXPECT_EQ(folders.path(), top);
}

TEST_F(DirListBoxTest, VanishedFolderOpenedByTheOperatorIsReportedAndDropped) {
    const std::shared_ptr<fakes::MessageRecorder> boxes =
        std::make_shared<fakes::MessageRecorder>();
    Services services;
    services.messages = boxes;
    DirListBox folders;
    folders.setServices(services);
    folders.setPath(top);
    folders.show();
    ASSERT_TRUE(QDir(sandbox.filePath("beta")).removeRecursively());
    int changes = 0;
    QObject::connect(&folders, &DirListBox::changed, [&] { ++changes; });

    folders.setCurrentRow(rowOf(folders, "beta"));
    listtest::pressKey(&folders, Qt::Key_Enter);

    ASSERT_EQ(boxes->records().size(), 1U);
    EXPECT_EQ(boxes->records()[0].text, "76 : Path not found");
    EXPECT_EQ(folders.path(), top);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(rowOf(folders, "beta"), -1);
    EXPECT_GE(rowOf(folders, "gamma"), 0);
}

TEST_F(DirListBoxTest, HandlerMayOpenAnotherFolderFromInside) {
    DirListBox folders;
    folders.setPath("/");
    const QString redirected = top + "/gamma";
    QStringList seen;
    QObject::connect(&folders, &DirListBox::changed, [&] {
        seen << folders.path();
        if (folders.path() == top) {
            folders.setPath(redirected);
        }
    });

    folders.setPath(top);
    EXPECT_EQ(seen, QStringList({top, redirected}));
    EXPECT_EQ(folders.path(), redirected);
    EXPECT_EQ(folders.currentItem()->text(), "gamma");
    EXPECT_GE(rowOf(folders, "inner"), 0);
    EXPECT_EQ(rowOf(folders, "Alpha"), -1);
}

// Standard library
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

// Qt
#include <QDir>
#include <QFile>

// Ours
#include "FileListBox.h"
#include "ListTestSupport.h"
#include "RuntimeError.h"
#include "testutils.h"

#include <gtest/gtest.h>

namespace {

using listtest::texts;

// A listening Unix socket bound at `path`; closed with the object.
class SocketFile {
public:
    explicit SocketFile(const QString& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::strncpy(address.sun_path, name.constData(), sizeof(address.sun_path) - 1);
        bound_ = fd_ >= 0 &&
                 ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~SocketFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    SocketFile(const SocketFile&) = delete;
    SocketFile& operator=(const SocketFile&) = delete;
    bool bound() const { return bound_; }

private:
    int fd_;
    bool bound_ = false;
};

class FileListBoxTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sandbox.isValid());
        for (const char* name : {"b.BMP", "a.bmp", "C.bmp", "notes.txt", "noext", ".hidden.bmp"}) {
            sandbox.write(name, "x");
        }
        sandbox.mkdir("folder.bmp");
        sandbox.write("sub/inside.bmp", "x");
        ASSERT_TRUE(QFile::link(sandbox.filePath("a.bmp"), sandbox.filePath("link.bmp")));
        ASSERT_TRUE(QFile::link(sandbox.filePath("gone"), sandbox.filePath("broken.bmp")));
        ASSERT_EQ(::mkfifo(QFile::encodeName(sandbox.filePath("fifo.bmp")).constData(), 0600), 0);
    }

    testutils::Sandbox sandbox;
    const QString top = QDir::toNativeSeparators(sandbox.path());
};

} // namespace

TEST_F(FileListBoxTest, ListsVisibleRegularFilesMatchingThePatternSortedByName) {
    const SocketFile socket(sandbox.filePath("sock.bmp"));
    ASSERT_TRUE(socket.bound());
    FileListBox files;
    files.setPattern("*.bmp");
    files.setPath(top);
    // No folder, fifo, socket, dangling link or hidden file; a link to a file counts.
    EXPECT_EQ(texts(files), QStringList({"a.bmp", "b.BMP", "C.bmp", "link.bmp"}));
    EXPECT_EQ(files.listIndex(), -1);
}

TEST_F(FileListBoxTest, PatternsCombineWithSemicolonsIgnoringCase) {
    FileListBox files;
    files.setPath(top);
    EXPECT_EQ(files.pattern(), "*.*");
    EXPECT_EQ(texts(files),
              QStringList({"a.bmp", "b.BMP", "C.bmp", "link.bmp", "noext", "notes.txt"}));

    files.setPattern("*.TXT; ?.bmp");
    EXPECT_EQ(texts(files), QStringList({"a.bmp", "b.BMP", "C.bmp", "notes.txt"}));

    EXPECT_TRUE(FileListBox::matches("*.ini", "camera.INI"));
    EXPECT_FALSE(FileListBox::matches("*.ini", "camera.ini.bak"));
    EXPECT_TRUE(FileListBox::matches("[a].bmp", "[a].bmp")); // brackets are plain characters
    EXPECT_FALSE(FileListBox::matches("[a].bmp", "a.bmp"));
    EXPECT_TRUE(FileListBox::matches(";;", "anything"));
}

TEST_F(FileListBoxTest, SelectionByCodeAndOperatorNotifiesAndNewPathClearsIt) {
    FileListBox files;
    files.setPattern("*.bmp");
    files.setPath(top);
    files.resize(300, 400);
    files.show();
    int clicks = 0;
    QObject::connect(&files, &FileListBox::fileClicked, [&] { ++clicks; });

    files.setListIndex(1);
    EXPECT_EQ(files.fileName(), "b.BMP");
    EXPECT_EQ(clicks, 1);

    listtest::clickRow(&files, 2);
    EXPECT_EQ(files.listIndex(), 2);
    EXPECT_EQ(files.fileName(), "C.bmp");
    EXPECT_EQ(clicks, 2);
    listtest::clickRow(&files, 2); // the selected file again: one more click, no less
    EXPECT_EQ(files.listIndex(), 2);
    EXPECT_EQ(clicks, 3);

    listtest::pressKey(&files, Qt::Key_Down);
    EXPECT_EQ(files.fileName(), "link.bmp");
    EXPECT_EQ(clicks, 4);

    files.setPath(top + "/sub");
    EXPECT_EQ(files.listIndex(), -1);
    EXPECT_EQ(files.fileName(), "");
    EXPECT_EQ(clicks, 4);
    EXPECT_EQ(texts(files), QStringList({"inside.bmp"}));

    files.setListIndex(0);
    files.setListIndex(-1);
    EXPECT_EQ(files.listIndex(), -1);
    EXPECT_EQ(clicks, 6);

    for (int bad : {-2, 1}) {
        try {
            files.setListIndex(bad);
            ADD_FAILURE() << "no error for " << bad;
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), RuntimeError::InvalidPropertyValue);
        }
    }
}

TEST_F(FileListBoxTest, DisabledListIgnoresTheOperator) {
    FileListBox files;
    files.setPath(top);
    files.show();
    files.setListIndex(0);
    files.setEnabled(false);
    listtest::clickRow(&files, 3);
    listtest::pressKey(&files, Qt::Key_Down);
    EXPECT_EQ(files.listIndex(), 0);
    files.setEnabled(true);
    listtest::clickRow(&files, 3);
    EXPECT_EQ(files.listIndex(), 3);
}

TEST_F(FileListBoxTest, HandlerMayMoveTheListFromInsideItsClick) {
    FileListBox files;
    files.setPath(top);
    QObject::connect(&files, &FileListBox::fileClicked, [&] {
        if (files.listIndex() == 0) {
            files.setPath(top + "/sub");
        }
    });
    files.setListIndex(0);
    EXPECT_EQ(files.path(), top + "/sub");
    EXPECT_EQ(files.listIndex(), -1);
    EXPECT_EQ(texts(files), QStringList({"inside.bmp"}));
}

TEST_F(FileListBoxTest, PathsKeepOnlyARootSeparatorAndMissingFoldersListNothing) {
    FileListBox files;
    files.setPath(top + "/sub/");
    EXPECT_EQ(files.path(), top + "/sub");
    files.setPath("/");
    EXPECT_EQ(files.path(), "/");
    files.setPath(top + "/missing");
    EXPECT_EQ(files.count(), 0);
}

TEST_F(FileListBoxTest, UnreadableFolderListsNothing) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root";
    }
    const QString locked = sandbox.mkdir("locked");
    sandbox.write("locked/a.bmp", "x");
    QFile::setPermissions(locked, QFileDevice::Permissions());
    FileListBox files;
    files.setPath(locked);
    EXPECT_EQ(files.count(), 0);
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

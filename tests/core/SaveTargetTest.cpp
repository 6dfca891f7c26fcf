// Saves that must not write where they should not: links planted by other users, targets
// that are no regular files, and writes beyond the file-size limit.

// Standard library
#include <cstdint>
#include <vector>

// Qt
#include <QDir>
#include <QFile>
#include <QFileInfo>

// Ours
#include "BmpWriter.h"
#include "KeshFileAccess.h"
#include "KeshImage.h"
#include "ProcessSignals.h"
#include "SaveTarget.h"
#include "testutils.h"

#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

using testutils::Sandbox;

KeshImage smallImage() {
    KeshImage image;
    std::vector<std::uint8_t> pixels(6 * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i * 9);
    }
    image.assign(6, 4, 8, KeshImage::Grey, std::move(pixels));
    return image;
}

int writeImage(const QString& path, const KeshImage& image) {
    KeshFileAccess access;
    access.setFileName(path);
    access.write(image);
    return access.errorCode();
}

QByteArray local(const QString& path) {
    return QFile::encodeName(path);
}

bool isLink(const QString& path) {
    struct stat entry {};
    return ::lstat(local(path).constData(), &entry) == 0 && S_ISLNK(entry.st_mode);
}

QStringList listing(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A sandbox that other users may enter, as /tmp is.
class SharedSandbox : public Sandbox {
public:
    SharedSandbox() { ::chmod(local(path()).constData(), 0755); }
};

} // namespace

// The kernel's protected-symlinks rule, case by case: who owns the link and its folder,
// whether the folder is sticky and world-writable, and who saves.
TEST(SaveTargetTest, LinksAreFollowedOnlyWhereTheKernelWouldFollowThem) {
    if (::geteuid() != 0 || testutils::nobodyUid() == 0) {
        GTEST_SKIP() << "needs root to plant links of another user";
    }
    const uid_t nobody = testutils::nobodyUid();
    const gid_t nobodyGroup = testutils::nobodyGid();
    struct Case {
        const char* name;
        mode_t folderMode;
        bool folderOfNobody;
        bool linkOfNobody;
        bool saveAsNobody;
        bool linkToFolder; // the link names a folder and the file is saved inside it
        int expected;
    };
    const Case cases[] = {
        {"another user's link in a shared sticky folder", 01777, false, true, false, false, -2},
        {"the same through a linked folder", 01777, false, true, false, true, -2},
        {"the link's owner saves", 01777, false, true, true, false, 0},
        {"the link's owner owns the folder", 01777, true, true, false, false, 0},
        {"the saver's own link", 01777, false, false, false, false, 0},
        {"world-writable but not sticky", 0777, false, true, false, false, 0},
        {"sticky but not world-writable", 01755, false, true, false, false, 0},
    };
    const QByteArray old("old contents");
    const KeshImage image = smallImage();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SharedSandbox sandbox;
        const QString store = sandbox.mkdir(QStringLiteral("store"));
        const QString target = sandbox.write(QStringLiteral("store/target.bmp"), old);
        ASSERT_EQ(::chown(local(store).constData(), nobody, nobodyGroup), 0);
        ASSERT_EQ(::chown(local(target).constData(), nobody, nobodyGroup), 0);
        const QString shared = sandbox.mkdir(QStringLiteral("shared"));
        ASSERT_EQ(::chmod(local(shared).constData(), c.folderMode), 0);
        if (c.folderOfNobody) {
            ASSERT_EQ(::chown(local(shared).constData(), nobody, nobodyGroup), 0);
        }
        const QString link = shared + QStringLiteral("/result.bmp");
        ASSERT_EQ(
            ::symlink(local(c.linkToFolder ? store : target).constData(), local(link).constData()),
            0);
        if (c.linkOfNobody) {
            ASSERT_EQ(::lchown(local(link).constData(), nobody, nobodyGroup), 0);
        }
        const QString saved = c.linkToFolder ? link + QStringLiteral("/target.bmp") : link;

        int code = 0;
        if (c.saveAsNobody) {
            const testutils::ChildResult child =
                testutils::runInChild([&] { return writeImage(saved, image); }, true);
            ASSERT_TRUE(child.started);
            ASSERT_EQ(child.signal, 0);
            code = child.code;
        } else {
            code = writeImage(saved, image);
        }
        EXPECT_EQ(code, c.expected);
        EXPECT_EQ(testutils::readAll(target), code == 0 ? BmpWriter::encode(image) : old);
        EXPECT_TRUE(isLink(link));
        EXPECT_EQ(listing(shared), QStringList{QStringLiteral("result.bmp")});
        EXPECT_EQ(listing(store), QStringList{QStringLiteral("target.bmp")});
    }
}

TEST(SaveTargetTest, TargetsThatAreNoRegularFilesAndLinkLoopsAreRefusedUntouched) {
    Sandbox sandbox;
    const QString fifo = sandbox.filePath(QStringLiteral("pipe.bmp"));
    ASSERT_EQ(::mkfifo(local(fifo).constData(), 0644), 0);
    const QString folder = sandbox.mkdir(QStringLiteral("folder.bmp"));
    const QString toFifo = sandbox.filePath(QStringLiteral("to-pipe.bmp"));
    ASSERT_EQ(::symlink("pipe.bmp", local(toFifo).constData()), 0);
    const QString toFolder = sandbox.filePath(QStringLiteral("to-folder.bmp"));
    ASSERT_EQ(::symlink("folder.bmp", local(toFolder).constData()), 0);
    const QString self = sandbox.filePath(QStringLiteral("self.bmp"));
    ASSERT_EQ(::symlink("self.bmp", local(self).constData()), 0);
    const QString loopA = sandbox.filePath(QStringLiteral("loop-a.bmp"));
    const QString loopB = sandbox.filePath(QStringLiteral("loop-b.bmp"));
    ASSERT_EQ(::symlink("loop-b.bmp", local(loopA).constData()), 0);
    ASSERT_EQ(::symlink("loop-a.bmp", local(loopB).constData()), 0);
    QStringList paths{fifo,
                      folder,
                      toFifo,
                      toFolder,
                      self,
                      loopA,
                      sandbox.filePath(QStringLiteral("sub/../pipe.bmp"))};
    // A device node of its own, like the null device, where this user may make one.
    const QString device = sandbox.filePath(QStringLiteral("null.bmp"));
    if (::mknod(local(device).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        paths << device;
    }
    const QStringList before = listing(sandbox.path());

    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(writeImage(path, smallImage()), KeshFileAccess::WriteFailed);
    }
    EXPECT_EQ(listing(sandbox.path()), before);
    struct stat entry {};
    ASSERT_EQ(::lstat(local(fifo).constData(), &entry), 0);
    EXPECT_TRUE(S_ISFIFO(entry.st_mode));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(listing(folder).isEmpty());
    for (const QString& link : {toFifo, toFolder, self, loopA, loopB}) {
        EXPECT_TRUE(isLink(link)) << link.toStdString();
    }
    if (paths.contains(device)) {
        ASSERT_EQ(::lstat(local(device).constData(), &entry), 0);
        EXPECT_TRUE(S_ISCHR(entry.st_mode));
    }
}

TEST(SaveTargetTest, ResolvesRelativeLinksAndDotsToTheFileItself) {
    Sandbox sandbox;
    const QString real = sandbox.write(QStringLiteral("a/b/real.bmp"), QByteArray("x"));
    sandbox.mkdir(QStringLiteral("c"));
    ASSERT_EQ(::symlink("../a/b", local(sandbox.filePath(QStringLiteral("c/up"))).constData()), 0);
    ASSERT_EQ(
        ::symlink("up/real.bmp", local(sandbox.filePath(QStringLiteral("c/file.bmp"))).constData()),
        0);
    const QString canonical = QFileInfo(real).canonicalFilePath();
    struct Case {
        const char* path;
        const char* expected; // relative to the sandbox
    };
    const Case cases[] = {
        {"c/file.bmp", "a/b/real.bmp"},
        {"c/up/real.bmp", "a/b/real.bmp"},
        {"c/./up/../b/real.bmp", "a/b/real.bmp"},
        {"c/up/new.bmp", "a/b/new.bmp"},
    };
    const QString root = QFileInfo(sandbox.path()).canonicalFilePath();
    for (const Case& c : cases) {
        const SaveTarget::Resolution resolution =
            SaveTarget::resolve(sandbox.filePath(QLatin1String(c.path)));
        EXPECT_EQ(resolution.code, 0) << c.path;
        EXPECT_EQ(resolution.path.toStdString(),
                  (root + QLatin1Char('/') + QLatin1String(c.expected)).toStdString())
            << c.path;
    }
    EXPECT_EQ(
        SaveTarget::resolve(sandbox.filePath(QStringLiteral("c/file.bmp"))).path.toStdString(),
        canonical.toStdString());
}

// Run in a child, because the limit and the signal's disposition belong to the process.
TEST(SaveTargetTest, SaveBeyondTheFileSizeLimitFailsAndKeepsTheOldFile) {
    Sandbox sandbox;
    const QByteArray old = BmpWriter::encode(smallImage());
    const QString path = sandbox.write(QStringLiteral("limited.bmp"), old);
    KeshImage large;
    large.setWidth(512);
    large.setHeight(480);

    const testutils::ChildResult child = testutils::runInChild([&] {
        ProcessSignals::ignoreFileSizeLimit();
        rlimit small{};
        ::getrlimit(RLIMIT_FSIZE, &small);
        small.rlim_cur = 20000;
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0) {
            return 1;
        }
        return writeImage(path, large);
    });
    ASSERT_TRUE(child.started);
    EXPECT_EQ(child.signal, 0) << "ended by signal " << child.signal;
    EXPECT_EQ(child.code, KeshFileAccess::WriteFailed);
    EXPECT_EQ(testutils::readAll(path), old);
    EXPECT_EQ(listing(sandbox.path()), QStringList{QStringLiteral("limited.bmp")});
}
#endif

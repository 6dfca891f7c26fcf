// Standard library
#include <set>

// Qt
#include <QFileInfo>

// Ours
#include "ListTestSupport.h"
#include "SystemVolumeList.h"
#include "VolumeList.h"

#include <gtest/gtest.h>

using listtest::FakeVolumeList;

TEST(VolumeListTest, HoldsWholePathComponentsOnly) {
    EXPECT_TRUE(VolumeList::holds("/media/usb", "/media/usb"));
    EXPECT_TRUE(VolumeList::holds("/media/usb", "/media/usb/"));
    EXPECT_TRUE(VolumeList::holds("/media/usb/", "/media/usb/photos/a.bmp"));
    EXPECT_FALSE(VolumeList::holds("/media/usb", "/media/usb2"));
    EXPECT_FALSE(VolumeList::holds("/media/usb", "/media"));
    EXPECT_TRUE(VolumeList::holds("/", "/anything/at/all"));
    EXPECT_FALSE(VolumeList::holds("/", "relative/path"));
    EXPECT_FALSE(VolumeList::holds("/", ""));
}

TEST(VolumeListTest, TheLongestHoldingRootWins) {
    const FakeVolumeList list(
        {{"/", "/ (root)", true}, {"/mnt/a/b", "deep", true}, {"/mnt/a", "shallow", false}});
    EXPECT_EQ(list.volumeHolding("/mnt/a/b/c")->displayName, "deep");
    EXPECT_EQ(list.volumeHolding("/mnt/a/bc")->displayName, "shallow");
    EXPECT_FALSE(list.volumeHolding("/mnt/a/bc")->ready);
    EXPECT_EQ(list.volumeHolding("/etc")->displayName, "/ (root)");
    EXPECT_FALSE(list.volumeHolding("not/absolute").has_value());
}

TEST(VolumeListTest, SystemListStartsWithTheRootAndLeavesPseudoFileSystemsOut) {
    const std::vector<VolumeList::Volume> volumes = SystemVolumeList().volumes();
    ASSERT_FALSE(volumes.empty());
    EXPECT_EQ(volumes.front().rootPath, "/");
    EXPECT_EQ(volumes.front().displayName, "/ (root)");
    EXPECT_TRUE(volumes.front().ready);

    std::set<QString> roots;
    for (const VolumeList::Volume& volume : volumes) {
        EXPECT_TRUE(roots.insert(volume.rootPath).second) << volume.rootPath.toStdString();
        EXPECT_TRUE(QFileInfo(volume.rootPath).isDir()) << volume.rootPath.toStdString();
        for (const char* system : {"/proc", "/sys", "/dev", "/run"}) {
            EXPECT_FALSE(VolumeList::holds(system, volume.rootPath))
                << volume.rootPath.toStdString();
        }
        EXPECT_TRUE(volume.displayName.startsWith(volume.rootPath));
    }
}

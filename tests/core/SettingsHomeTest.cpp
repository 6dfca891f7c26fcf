// Settings kept under "Unknown Organization" by earlier versions move, once, to Gavrel's folder.

// Qt
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

// Ours
#include "SettingsHome.h"

#include <gtest/gtest.h>

namespace {

void write(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(SettingsHomeTest, EarlierSettingsMoveOnceAndNeverOverwrite) {
    struct Case {
        const char* what;
        bool earlier, current, otherFileInOldFolder;
        bool moved;
        QByteArray currentAfter;
        bool oldFolderAfter;
    };
    for (const Case& c : {
             Case{"earlier only", true, false, false, true, "earlier", false},
             Case{"both: the current one wins", true, true, false, false, "current", true},
             Case{"neither", false, false, false, false, "", false},
             Case{"another program's file stays", true, false, true, true, "earlier", true},
         }) {
        QTemporaryDir home;
        ASSERT_TRUE(home.isValid());
        const QString oldFolder = home.filePath("Unknown Organization");
        const QString earlier = oldFolder + "/Gavrel.conf";
        const QString current = home.filePath("Gavrel/Gavrel.conf");
        if (c.earlier) {
            write(earlier, "earlier");
        }
        if (c.current) {
            write(current, "current");
        }
        if (c.otherFileInOldFolder) {
            write(oldFolder + "/Other.conf", "other");
        }
        EXPECT_EQ(SettingsHome::moveEarlierSettings(home.path()), c.moved) << c.what;
        EXPECT_EQ(read(current), c.currentAfter) << c.what;
        EXPECT_EQ(QFileInfo::exists(oldFolder), c.oldFolderAfter) << c.what;
        EXPECT_EQ(QFileInfo::exists(earlier), c.earlier && !c.moved) << c.what;
        // A second start finds nothing more to move.
        EXPECT_FALSE(SettingsHome::moveEarlierSettings(home.path())) << c.what;
    }
}

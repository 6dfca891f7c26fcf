// Qt
#include <QDir>
#include <QFile>

// Ours
#include "StartFolders.h"
#include "testutils.h"

#include <gtest/gtest.h>

namespace {

struct Installed {
    testutils::Sandbox sandbox;
    QString program = sandbox.mkdir(QStringLiteral("usr/bin"));
    QString pictures = sandbox.mkdir(QStringLiteral("home/Pictures"));
    QString samples = sandbox.mkdir(QStringLiteral("usr/share/gavrel/images"));
    QString own = QDir::toNativeSeparators(pictures + QStringLiteral("/Gavrel"));

    Installed() {
        sandbox.write(QStringLiteral("usr/share/gavrel/images/flat.bmp"), "BM flat");
        sandbox.write(QStringLiteral("usr/share/gavrel/images/chart.bmp"), "BM chart");
        sandbox.write(QStringLiteral("usr/share/gavrel/images/README.md"), "notes");
    }
    QString imageFolder(bool programWritable) const {
        return StartFolders::imageFolder(program, programWritable, pictures, samples);
    }
    QStringList ownFiles() const { return QDir(own).entryList(QDir::Files, QDir::Name); }
};

} // namespace

TEST(StartFoldersTest, AWritableProgramFolderIsKeptAndNothingIsMade) {
    const Installed installed;
    EXPECT_EQ(installed.imageFolder(true), installed.program);
    EXPECT_FALSE(QFileInfo::exists(installed.own));
}

TEST(StartFoldersTest, OtherwiseThePictureFolderIsMadeAndGivenTheSampleImagesOnce) {
    const Installed installed;
    EXPECT_EQ(installed.imageFolder(false), installed.own);
    EXPECT_EQ(installed.ownFiles(), (QStringList{"chart.bmp", "flat.bmp"}));
    EXPECT_EQ(testutils::readAll(installed.own + "/flat.bmp"), QByteArray("BM flat"));

    // The user's own changes stay: a deleted sample is not brought back, a saved file stays.
    QFile::remove(installed.own + "/chart.bmp");
    installed.sandbox.write("home/Pictures/Gavrel/flat.bmp", "BM saved over");
    EXPECT_EQ(installed.imageFolder(false), installed.own);
    EXPECT_EQ(installed.ownFiles(), QStringList{"flat.bmp"});
    EXPECT_EQ(testutils::readAll(installed.own + "/flat.bmp"), QByteArray("BM saved over"));
}

TEST(StartFoldersTest, WithoutAUsablePictureFolderTheProgramFolderStays) {
    const Installed blocked;
    blocked.sandbox.write("home/Pictures/Gavrel", "a file where the folder would go");
    EXPECT_EQ(blocked.imageFolder(false), blocked.program);

    const Installed unknown;
    EXPECT_EQ(StartFolders::imageFolder(unknown.program, false, QString(), unknown.samples),
              unknown.program);
}

TEST(StartFoldersTest, VideoChooserPrefersTheDefaultThenTheInstalledSamples) {
    testutils::Sandbox sandbox;
    const QString defaultFolder = sandbox.mkdir("opt/Video_IniFiles");
    const QString samples = sandbox.mkdir("usr/share/gavrel/video");
    const QString missing = sandbox.filePath("nowhere");
    struct Case {
        QString defaultFolder, samples, expected;
    };
    for (const Case& c : {Case{defaultFolder, samples, defaultFolder},
                          Case{missing, samples, QDir::toNativeSeparators(samples)},
                          Case{missing, missing, QString()}, Case{missing, QString(), QString()}}) {
        EXPECT_EQ(StartFolders::videoFolder(c.defaultFolder, c.samples), c.expected)
            << c.defaultFolder.toStdString() << " / " << c.samples.toStdString();
    }
}

TEST(StartFoldersTest, TheInstalledDataIsBesideTheProgramsFolder) {
    EXPECT_EQ(StartFolders::installedDataFolder("/usr/bin"), QStringLiteral("/usr/share/gavrel"));
    EXPECT_EQ(StartFolders::installedDataFolder("/opt/gavrel/bin"),
              QStringLiteral("/opt/gavrel/share/gavrel"));
}

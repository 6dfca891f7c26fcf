// GoogleTest
#include <gtest/gtest.h>

// Qt
#include <QDir>

// Ours
#include "ShippedSamples.h"
#include "VideoConfigFile.h"
#include "testutils.h"

namespace {

VideoConfigFile parse(const char* text) {
    return VideoConfigFile::parse(QString::fromUtf8(text), QStringLiteral("/videos"),
                                  QStringLiteral("/program"));
}

TEST(VideoConfigFileTest, ReadsTheVideoGroupOnly) {
    const auto config = parse("\xEF\xBB\xBF; camera\r\n"
                              "[Other]\nPipeline=wrong\n"
                              "[video]\r\n"
                              "  pipeline = videotestsrc ! video/x-raw,format=RGB,width=8  \r\n"
                              "# comment\nFit=Stretch\nOpenTimeoutMs=1500\nCaptureTimeoutMs=250\n"
                              "closetimeoutms=300\n"
                              "[After]\nPipeline=wrong too\n");
    ASSERT_EQ(config.result(), VideoConfigFile::Result::Ok);
    EXPECT_EQ(config.pipeline(), QStringLiteral("videotestsrc ! video/x-raw,format=RGB,width=8"));
    EXPECT_EQ(config.fit(), VideoConfigFile::Fit::Stretch);
    EXPECT_EQ(config.openTimeoutMs(), 1500);
    EXPECT_EQ(config.captureTimeoutMs(), 250);
    EXPECT_EQ(config.closeTimeoutMs(), 300);
}

TEST(VideoConfigFileTest, UnusableTimeoutsAndFitFallBackToDefaults) {
    for (const char* value : {"0", "-5", "abc", "60001", ""}) {
        const auto config = parse(QByteArray("[Video]\nPipeline=x\nFit=sideways\nOpenTimeoutMs=")
                                      .append(value)
                                      .constData());
        EXPECT_EQ(config.result(), VideoConfigFile::Result::Ok);
        EXPECT_FALSE(config.openTimeoutMs().has_value()) << value;
        EXPECT_EQ(config.fit(), VideoConfigFile::Fit::Crop);
    }
}

TEST(VideoConfigFileTest, MissingPipelineIsReported) {
    EXPECT_EQ(parse("").result(), VideoConfigFile::Result::NoPipeline);
    EXPECT_EQ(parse("Pipeline=videotestsrc\n").result(), VideoConfigFile::Result::NoPipeline);
    EXPECT_EQ(parse("[Video]\nPipeline=\n").result(), VideoConfigFile::Result::NoPipeline);
    EXPECT_EQ(parse("[Video]\n=videotestsrc\n").result(), VideoConfigFile::Result::NoPipeline);
}

TEST(VideoConfigFileTest, FoldersAreSubstitutedReadyForQuoting) {
    const auto config = VideoConfigFile::parse(
        QStringLiteral("[Video]\nPipeline=a location=\"$(IniFolder)/f-%d.bmp\" "
                       "b=\"$(ProgramFolder)/x.bmp\"\n"),
        QStringLiteral("/data/back\\slash"), QStringLiteral("/opt/my \"odd\" app"));
    EXPECT_EQ(config.pipeline(), QStringLiteral("a location=\"/data/back\\\\slash/f-%d.bmp\" "
                                                "b=\"/opt/my \\\"odd\\\" app/x.bmp\""));
}

TEST(VideoConfigFileTest, UnreadableFiles) {
    testutils::Sandbox sandbox;
    EXPECT_EQ(
        VideoConfigFile::read(sandbox.filePath(QStringLiteral("none.ini")), QString()).result(),
        VideoConfigFile::Result::Unreadable);
    EXPECT_EQ(VideoConfigFile::read(sandbox.mkdir(QStringLiteral("dir.ini")), QString()).result(),
              VideoConfigFile::Result::Unreadable);
    const QByteArray huge(VideoConfigFile::kMaxFileSize + 1, ' ');
    EXPECT_EQ(VideoConfigFile::read(sandbox.write(QStringLiteral("huge.ini"),
                                                  "[Video]\nPipeline=videotestsrc\n" + huge),
                                    QString())
                  .result(),
              VideoConfigFile::Result::Unreadable);
}

TEST(VideoConfigFileTest, ShippedSamplesNameTheirSources) {
    const QString folder = shipped::video(QString());
    const auto pattern =
        VideoConfigFile::read(folder + QStringLiteral("test-pattern.ini"), QString());
    ASSERT_EQ(pattern.result(), VideoConfigFile::Result::Ok);
    EXPECT_TRUE(pattern.pipeline().startsWith(QStringLiteral("videotestsrc")));

    const auto usb = VideoConfigFile::read(folder + QStringLiteral("usb-camera.ini"), QString());
    ASSERT_EQ(usb.result(), VideoConfigFile::Result::Ok);
    EXPECT_EQ(usb.pipeline(), QStringLiteral("v4l2src device=/dev/video0"));

    const auto replay =
        VideoConfigFile::read(folder + QStringLiteral("sample-images.ini"), QString());
    ASSERT_EQ(replay.result(), VideoConfigFile::Result::Ok);
    EXPECT_TRUE(replay.pipeline().contains(QDir::fromNativeSeparators(QDir::cleanPath(folder)) +
                                           QStringLiteral("/replay/frame-%d.bmp")));
}

} // namespace

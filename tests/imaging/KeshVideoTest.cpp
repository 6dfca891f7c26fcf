// GoogleTest
#include <gtest/gtest.h>

// Standard library
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

// POSIX
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

// Qt
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>

// GStreamer
#include <gst/base/gstbasesrc.h>
#include <gst/gst.h>

// Ours
#include "KeshImage.h"
#include "KeshVideo.h"
#include "ShippedSamples.h"
#include "testutils.h"

using namespace std::chrono_literals;

namespace {

const QString kMovingPattern =
    QStringLiteral("videotestsrc pattern=ball is-live=true ! video/x-raw,framerate=30/1");

std::vector<std::uint8_t> pixelsOf(const KeshImage& image) {
    const auto* first = image.bufferAddress();
    return {first, first + image.bytesPerLine() * image.height()};
}

int openDescriptorCount() {
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

template <typename Condition>
bool becomesTrueWithin(std::chrono::milliseconds limit, Condition condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limit.count()) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

// A camera another program streams from: a V4L2 device answers EBUSY when its format is set,
// a GigE Vision camera refuses a second controller's writes. Either way the source posts its
// own error while negotiating, then the stream stops as not negotiated; letting go of the
// refused device takes the source a while.
struct BusySource {
    GstBaseSrc parent;
};
struct BusySourceClass {
    GstBaseSrcClass parent;
};
G_DEFINE_TYPE(BusySource, busy_source, GST_TYPE_BASE_SRC)

constexpr auto kBusySourceLetsGoAfter = 1200ms;

gboolean busySourceSetCaps(GstBaseSrc* source, GstCaps*) {
    GST_ELEMENT_ERROR(source, RESOURCE, BUSY, ("Device is busy"), ("another program streams"));
    return FALSE;
}

std::atomic<int> busySourceStops{0};

gboolean busySourceStop(GstBaseSrc*) {
    std::this_thread::sleep_for(kBusySourceLetsGoAfter);
    ++busySourceStops;
    return TRUE;
}

GstFlowReturn busySourceCreate(GstBaseSrc*, guint64, guint, GstBuffer**) {
    return GST_FLOW_ERROR;
}

void busy_source_class_init(BusySourceClass* type) {
    static GstStaticPadTemplate source = GST_STATIC_PAD_TEMPLATE(
        "src", GST_PAD_SRC, GST_PAD_ALWAYS,
        GST_STATIC_CAPS("video/x-raw,format=GRAY8,width=512,height=480,framerate=30/1"));
    auto* element = GST_ELEMENT_CLASS(type);
    gst_element_class_add_static_pad_template(element, &source);
    gst_element_class_set_static_metadata(element, "Busy camera", "Source/Video",
                                          "A camera in use by another program", "Gavrel");
    auto* base = GST_BASE_SRC_CLASS(type);
    base->set_caps = busySourceSetCaps;
    base->stop = busySourceStop;
    base->create = busySourceCreate;
}

void busy_source_init(BusySource* source) {
    gst_base_src_set_live(GST_BASE_SRC(source), TRUE);
    gst_base_src_set_format(GST_BASE_SRC(source), GST_FORMAT_TIME);
}

void registerBusySource() {
    gst_init(nullptr, nullptr);
    gst_element_register(nullptr, "gavrelbusysrc", GST_RANK_NONE, busy_source_get_type());
}

class KeshVideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sandbox.isValid());
        video.setOpenTimeout(3000ms);
        video.setCaptureTimeout(2000ms);
    }

    QString writeConfig(const QString& pipeline, const QString& extra = {}) {
        return sandbox.write(
            QStringLiteral("camera.ini"),
            QStringLiteral("[Video]\nPipeline=%1\n%2").arg(pipeline, extra).toUtf8());
    }

    int openWith(const QString& pipeline, const QString& extra = {}) {
        video.setConfigFile(writeConfig(pipeline, extra));
        video.open();
        return video.status();
    }

    int capture() {
        video.captureBegin();
        video.captureEnd(image);
        return video.status();
    }

    testutils::Sandbox sandbox;
    KeshVideo video;
    KeshImage image;
};

TEST_F(KeshVideoTest, SampleTestPatternCapturesChangingFramesAndReopens) {
    video.setConfigFile(shipped::video(QStringLiteral("test-pattern.ini")));
    video.open();
    ASSERT_EQ(video.status(), KeshVideo::Ok) << video.statusText().toStdString();

    ASSERT_EQ(capture(), KeshVideo::Ok) << video.statusText().toStdString();
    EXPECT_EQ(image.width(), 512);
    EXPECT_EQ(image.height(), 480);
    EXPECT_EQ(image.bitsPerPixel(), 8);
    EXPECT_EQ(image.colorFormat(), KeshImage::Grey);
    const auto first = pixelsOf(image);
    ASSERT_EQ(capture(), KeshVideo::Ok);
    EXPECT_NE(pixelsOf(image), first) << "the ball moves between two grabs";

    video.close();
    EXPECT_FALSE(video.isOpen());
    EXPECT_NE(capture(), KeshVideo::Ok);
    video.open();
    EXPECT_EQ(video.status(), KeshVideo::Ok);
    EXPECT_EQ(capture(), KeshVideo::Ok);
}

TEST_F(KeshVideoTest, CaptureASecondAfterOpenIsFresh) {
    ASSERT_EQ(openWith(kMovingPattern), KeshVideo::Ok) << video.statusText().toStdString();
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(capture(), KeshVideo::Ok);
    EXPECT_GE(video.lastFrameRunningTime(), 950ms);
}

TEST_F(KeshVideoTest, ReplayConfigPlaysTheNumberedImagesInTurn) {
    const QString ini = testutils::readAll(shipped::video(QStringLiteral("sample-images.ini")));
    ASSERT_FALSE(ini.isEmpty());
    // A folder with a space checks that $(IniFolder) survives gst-launch quoting.
    const QString config = sandbox.write(QStringLiteral("my videos/replay.ini"), ini.toUtf8());
    const QList<int> levels{40, 120, 200};
    for (int i = 0; i < levels.size(); ++i) {
        QImage frame(512, 480, QImage::Format_Grayscale8);
        frame.fill(QColor(levels[i], levels[i], levels[i]));
        const QString name =
            sandbox.filePath(QStringLiteral("my videos/replay/frame-%1.bmp").arg(i));
        QDir().mkpath(QFileInfo(name).absolutePath());
        ASSERT_TRUE(frame.save(name, "BMP"));
    }
    video.setConfigFile(config);
    video.open();
    ASSERT_EQ(video.status(), KeshVideo::Ok) << video.statusText().toStdString();

    QSet<int> seen;
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(capture(), KeshVideo::Ok) << video.statusText().toStdString();
        const auto pixels = pixelsOf(image);
        const int level = pixels.front();
        EXPECT_TRUE(levels.contains(level)) << level;
        EXPECT_EQ(std::count(pixels.begin(), pixels.end(), pixels.front()),
                  qsizetype(pixels.size()));
        seen.insert(level);
    }
    EXPECT_GE(seen.size(), 2);
}

TEST_F(KeshVideoTest, ProgramFolderIsTheOneItWasGiven) {
    QImage frame(512, 480, QImage::Format_Grayscale8);
    frame.fill(QColor(90, 90, 90));
    const QString program = sandbox.mkdir(QStringLiteral("program"));
    ASSERT_TRUE(QDir(program).mkpath(QStringLiteral("frames")));
    ASSERT_TRUE(frame.save(program + QStringLiteral("/frames/frame-0.bmp"), "BMP"));

    KeshVideo fromProgram(program);
    fromProgram.setOpenTimeout(3000ms);
    fromProgram.setCaptureTimeout(2000ms);
    fromProgram.setConfigFile(writeConfig(
        QStringLiteral("multifilesrc location=\"$(ProgramFolder)/frames/frame-%d.bmp\" loop=true "
                       "do-timestamp=true caps=image/bmp,framerate=5/1 ! "
                       "identity sleep-time=200000 ! gdkpixbufdec")));
    fromProgram.open();
    ASSERT_EQ(fromProgram.status(), KeshVideo::Ok) << fromProgram.statusText().toStdString();
    fromProgram.captureBegin();
    fromProgram.captureEnd(image);
    ASSERT_EQ(fromProgram.status(), KeshVideo::Ok) << fromProgram.statusText().toStdString();
    EXPECT_EQ(pixelsOf(image).front(), 90);
}

TEST_F(KeshVideoTest, BuiltReplayOfTheSampleImagesCaptures) {
    // The build puts video/ beside bin/, where the test programs live.
    const QString bin = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString built =
        QFileInfo(bin).dir().filePath(QStringLiteral("../video/sample-images.ini"));
    if (!QFileInfo::exists(QFileInfo(built).absolutePath() +
                           QStringLiteral("/replay/frame-0.bmp"))) {
        GTEST_SKIP() << "the build found no 512 x 480 8-bit sample images to replay";
    }
    video.setConfigFile(built);
    video.open();
    ASSERT_EQ(video.status(), KeshVideo::Ok) << video.statusText().toStdString();
    ASSERT_EQ(capture(), KeshVideo::Ok) << video.statusText().toStdString();

    // A replayed frame is one of the images, pixel for pixel.
    const QDir replay(QFileInfo(built).absolutePath() + QStringLiteral("/replay"));
    bool matched = false;
    for (const QString& name : replay.entryList({QStringLiteral("*.bmp")})) {
        const QImage frame =
            QImage(replay.filePath(name)).convertToFormat(QImage::Format_Grayscale8);
        std::vector<std::uint8_t> expected;
        for (int y = 0; y < frame.height(); ++y) {
            expected.insert(expected.end(), frame.constScanLine(y),
                            frame.constScanLine(y) + frame.width());
        }
        matched = matched || expected == pixelsOf(image);
    }
    EXPECT_TRUE(matched);
}

struct OpenFailure {
    const char* name;
    const char* pipeline;
    int status;
};

class KeshVideoOpenFailureTest : public KeshVideoTest,
                                 public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(KeshVideoOpenFailureTest, ReportsItsStatusWithinTheTimeoutAndLeavesTheImage) {
    const auto before = pixelsOf(image);
    video.setOpenTimeout(500ms);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(openWith(QString::fromUtf8(GetParam().pipeline)), GetParam().status)
        << video.statusText().toStdString();
    EXPECT_LT(timer.elapsed(), 4000);
    EXPECT_FALSE(video.isOpen());
    EXPECT_FALSE(video.statusText().isEmpty());

    EXPECT_EQ(capture(), KeshVideo::NotOpen);
    EXPECT_EQ(pixelsOf(image), before);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, KeshVideoOpenFailureTest,
    ::testing::Values(
        OpenFailure{"MissingDevice", "v4l2src device=/dev/video99", KeshVideo::SourceFailed},
        OpenFailure{"UnknownElement", "nosuchcamerasrc", KeshVideo::PipelineInvalid},
        OpenFailure{"UnknownProperty", "videotestsrc no-such-property=1",
                    KeshVideo::PipelineInvalid},
        OpenFailure{"BadPropertyValue", "videotestsrc pattern=no-such-pattern",
                    KeshVideo::PipelineInvalid},
        OpenFailure{"EndsBeforeFirstFrame", "videotestsrc num-buffers=0", KeshVideo::EndOfStream},
        OpenFailure{"NeverDelivers", "videotestsrc is-live=true ! valve drop=true",
                    KeshVideo::Timeout},
        OpenFailure{"BuffersShorterThanTheirCaps",
                    "videotestsrc ! video/x-raw,format=GRAY8,width=256,height=240"
                    " ! capssetter caps=\"video/x-raw,width=512,height=480\"",
                    KeshVideo::WrongFrameFormat}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(KeshVideoTest, ACameraInUseFailsToStartAndKeepsItsReasonThroughTheClose) {
    registerBusySource();
    ASSERT_EQ(openWith(QStringLiteral("gavrelbusysrc"), QStringLiteral("CloseTimeoutMs=100\n")),
              KeshVideo::SourceFailed)
        << video.statusText().toStdString();
    EXPECT_TRUE(video.statusText().contains(QStringLiteral("busy")))
        << video.statusText().toStdString();
    EXPECT_FALSE(video.isOpen());

    // The source is still letting go of the device when the program closes it.
    const int stops = busySourceStops;
    video.close();
    EXPECT_TRUE(video.statusText().contains(QStringLiteral("busy")))
        << video.statusText().toStdString();
    EXPECT_EQ(capture(), KeshVideo::NotOpen);
    EXPECT_TRUE(becomesTrueWithin(5s, [&] { return busySourceStops > stops; }));
}

TEST_F(KeshVideoTest, OpeningInTwoHalvesEndsAsOpeningDoes) {
    registerBusySource();
    const struct {
        QString pipeline;
        int status;
    } cases[] = {
        {kMovingPattern, KeshVideo::Ok},
        {QStringLiteral("gavrelbusysrc"), KeshVideo::SourceFailed},
        {QStringLiteral("nosuchcamerasrc"), KeshVideo::PipelineInvalid},
        {QStringLiteral("videotestsrc num-buffers=0"), KeshVideo::EndOfStream},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pipeline.toStdString());
        video.setConfigFile(writeConfig(c.pipeline));
        video.openBegin();
        int waits = 0;
        while (!video.openEnd(50ms) && ++waits < 100) {
            EXPECT_FALSE(video.isOpen());
            EXPECT_EQ(capture(), KeshVideo::NotOpen);
        }
        EXPECT_FALSE(video.isOpening());
        EXPECT_EQ(video.status(), c.status) << video.statusText().toStdString();
        EXPECT_EQ(video.isOpen(), c.status == KeshVideo::Ok);
        EXPECT_EQ(capture(), c.status == KeshVideo::Ok ? KeshVideo::Ok : KeshVideo::NotOpen);
        video.close();
    }
    video.setConfigFile(sandbox.filePath(QStringLiteral("missing.ini")));
    video.openBegin();
    EXPECT_FALSE(video.isOpening());
    EXPECT_TRUE(video.openEnd(0ms));
    EXPECT_EQ(video.status(), KeshVideo::FileUnreadable);
}

TEST_F(KeshVideoTest, ClosingWhileOpeningGivesTheOpeningUpAtOnce) {
    video.setConfigFile(writeConfig(QStringLiteral("videotestsrc is-live=true ! valve drop=true"),
                                    QStringLiteral("OpenTimeoutMs=5000\n")));
    video.openBegin();
    EXPECT_TRUE(video.isOpening());
    EXPECT_FALSE(video.openEnd(100ms));
    QElapsedTimer timer;
    timer.start();
    video.close();
    EXPECT_LT(timer.elapsed(), 2000) << "closing waited for the open's timeout";
    EXPECT_FALSE(video.isOpening());
    EXPECT_FALSE(video.isOpen());
    EXPECT_EQ(capture(), KeshVideo::NotOpen);

    EXPECT_EQ(openWith(kMovingPattern), KeshVideo::Ok) << video.statusText().toStdString();
}

TEST_F(KeshVideoTest, ConfigurationFileProblemsHaveTheirOwnStatus) {
    video.setConfigFile(sandbox.filePath(QStringLiteral("missing.ini")));
    video.open();
    EXPECT_EQ(video.status(), KeshVideo::FileUnreadable);

    video.setConfigFile(sandbox.mkdir(QStringLiteral("folder.ini")));
    video.open();
    EXPECT_EQ(video.status(), KeshVideo::FileUnreadable);

    video.setConfigFile(QString());
    video.open();
    EXPECT_EQ(video.status(), KeshVideo::FileUnreadable);

    video.setConfigFile(sandbox.write(QStringLiteral("empty.ini"), QByteArray()));
    video.open();
    EXPECT_EQ(video.status(), KeshVideo::NoPipeline);

    video.setConfigFile(sandbox.write(QStringLiteral("blank.ini"), "[Video]\nPipeline=  \n"));
    video.open();
    EXPECT_EQ(video.status(), KeshVideo::NoPipeline);
    EXPECT_FALSE(video.isOpen());
}

TEST_F(KeshVideoTest, FailureMidStreamNeverReturnsTheFrameLeftBehind) {
    ASSERT_EQ(openWith(kMovingPattern + QStringLiteral(" ! identity error-after=4")), KeshVideo::Ok)
        << video.statusText().toStdString();
    const auto before = pixelsOf(image);
    // By now the error has happened and a good frame from before it waits in the sink.
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(capture(), KeshVideo::StreamError);
    EXPECT_EQ(pixelsOf(image), before);
    EXPECT_FALSE(video.isOpen());

    EXPECT_EQ(capture(), KeshVideo::StreamError) << "the next grab fails too, without hanging";
    EXPECT_EQ(pixelsOf(image), before);
}

TEST_F(KeshVideoTest, SlowSourceTimesOutKeepingTheImageThenDeliversAgain) {
    // One frame every 0.8 s: the grab right after opening has nothing new within 200 ms.
    ASSERT_EQ(openWith(kMovingPattern + QStringLiteral(" ! identity sleep-time=800000")),
              KeshVideo::Ok)
        << video.statusText().toStdString();
    const auto before = pixelsOf(image);
    video.setCaptureTimeout(200ms);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(capture(), KeshVideo::Timeout);
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_EQ(pixelsOf(image), before);
    EXPECT_TRUE(video.isOpen());

    video.setCaptureTimeout(3000ms);
    EXPECT_EQ(capture(), KeshVideo::Ok) << video.statusText().toStdString();
}

TEST_F(KeshVideoTest, CallsWithoutOpenFailWithoutTouchingTheImage) {
    const auto before = pixelsOf(image);
    EXPECT_EQ(video.status(), KeshVideo::NotOpen);
    video.captureEnd(image);
    EXPECT_EQ(video.status(), KeshVideo::NotOpen);
    EXPECT_EQ(capture(), KeshVideo::NotOpen);
    video.close();
    video.close();
    EXPECT_EQ(pixelsOf(image), before);
}

TEST_F(KeshVideoTest, HundredCapturesGrowNeitherMemoryNorDescriptors) {
    const QString fastPattern =
        QStringLiteral("videotestsrc pattern=ball is-live=true ! video/x-raw,framerate=100/1");
    ASSERT_EQ(openWith(fastPattern), KeshVideo::Ok);
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(capture(), KeshVideo::Ok);
    }
    const int descriptors = openDescriptorCount();
    const long resident = residentKiB();
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(capture(), KeshVideo::Ok) << "capture " << i;
    }
    EXPECT_EQ(openDescriptorCount(), descriptors);
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer keeps freed frames in quarantine; there LeakSanitizer has the say.
    EXPECT_LT(residentKiB() - resident, 4096);
#else
    static_cast<void>(resident);
#endif

    video.close();
    const int closedDescriptors = openDescriptorCount();
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(openWith(fastPattern), KeshVideo::Ok);
        video.close();
    }
    EXPECT_EQ(openDescriptorCount(), closedDescriptors);
}

// Sources that never let go: a named pipe nobody writes blocks the change to PLAYING, an
// element sleeping on its buffer blocks the change back to NULL.
struct StuckSource {
    const char* name;
    const char* pipeline;
};

class KeshVideoStuckSourceTest : public KeshVideoTest,
                                 public ::testing::WithParamInterface<StuckSource> {
protected:
    static constexpr auto kOpenTimeout = 700ms;
    static constexpr auto kCloseTimeout = 300ms;
    // Scheduling on a loaded machine, on top of the camera's own margin.
    static constexpr auto kSlack = 700ms;

    void SetUp() override {
        KeshVideoTest::SetUp();
        fifo = sandbox.filePath(QStringLiteral("fifo"));
        ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    }

    QString config() {
        return writeConfig(QString::fromUtf8(GetParam().pipeline),
                           QStringLiteral("OpenTimeoutMs=%1\nCloseTimeoutMs=%2\n")
                               .arg(kOpenTimeout.count())
                               .arg(kCloseTimeout.count()));
    }

    QString fifo;
};

TEST_P(KeshVideoStuckSourceTest, OpenAndCloseKeepToTheirTimeouts) {
    video.setConfigFile(config());
    QElapsedTimer timer;
    timer.start();
    video.open();
    EXPECT_EQ(video.status(), KeshVideo::Timeout) << video.statusText().toStdString();
    EXPECT_LT(timer.elapsed(), (kOpenTimeout + KeshVideo::kAnswerMargin + kSlack).count());
    EXPECT_FALSE(video.statusText().isEmpty());
    EXPECT_FALSE(video.isOpen());
    EXPECT_EQ(capture(), KeshVideo::NotOpen);

    timer.restart();
    video.close();
    EXPECT_LT(timer.elapsed(), (kCloseTimeout + KeshVideo::kAnswerMargin + kSlack).count());

    // A second try meets the same source and the same bounds.
    timer.restart();
    video.open();
    EXPECT_EQ(video.status(), KeshVideo::Timeout);
    video.close();
    EXPECT_LT(timer.elapsed(),
              (kOpenTimeout + kCloseTimeout + 2 * KeshVideo::kAnswerMargin + kSlack).count());
}

INSTANTIATE_TEST_SUITE_P(
    Sources, KeshVideoStuckSourceTest,
    ::testing::Values(StuckSource{"UnwrittenNamedPipe",
                                  "filesrc location=\"$(IniFolder)/fifo\" ! pngdec"},
                      StuckSource{"ThirtySecondsPerBuffer",
                                  "videotestsrc is-live=true ! identity sleep-time=30000000"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(KeshVideoTest, AnAbandonedPipelineIsTornDownWhenItsSourceLetsGo) {
    const QString fifo = sandbox.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    ASSERT_EQ(openWith(QStringLiteral("filesrc location=\"$(IniFolder)/fifo\" ! pngdec"),
                       QStringLiteral("OpenTimeoutMs=300\nCloseTimeoutMs=100\n")),
              KeshVideo::Timeout);
    video.close();

    // The abandoned source still waits for a writer. Once one has come and gone, the pipeline
    // finishes its start, meets the end of the stream (or its teardown comes first) and lets go
    // of the pipe. A source blocked in a read cannot be torn down before then, and the bytes,
    // not a picture, are only skipped by the decoder: the writer must go.
    const QByteArray path = fifo.toLocal8Bit();
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    int writer = -1;
    EXPECT_TRUE(becomesTrueWithin(30s, [&] {
        writer = ::open(path.constData(), O_WRONLY | O_NONBLOCK);
        return writer >= 0;
    })) << "the source opens the pipe for reading";
    if (writer >= 0) {
        const QByteArray notAPicture(4096, 'x');
        const ssize_t written = ::write(writer, notAPicture.constData(), notAPicture.size());
        // EPIPE: the pipeline was down before the bytes came.
        EXPECT_TRUE(written > 0 || errno == EPIPE) << std::strerror(errno);
        ::close(writer);
        // The source was counted as a reader before the first writer could open; no reader
        // left means it closed the pipe.
        EXPECT_TRUE(becomesTrueWithin(30s, [&] {
            const int probe = ::open(path.constData(), O_WRONLY | O_NONBLOCK);
            if (probe >= 0) {
                ::close(probe);
                return false;
            }
            return errno == ENXIO;
        })) << "the pipeline was torn down";
    }
    std::signal(SIGPIPE, previous);
}

TEST_F(KeshVideoTest, TheProgramEndsPromptlyWithItsCameraStuck) {
    const QString fifo = sandbox.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString config =
        writeConfig(QStringLiteral("filesrc location=\"$(IniFolder)/fifo\" ! pngdec"),
                    QStringLiteral("OpenTimeoutMs=500\nCloseTimeoutMs=200\n"));
    QProcess child;
    child.start(QStringLiteral(GAVREL_CAMERA_EXIT_PROBE), {config});
    ASSERT_TRUE(child.waitForStarted());
    const bool ended = child.waitForFinished(5000);
    if (!ended) {
        child.kill();
        child.waitForFinished();
    }
    EXPECT_TRUE(ended) << "the program is held by its camera";
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
    EXPECT_TRUE(child.readAllStandardOutput().startsWith("status 5:"));
}

struct SinkInSource {
    const char* name;
    const char* pipeline;
    const char* sinkName; // expected in the status text
};

class KeshVideoSinkTest : public KeshVideoTest,
                          public ::testing::WithParamInterface<SinkInSource> {};

TEST_P(KeshVideoSinkTest, IsRefusedBeforeAnythingRuns) {
    EXPECT_EQ(openWith(QString::fromUtf8(GetParam().pipeline)), KeshVideo::PipelineInvalid)
        << video.statusText().toStdString();
    EXPECT_TRUE(video.statusText().contains(QString::fromUtf8(GetParam().sinkName)))
        << video.statusText().toStdString();
    EXPECT_FALSE(video.isOpen());
    video.close();
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(QFileInfo::exists(sandbox.filePath(QStringLiteral("x.png"))));
}

INSTANTIATE_TEST_SUITE_P(
    Pipelines, KeshVideoSinkTest,
    ::testing::Values(
        SinkInSource{
            "FileBesideTheCamera",
            "videotestsrc num-buffers=1 ! pngenc ! filesink location=\"$(IniFolder)/x.png\""
            "  videotestsrc is-live=true",
            "filesink"},
        SinkInSource{"NetworkStreamOffATee",
                     "videotestsrc is-live=true ! tee name=t ! queue ! tcpserversink port=0 t. ! "
                     "queue",
                     "tcpserversink"},
        SinkInSource{"FileInsideABin",
                     "bin.( bin.( videotestsrc num-buffers=1 ! pngenc ! filesink "
                     "location=\"$(IniFolder)/x.png\" ) ) videotestsrc is-live=true",
                     "filesink"},
        SinkInSource{"AnotherAppSink", "videotestsrc ! appsink  videotestsrc is-live=true",
                     "appsink"},
        SinkInSource{"VideoSinkBin", "videotestsrc ! tee name=t ! queue ! autovideosink t. ! queue",
                     "autovideosink"}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace

// Qt
#include <QElapsedTimer>

// Ours
#include "MessageBox.h"
#include "RuntimeError.h"
#include "ServiceFakes.h"
#include "WindowProbe.h"
#include "testutils.h"

#include <gtest/gtest.h>

namespace {

const QString kOpenFailed =
    QStringLiteral("ビデオデバイスのオープンに失敗しました｡\r\n画像ファイルのみの利用になります。");
const QString kCaptureFailed =
    QStringLiteral("ビデオの取込に失敗しました｡\r\n画像ファイルのみの利用になります。");

class frmMainStartupTest : public testing::Test {
protected:
    QString ini(const char* name, const char* pipeline) {
        return sandbox.write(QString::fromLatin1(name),
                             QByteArray("[Video]\nPipeline=") + pipeline +
                                 "\nOpenTimeoutMs=3000\nCaptureTimeoutMs=1000\n");
    }

    // Starts a window whose chooser answers `path`, noting what the operator saw meanwhile.
    std::unique_ptr<frmMain> start(const QString& path) {
        Services services = fakes::services(messages);
        services.chooseVideoConfFile = [this, path](QWidget* parent) {
            ++choices;
            mainShownBehindChooser = parent != nullptr && parent->isVisible();
            grabEnabledDuringChoice = probe::child<QPushButton>(*parent, "cmdGrab")->isEnabled();
            return path;
        };
        auto window = std::make_unique<frmMain>(services);
        window->Form_Load();
        return window;
    }

    static QString text(frmMain& window, const char* name) { return probe::text(window, name); }
    static bool grabEnabled(frmMain& window) {
        return probe::child<QPushButton>(window, "cmdGrab")->isEnabled();
    }

    // The first results are on screen, whatever happened to the camera.
    static void expectFirstMeasurement(frmMain& window) {
        EXPECT_EQ(text(window, "lblCircleCenterX"), QStringLiteral("100"));
        EXPECT_EQ(text(window, "lblCircleCenterY"), QStringLiteral("100"));
        EXPECT_EQ(text(window, "lblCircleRadius"), QStringLiteral("50"));
        EXPECT_NE(text(window, "txtAverageDensity"), QStringLiteral("Text1"));
        EXPECT_TRUE(text(window, "txtExecuteTime").endsWith(QStringLiteral("ms")));
        EXPECT_NE(text(window, "lblJudge"), QStringLiteral("??"));
    }

    testutils::Sandbox sandbox;
    const std::shared_ptr<fakes::MessageRecorder> messages =
        std::make_shared<fakes::MessageRecorder>();
    int choices = 0;
    bool mainShownBehindChooser = false;
    bool grabEnabledDuringChoice = true;
};

TEST_F(frmMainStartupTest, WithoutACameraNothingIsOpenedOrClosed) {
    auto window = start(QString());
    EXPECT_EQ(choices, 1);
    EXPECT_TRUE(mainShownBehindChooser);
    EXPECT_FALSE(grabEnabledDuringChoice);
    EXPECT_TRUE(messages->records().empty());
    EXPECT_FALSE(grabEnabled(*window));
    EXPECT_FALSE(window->KeshVideo1.isOpen());
    EXPECT_EQ(text(*window, "txtAverageDensity"), QStringLiteral("0.0")); // the initial image
    expectFirstMeasurement(*window);
    window->close();
    EXPECT_FALSE(window->KeshVideo1.isOpen());
}

TEST_F(frmMainStartupTest, CameraFailuresAreReportedOnceAndWorkGoesOnWithFiles) {
    struct Case {
        const char* what;
        QString path;
        QString message;
    };
    const Case cases[] = {
        {"missing file", sandbox.filePath(QStringLiteral("absent.ini")), kOpenFailed},
        {"missing device", ini("device.ini", "v4l2src device=/dev/video99"), kOpenFailed},
        {"unparsable", ini("bad.ini", "videotestsrc no-such-property=1"), kOpenFailed},
        {"ends while settling after open",
         ini("short.ini", "videotestsrc num-buffers=2 is-live=true ! video/x-raw,framerate=10/1"),
         kCaptureFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messages->clear();
        auto window = start(c.path);
        ASSERT_EQ(messages->records().size(), 1u);
        EXPECT_EQ(messages->records()[0].text, c.message);
        EXPECT_EQ(messages->records()[0].style, MessageBox::Exclamation);
        EXPECT_EQ(messages->records()[0].title, QStringLiteral("エラー"));
        EXPECT_FALSE(grabEnabled(*window));
        expectFirstMeasurement(*window);
        window->close();
        EXPECT_FALSE(window->KeshVideo1.isOpen());
    }
}

TEST_F(frmMainStartupTest, ReadyCameraEnablesGrabMeasuresItsFrameAndClosesOnce) {
    auto window = start(ini("white.ini", "videotestsrc pattern=white is-live=true"));
    EXPECT_TRUE(messages->records().empty());
    EXPECT_TRUE(window->KeshVideo1.isOpen());
    EXPECT_TRUE(grabEnabled(*window));
    expectFirstMeasurement(*window);
    EXPECT_GT(text(*window, "txtAverageDensity").toDouble(), 200.0); // not the all-zero start
    EXPECT_EQ(text(*window, "lblJudge"), QStringLiteral("NG"));

    window->close();
    window->close();
    EXPECT_FALSE(window->KeshVideo1.isOpen());
    EXPECT_TRUE(messages->records().empty());
}

TEST_F(frmMainStartupTest, AFailingStepIsSkippedSilently) {
    Services services = fakes::services(messages);
    services.chooseVideoConfFile = [](QWidget*) -> QString {
        throw RuntimeError(RuntimeError::DeviceUnavailable, QStringLiteral("Device unavailable"));
    };
    frmMain window(services);
    window.Form_Load();
    EXPECT_TRUE(messages->records().empty());
    EXPECT_FALSE(window.KeshVideo1.isOpen());
    EXPECT_FALSE(grabEnabled(window));
    expectFirstMeasurement(window);
}

TEST_F(frmMainStartupTest, ClosingTheWindowDoesNotWaitForACameraThatWillNotStop) {
    // A frame every 3 s: right after a grab the source sleeps on the next one and cannot stop.
    auto window = start(sandbox.write(QStringLiteral("slow.ini"),
                                      "[Video]\nPipeline=videotestsrc is-live=true"
                                      " ! identity sleep-time=3000000\n"
                                      "OpenTimeoutMs=5000\nCaptureTimeoutMs=5000\n"
                                      "CloseTimeoutMs=200\n"));
    ASSERT_TRUE(grabEnabled(*window)) << window->KeshVideo1.statusText().toStdString();
    QElapsedTimer timer;
    timer.start();
    window->close();
    window.reset();
    EXPECT_LT(timer.elapsed(), 1500);
}

} // namespace

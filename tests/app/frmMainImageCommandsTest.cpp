// Grab, load and save driven through the main window's buttons and the real dialogs, on real
// files in a sandbox that stands for the program's folder.

// Standard library
#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

// Qt
#include <QElapsedTimer>
#include <QLineEdit>

// Ours
#include "FileListBox.h"
#include "NumberFormat.h"
#include "PelmintBinding.h"
#include "ProgramFolder.h"
#include "ServiceFakes.h"
#include "ShippedSamples.h"
#include "WindowProbe.h"
#include "dialogs/DialogTestKit.h"

#include <gtest/gtest.h>

using namespace dialogtest;

namespace {

const QString kGoodSample = QStringLiteral("disc-200-at-100-100-radius-60-on-50_512x480_grey8.bmp");
const QString kGradientSample = QStringLiteral("gradient-0-left-to-255-right_512x480_grey8.bmp");
const QString kFormatMessage = QStringLiteral("512*480 8bitグレイの画像ではありません");
const QString kStale = QStringLiteral("stale");

QString samplePath(const QString& name) {
    return shipped::image(name);
}

KeshImage imageFromFile(const QString& path) {
    KeshFileAccess access;
    KeshImage image;
    access.setFileName(path);
    access.read(image);
    EXPECT_EQ(access.errorCode(), 0) << path.toStdString();
    return image;
}

class ImageCommandsTest : public testing::Test {
protected:
    // The sandbox stands for the program's folder, Pelmint beside the program as installed.
    ImageCommandsTest()
        : folder(volumes.mkdir(QStringLiteral("volA/gavrel"))),
          pelmintFile_(PelmintBinding::fileNameFor(QStringLiteral("Pelmint"))),
          pelmintLinked_(QFile::link(ProgramFolder::path() + QDir::separator() + pelmintFile_,
                                     folder + QDir::separator() + pelmintFile_)),
          pelmint_(std::make_shared<PelmintBinding>(folder)) {}

    void SetUp() override { ASSERT_TRUE(pelmintLinked_); }

    void start(const QString& videoConfFile = QString()) {
        Services services = fakes::services(messages, videoConfFile);
        services.volumes = volumes.list();
        services.programFolder = folder;
        services.pelmint = pelmint_;
        window = std::make_unique<frmMain>(services);
        window->Form_Load();
    }

    KeshImage& image() { return window->KeshImage1; }
    QString text(const char* name) { return probe::text(*window, name); }
    void markAverageStale() {
        probe::child<QLineEdit>(*window, "txtAverageDensity")->setText(kStale);
    }
    void fill(std::uint8_t value) {
        std::fill_n(image().bufferAddress(), image().bytesPerLine() * image().height(), value);
    }

    // What the measurement must show for the image now held and the circle where it is.
    QString pelmintAverage() {
        const double average = pelmint_->CircleAreaAverage(
            image().bufferAddress(), image().width(), image().height(), image().bitsPerPixel(),
            text("lblCircleCenterX").toInt(), text("lblCircleCenterY").toInt(),
            text("lblCircleRadius").toInt());
        return NumberFormat::fixed(average, 1);
    }

    // Points away from the circle's rim, where the display shows plain image pixels.
    QImage shown() { return window->KeshDisplayEx1->viewport()->grab().toImage(); }
    void expectShowing(const KeshImage& expected) {
        const QImage screen = shown();
        for (const QPoint at : {QPoint(300, 300), QPoint(400, 40), QPoint(30, 400)}) {
            ASSERT_TRUE(screen.rect().contains(at));
            EXPECT_EQ(QColor(screen.pixel(at)), QColor(expected.pixelColor(at.x(), at.y())))
                << at.x() << "," << at.y();
        }
    }

    void expectOnlyMessage(const QString& text, int style, const QString& title) {
        ASSERT_EQ(messages->records().size(), 1u);
        EXPECT_EQ(messages->records()[0].text, text);
        EXPECT_EQ(messages->records()[0].style, style);
        EXPECT_EQ(messages->records()[0].title, title);
    }

    std::shared_ptr<fakes::MessageRecorder> messages = std::make_shared<fakes::MessageRecorder>();
    Volumes volumes;
    const QString folder;
    std::unique_ptr<frmMain> window;

private:
    const QString pelmintFile_;
    const bool pelmintLinked_;
    std::shared_ptr<PelmintBinding> pelmint_;
};

// The commands without a camera, on copies of the sample images.
class FileCommandsTest : public ImageCommandsTest {
protected:
    void SetUp() override {
        ImageCommandsTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        for (const QString& name :
             QDir(samplePath(QString())).entryList({QStringLiteral("*.bmp")})) {
            QFile::copy(samplePath(name), folder + QDir::separator() + name);
        }
        volumes.write(QStringLiteral("volA/gavrel/notes.txt"));
        start();
    }

    QString inFolder(const QString& name) const { return folder + QDir::separator() + name; }

    // Clicks the load button and, in the open dialog, picks `name` and presses OK.
    void load(const QString& name) {
        whileShown(
            QStringLiteral("frmFileLoad"), [this] { probe::click(*window, "cmdLoadImage"); },
            [&](QDialog& dialog) {
                auto* files = dialog.findChild<FileListBox*>(QStringLiteral("filFile"));
                listedInDialog = itemTexts(*files);
                clickItem(*files, name);
                QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cmdOK")),
                                  Qt::LeftButton);
            });
    }

    // Clicks the save button and, in the save dialog, types `name` and presses OK.
    void saveAs(const QString& name) {
        whileShown(
            QStringLiteral("frmFileSave"), [this] { probe::click(*window, "cmdSaveImage"); },
            [&](QDialog& dialog) {
                listedInDialog =
                    itemTexts(*dialog.findChild<FileListBox*>(QStringLiteral("filFile")));
                QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("txtFilename")), name);
                QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cmdOK")),
                                  Qt::LeftButton);
            });
    }

    enum class Dismissal { CancelButton, CloseBox };
    void dismiss(const char* command, const char* dialogName, Dismissal how) {
        whileShown(
            QString::fromLatin1(dialogName), [&] { probe::click(*window, command); },
            [how](QDialog& dialog) {
                if (how == Dismissal::CancelButton) {
                    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cmdCancel")),
                                      Qt::LeftButton);
                } else {
                    dialog.close();
                }
            });
    }

    QStringList listedInDialog;
};

TEST_F(FileCommandsTest, LoadingAGoodFileShowsAndMeasuresItWithoutAMessage) {
    markAverageStale();
    load(kGoodSample);

    EXPECT_TRUE(listedInDialog.contains(kGoodSample));
    EXPECT_FALSE(listedInDialog.contains(QStringLiteral("notes.txt"))); // given "*.bmp"
    EXPECT_TRUE(messages->records().empty());
    EXPECT_EQ(image(), imageFromFile(samplePath(kGoodSample)));
    expectShowing(image());
    EXPECT_EQ(QColor(shown().pixel(300, 300)), QColor(50, 50, 50));
    EXPECT_EQ(text("txtAverageDensity"), QStringLiteral("200.0")); // the disc covers the circle
    EXPECT_EQ(text("txtAverageDensity"), pelmintAverage());
    EXPECT_EQ(text("lblJudge"), QStringLiteral("NG"));
}

TEST_F(FileCommandsTest, AFileOfAnotherFormatGivesOneMessageAndBecomes512x480Grey) {
    const QString wrongFormats[] = {
        QStringLiteral("wrong-size-640x480_grey8.bmp"),
        QStringLiteral("wrong-format-colour-bars_512x480_rgb24.bmp"),
        QStringLiteral("wrong-size-512x512_grey8.bmp"),
    };
    for (const QString& name : wrongFormats) {
        SCOPED_TRACE(name.toStdString());
        messages->clear();
        markAverageStale();
        load(name);
        expectOnlyMessage(kFormatMessage, MessageBox::OkOnly, QStringLiteral("error"));
        EXPECT_EQ(image().width(), 512);
        EXPECT_EQ(image().height(), 480);
        EXPECT_EQ(image().bitsPerPixel(), 8);
        EXPECT_EQ(image().colorFormat(), KeshImage::Grey);
        expectShowing(image());
        EXPECT_EQ(text("txtAverageDensity"), pelmintAverage());
    }
}

TEST_F(FileCommandsTest, AReadFailureKeepsThePreviousImageAndStillMeasures) {
    volumes.write(QStringLiteral("volA/gavrel/broken.bmp"));
    load(kGoodSample);
    const KeshImage before = image();
    markAverageStale();

    load(QStringLiteral("broken.bmp"));
    const int code = window->KeshFileAccess1.errorCode();
    ASSERT_LT(code, 0);
    expectOnlyMessage(QStringLiteral("読込みに失敗しました。(ErrCode=%1)").arg(code),
                      MessageBox::Exclamation, QStringLiteral("読み込み失敗"));
    EXPECT_TRUE(messages->records()[0].text.contains(QStringLiteral("(ErrCode=-")));
    EXPECT_EQ(image(), before);
    expectShowing(before);
    EXPECT_EQ(text("txtAverageDensity"), QStringLiteral("200.0"));
}

TEST_F(FileCommandsTest, AReadFailureOnAnImageOfAnotherFormatGivesBothMessagesInOrder) {
    volumes.write(QStringLiteral("volA/gavrel/broken.bmp"));
    image().setWidth(640);
    markAverageStale();

    load(QStringLiteral("broken.bmp"));
    ASSERT_EQ(messages->records().size(), 2u);
    EXPECT_TRUE(messages->records()[0].text.startsWith(QStringLiteral("読込みに失敗しました。")));
    EXPECT_EQ(messages->records()[1].text, kFormatMessage);
    EXPECT_EQ(image().width(), 512);
    EXPECT_EQ(text("txtAverageDensity"), pelmintAverage());
}

TEST_F(FileCommandsTest, LeavingTheOpenDialogMeasuresTheUnchangedImageAgain) {
    load(kGoodSample); // the dialog then holds a confirmed path from this showing
    const KeshImage loaded = image();
    for (const Dismissal how : {Dismissal::CancelButton, Dismissal::CloseBox}) {
        SCOPED_TRACE(how == Dismissal::CancelButton ? "Cancel" : "close box");
        fill(90);
        dismiss("cmdLoadImage", "frmFileLoad", how);
        EXPECT_TRUE(messages->records().empty());
        EXPECT_EQ(image().bufferAddress()[0], 90); // not read again from the earlier path
        EXPECT_EQ(text("txtAverageDensity"), QStringLiteral("90.0"));
        expectShowing(loaded); // no refresh: the display still shows the loaded picture
    }
}

TEST_F(FileCommandsTest, LeavingTheSaveDialogWritesNothing) {
    const QStringList before = QDir(folder).entryList(QDir::Files);
    load(kGoodSample);
    saveAs(QStringLiteral("first")); // a confirmed path that must not be reused
    QFile::remove(inFolder(QStringLiteral("first.bmp")));
    for (const Dismissal how : {Dismissal::CancelButton, Dismissal::CloseBox}) {
        dismiss("cmdSaveImage", "frmFileSave", how);
    }
    EXPECT_TRUE(messages->records().empty());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), before);
}

TEST_F(FileCommandsTest, SavingWritesAn8BitFileThatReadsBackIdenticallyWithoutMeasuring) {
    load(kGradientSample);
    image().bufferAddress()[479 * 512 + 7] = 3; // unlike anything in the sample
    markAverageStale();

    saveAs(QStringLiteral("saved"));
    EXPECT_TRUE(messages->records().empty());
    EXPECT_TRUE(listedInDialog.contains(kGoodSample));
    EXPECT_FALSE(listedInDialog.contains(QStringLiteral("notes.txt")));
    const QString written = inFolder(QStringLiteral("saved.bmp")); // "bmp" added to a bare name
    const QByteArray bytes = testutils::readAll(written);
    ASSERT_GT(bytes.size(), 30);
    EXPECT_EQ(bytes.mid(0, 2), QByteArrayLiteral("BM"));
    EXPECT_EQ(quint8(bytes[28]) | quint8(bytes[29]) << 8, 8); // bits per pixel
    EXPECT_EQ(imageFromFile(written), image());
    EXPECT_EQ(text("txtAverageDensity"), kStale);
}

TEST_F(FileCommandsTest, AFailedSaveReportsTheCodeAndLeavesFilesAlone) {
    const QString old = inFolder(kGoodSample);
    const QByteArray oldBytes = testutils::readAll(old);
    volumes.mkdir(QStringLiteral("volA/gavrel/taken.bmp"));
    const QString targets[] = {QStringLiteral("missing/new.bmp"), QStringLiteral("taken.bmp"),
                               kGoodSample + QStringLiteral("/new.bmp")};
    fill(17);
    for (const QString& name : targets) {
        SCOPED_TRACE(name.toStdString());
        messages->clear();
        saveAs(name);
        const int code = window->KeshFileAccess1.errorCode();
        EXPECT_NE(code, 0);
        expectOnlyMessage(QStringLiteral("保存に失敗しました。(ErrCode=%1)").arg(code),
                          MessageBox::Exclamation, QStringLiteral("保存失敗"));
    }
    EXPECT_EQ(testutils::readAll(old), oldBytes);
    EXPECT_TRUE(QFileInfo(inFolder(QStringLiteral("taken.bmp"))).isDir());
    EXPECT_FALSE(QFileInfo::exists(inFolder(QStringLiteral("missing"))));
}

TEST_F(FileCommandsTest, GrabIsDisabledWithoutACamera) {
    fill(77);
    markAverageStale();
    probe::click(*window, "cmdGrab");
    EXPECT_EQ(text("txtAverageDensity"), kStale);
    EXPECT_EQ(image().bufferAddress()[0], 77);
    EXPECT_TRUE(messages->records().empty());
}

class GrabTest : public ImageCommandsTest {
protected:
    QString videoConf(const char* pipeline) {
        return volumes.sandbox.write(QStringLiteral("camera.ini"),
                                     QByteArray("[Video]\nPipeline=") + pipeline +
                                         "\nOpenTimeoutMs=3000\nCaptureTimeoutMs=1000\n");
    }
    bool grabEnabled() { return probe::child<QPushButton>(*window, "cmdGrab")->isEnabled(); }
};

TEST_F(GrabTest, GrabCapturesAFrameShowsAndMeasuresIt) {
    start(videoConf("videotestsrc pattern=white is-live=true"));
    ASSERT_TRUE(grabEnabled());
    fill(0);
    markAverageStale();

    probe::click(*window, "cmdGrab");
    EXPECT_TRUE(messages->records().empty());
    EXPECT_GT(image().bufferAddress()[0], 200);
    expectShowing(image());
    EXPECT_EQ(text("txtAverageDensity"), pelmintAverage());
    EXPECT_TRUE(grabEnabled());
}

TEST_F(GrabTest, AGrabAfterTheCameraEndedIsReportedAndTheWindowGoesOn) {
    // Two seconds of frames, then the source ends.
    start(videoConf("videotestsrc num-buffers=20 is-live=true ! video/x-raw,framerate=10/1"));
    ASSERT_TRUE(grabEnabled());
    // Grabs succeed until the frames run out, however long the start took on a slow machine.
    QElapsedTimer sinceOpen;
    sinceOpen.start();
    for (;;) {
        probe::click(*window, "cmdGrab");
        if (window->KeshVideo1.status() != 0) {
            break;
        }
        ASSERT_TRUE(messages->records().empty());
        ASSERT_LT(sinceOpen.elapsed(), 30000) << "the source never ended";
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        messages->clear();
        fill(77);
        markAverageStale();
        probe::click(*window, "cmdGrab");
        const int status = window->KeshVideo1.status();
        ASSERT_NE(status, 0);
        expectOnlyMessage(QStringLiteral("画像の取込に失敗しました。(ErrCode=%1)").arg(status),
                          MessageBox::Exclamation, QStringLiteral("取込失敗"));
        EXPECT_EQ(image().bufferAddress()[0], 77);
        expectShowing(image());
        EXPECT_EQ(text("txtAverageDensity"), QStringLiteral("77.0"));
    }

    fill(12);
    probe::click(*window, "cmdRecalc");
    EXPECT_EQ(text("txtAverageDensity"), QStringLiteral("12.0"));
}

} // namespace

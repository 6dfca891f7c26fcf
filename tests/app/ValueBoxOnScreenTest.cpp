// The value boxes on a real screen: whatever else was painted where a box sits (the status
// line of a short window, a transparent sibling), the box, repainted, shows exactly its own
// text. Run under an X server (QT_QPA_PLATFORM=xcb); elsewhere it is skipped.

// Standard library
#include <memory>

// Qt
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QStatusBar>
#include <QTest>

// Ours
#include "ServiceFakes.h"
#include "WindowProbe.h"

#include <gtest/gtest.h>

namespace {

const char* const kBoxes[] = {"lblCircleCenterX",  "lblCircleCenterY", "lblCircleRadius",
                              "txtAverageDensity", "txtExecuteTime",   "lblJudge"};

class ValueBoxOnScreenTest : public testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QStringLiteral("xcb")) {
            GTEST_SKIP() << "needs an X server";
        }
    }

    std::unique_ptr<frmMain> start() {
        auto window = std::make_unique<frmMain>(fakes::services(messages));
        window->Form_Load();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        // A ramp, so that every circle position shows other numbers.
        KeshImage& image = window->KeshImage1;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                image.bufferAddress()[y * image.bytesPerLine() + x] =
                    static_cast<std::uint8_t>((x + 3 * y) / 5);
            }
        }
        window->KeshDisplayEx1->showImage(image);
        return window;
    }

    // Moves the circle there and lets the window paint (and the boxes keep their pictures).
    static void dragTo(frmMain& window, QPoint at) {
        probe::mouse(window, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, at);
        probe::mouse(window, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, at);
        QTest::qWait(30);
    }

    // The box as the X server shows it.
    static QImage onScreen(QWidget& box) {
        const QPoint at = box.mapTo(box.window(), QPoint(0, 0));
        return box.screen()
            ->grabWindow(box.window()->winId(), at.x(), at.y(), box.width(), box.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    std::shared_ptr<fakes::MessageRecorder> messages = std::make_shared<fakes::MessageRecorder>();
};

TEST_F(ValueBoxOnScreenTest, ABoxPaintedOverShowsOnlyItsOwnTextWhenItComesBack) {
    auto window = start();
    const QSize full = window->size();
    const QPoint positions[] = {{370, 63}, {120, 400}, {33, 21}, {470, 300}};

    // Short: the status line lies across the value boxes while their texts change.
    window->resize(full.width(), 199);
    QTest::qWait(200);
    for (const QPoint at : positions) {
        dragTo(*window, at);
    }
    // A transparent sibling over the mean while it changes, then cleared.
    auto* over = new QLabel(QStringLiteral("7.7  99.5"),
                            probe::child<QWidget>(*window, "txtAverageDensity")->parentWidget());
    over->setAttribute(Qt::WA_TranslucentBackground);
    over->setGeometry(probe::child<QWidget>(*window, "txtAverageDensity")->geometry());
    over->show();
    for (const QPoint at : positions) {
        dragTo(*window, at);
    }
    over->setText(QString());
    over->hide();

    window->resize(full);
    QTest::qWait(300);
    // A window that never saw those texts before shows the truth to compare with.
    auto fresh = start();
    fresh->move(window->frameGeometry().right() + 20, window->y()); // side by side, apart
    QTest::qWait(200);
    for (const QPoint at : positions) {
        dragTo(*window, at); // each text comes back: drawn from what the box kept
        dragTo(*fresh, at);
        window->repaint();
        fresh->repaint();
        QTest::qWait(100);
        for (const char* name : kBoxes) {
            QWidget* box = probe::child<QWidget>(*window, name);
            QWidget* truth = probe::child<QWidget>(*fresh, name);
            if (probe::text(*window, name) != probe::text(*fresh, name)) {
                continue; // a time, which differs from one measurement to the next
            }
            const QImage shown = onScreen(*box);
            const QImage expected = onScreen(*truth);
            if (qEnvironmentVariableIsSet("GAVREL_TEST_PICTURES")) {
                shown.save(QStringLiteral("/tmp/shown-%1.png").arg(QString::fromLatin1(name)));
                expected.save(
                    QStringLiteral("/tmp/expected-%1.png").arg(QString::fromLatin1(name)));
            }
            EXPECT_TRUE(shown == expected) << name << " at " << at.x() << "," << at.y() << " shows "
                                           << probe::text(*window, name).toStdString();
        }
    }
}

} // namespace

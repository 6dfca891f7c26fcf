// Standard library
#include <cmath>
#include <limits>

// Qt
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>

// Ours
#include "PelmintBinding.h"
#include "ServiceFakes.h"
#include "WindowProbe.h"

#include <gtest/gtest.h>

namespace {

// A window started without a camera, on the image control's initial all-zero image.
class frmMainTest : public testing::Test {
protected:
    frmMainTest() : window(fakes::services(messages)) { window.Form_Load(); }

    KeshImage& image() { return window.KeshImage1; }
    QString text(const char* name) { return probe::text(window, name); }
    QLabel* judge() { return probe::child<QLabel>(window, "lblJudge"); }

    void fill(std::uint8_t value) {
        std::fill_n(image().bufferAddress(), image().width() * image().height(), value);
    }

    QPoint centre() {
        return QPoint(text("lblCircleCenterX").toInt(), text("lblCircleCenterY").toInt());
    }

    std::shared_ptr<fakes::MessageRecorder> messages = std::make_shared<fakes::MessageRecorder>();
    frmMain window;
};

TEST_F(frmMainTest, StartsWithTheInitialCircleMeasuredAndJudged) {
    EXPECT_TRUE(messages->records().empty());
    EXPECT_EQ(text("lblCircleCenterX"), QStringLiteral("100"));
    EXPECT_EQ(text("lblCircleCenterY"), QStringLiteral("100"));
    EXPECT_EQ(text("lblCircleRadius"), QStringLiteral("50"));
    EXPECT_EQ(text("txtAverageDensity"), QStringLiteral("0.0"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d\\dms$"))
                    .match(text("txtExecuteTime"))
                    .hasMatch())
        << text("txtExecuteTime").toStdString();
    EXPECT_EQ(text("lblJudge"), QStringLiteral("NG"));
    EXPECT_FALSE(probe::child<QPushButton>(window, "cmdGrab")->isEnabled());
}

// The judgement itself is tabled in DensityJudgeTest; here the window shows it.
TEST_F(frmMainTest, ShowsTheVerdictWithItsColours) {
    struct Case {
        const char* standard;
        std::uint8_t grey;
        bool ok;
    };
    const Case cases[] = {{"128", 128, true},  {"128", 108, false}, {"128", 109, true},
                          {"&H80", 147, true}, {"abc", 19, true},   {"1e400", 200, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.standard << " : " << int(c.grey));
        probe::child<QLineEdit>(window, "txtStandard")->setText(QString::fromLatin1(c.standard));
        fill(c.grey);
        probe::click(window, "cmdRecalc");
        const QPalette palette = judge()->palette();
        EXPECT_EQ(judge()->text(), c.ok ? QStringLiteral("OK") : QStringLiteral("NG"));
        EXPECT_EQ(palette.color(QPalette::Window), c.ok ? QColor(Qt::white) : QColor(Qt::red));
        EXPECT_EQ(palette.color(QPalette::WindowText), c.ok ? QColor(Qt::blue) : QColor(Qt::black));
        const QImage shown = judge()->grab().toImage();
        EXPECT_EQ(QColor(shown.pixel(2, shown.height() - 2)),
                  c.ok ? QColor(Qt::white) : QColor(Qt::red));
    }
    EXPECT_TRUE(messages->records().empty());
}

TEST_F(frmMainTest, LeftPressShowsThePelmintAverageOfAKnownImage) {
    const int width = image().width();
    for (int y = 0; y < image().height(); ++y) {
        for (int x = 0; x < width; ++x) {
            image().bufferAddress()[y * width + x] =
                static_cast<std::uint8_t>((x * 7 + y * 3) % 256);
        }
    }
    QTest::mousePress(window.KeshDisplayEx1->viewport(), Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseRelease(window.KeshDisplayEx1->viewport(), Qt::LeftButton, {}, QPoint(200, 150));

    long long sum = 0, count = 0;
    for (int y = 100; y <= 200; ++y) {
        for (int x = 150; x <= 250; ++x) {
            if ((x - 200) * (x - 200) + (y - 150) * (y - 150) <= 50 * 50) {
                sum += (x * 7 + y * 3) % 256;
                ++count;
            }
        }
    }
    EXPECT_EQ(centre(), QPoint(200, 150));
    EXPECT_NEAR(text("txtAverageDensity").toDouble(), double(sum) / double(count), 0.05);
}

TEST_F(frmMainTest, LeftDragKeepsTheCentreOnTheImage) {
    QWidget* viewport = window.KeshDisplayEx1->viewport();
    const std::pair<QPoint, QPoint> cases[] = {
        {{512, 480}, {511, 479}}, {{-1, -1}, {0, 0}},       {{700, -40}, {511, 0}},
        {{-9, 900}, {0, 479}},    {{511, 479}, {511, 479}}, {{0, 5}, {0, 5}},
    };
    for (const auto& [pointer, expected] : cases) {
        QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(viewport, pointer);
        EXPECT_EQ(centre(), expected) << "move to " << pointer.x() << "," << pointer.y();
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, pointer);
        probe::mouse(window, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, pointer);
        EXPECT_EQ(centre(), expected) << "press at " << pointer.x() << "," << pointer.y();
        probe::mouse(window, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, pointer);
    }
    EXPECT_EQ(text("lblCircleRadius"), QStringLiteral("50"));
}

TEST_F(frmMainTest, RightDragResizesByHorizontalMovementDownToThree) {
    QWidget* viewport = window.KeshDisplayEx1->viewport();
    QTest::mousePress(viewport, Qt::RightButton, {}, QPoint(300, 200));
    EXPECT_EQ(text("lblCircleCenterX"), QStringLiteral("100")); // a right press only anchors

    QTest::mouseMove(viewport, QPoint(320, 200));
    EXPECT_EQ(text("lblCircleRadius"), QStringLiteral("70"));
    QTest::mouseMove(viewport, QPoint(100, 200));
    EXPECT_EQ(text("lblCircleRadius"), QStringLiteral("3"));
    QTest::mouseMove(viewport, QPoint(110, 200));
    EXPECT_EQ(text("lblCircleRadius"), QStringLiteral("13"));

    probe::child<QLineEdit>(window, "txtAverageDensity")->setText(QStringLiteral("stale"));
    QTest::mouseMove(viewport, QPoint(110, 400));
    EXPECT_EQ(text("lblCircleRadius"), QStringLiteral("13"));
    EXPECT_EQ(text("txtAverageDensity"), QStringLiteral("0.0")); // measured again
    EXPECT_EQ(centre(), QPoint(100, 100));
    QTest::mouseRelease(viewport, Qt::RightButton, {}, QPoint(110, 400));
}

TEST_F(frmMainTest, BothButtonsActAsLeft) {
    probe::mouse(window, QEvent::MouseButtonPress, Qt::RightButton,
                 Qt::LeftButton | Qt::RightButton, QPoint(40, 60));
    EXPECT_EQ(centre(), QPoint(40, 60));
    probe::mouse(window, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton | Qt::RightButton,
                 QPoint(300, 70));
    EXPECT_EQ(centre(), QPoint(300, 70));
    EXPECT_EQ(text("lblCircleRadius"), QStringLiteral("50"));
}

TEST_F(frmMainTest, RejectedMeasurementShowsErrorAndKeepsTheVerdict) {
    fill(128);
    probe::click(window, "cmdRecalc");
    EXPECT_EQ(text("txtAverageDensity"), QStringLiteral("128.0"));
    ASSERT_EQ(text("lblJudge"), QStringLiteral("OK"));

    image().setBitsPerPixel(24);
    probe::child<QLineEdit>(window, "txtExecuteTime")->clear();
    probe::click(window, "cmdRecalc");
    EXPECT_EQ(text("txtAverageDensity"), QStringLiteral("エラー"));
    EXPECT_FALSE(text("txtExecuteTime").isEmpty());
    EXPECT_EQ(text("lblJudge"), QStringLiteral("OK"));
    EXPECT_EQ(judge()->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(messages->records().empty());
}

TEST_F(frmMainTest, HandlerErrorsAreShownAndTheWindowGoesOn) {
    Services services = fakes::services(messages);
    services.pelmint =
        std::make_shared<PelmintBinding>(services.programFolder, QStringLiteral("NoSuchPelmint"));
    frmMain missing(services);
    missing.Form_Load();
    probe::click(missing, "cmdRecalc");

    // Start-up drops a failed step silently; the button reports it.
    ASSERT_EQ(messages->records().size(), 1u);
    EXPECT_EQ(messages->records()[0].text, QStringLiteral("53 : File not found: NoSuchPelmint"));
    EXPECT_EQ(messages->records()[0].style, MessageBox::Exclamation);
    EXPECT_EQ(messages->records()[0].title, QStringLiteral("エラー"));

    fill(77);
    probe::click(window, "cmdRecalc");
    EXPECT_EQ(text("txtAverageDensity"), QStringLiteral("77.0"));
}

// Posts the next move of a drag each time one is delivered, so that every move arrives
// while the measurement of the previous one is running its pending events.
class MoveFlood : public QObject {
public:
    MoveFlood(QWidget* viewport, int moves) : viewport_(viewport), left_(moves) {
        viewport_->installEventFilter(this);
    }
    static QPoint position(int i) { return QPoint(i % 500, (i / 500) % 470); }
    void postNext() {
        if (left_-- > 0) {
            const QPoint at = position(++posted_);
            QCoreApplication::postEvent(
                viewport_, new QMouseEvent(QEvent::MouseMove, at, viewport_->mapToGlobal(at),
                                           Qt::NoButton, Qt::LeftButton, Qt::NoModifier));
        }
    }
    int posted() const { return posted_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonPress) {
            postNext();
        }
        return false;
    }

private:
    QWidget* viewport_;
    int left_;
    int posted_ = 0;
};

// Every measurement ends by running pending events; moves that arrive meanwhile must not
// each nest a further measurement, and the last position must be measured.
TEST_F(frmMainTest, FloodOfMovesNeitherRecursesNorLosesTheLastPosition) {
    fill(90);
    MoveFlood flood(window.KeshDisplayEx1->viewport(), 20000);
    probe::mouse(window, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(5, 5));
    while (flood.posted() < 20000) {
        QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(centre(), MoveFlood::position(20000));
    EXPECT_EQ(text("txtAverageDensity"), QStringLiteral("90.0"));
}

TEST_F(frmMainTest, HelpMenuShowsTheVersionAndOtherMenusGoBeforeIt) {
    window.addMenu(QStringLiteral("表示(&V)"));
    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("検査(&I)"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("表示(&V)"));
    EXPECT_EQ(menus[2]->text(), QStringLiteral("ヘルプ(&H)"));
    const QList<QAction*> help = menus[2]->menu()->actions();
    ASSERT_EQ(help.size(), 1);
    EXPECT_EQ(help[0]->text(), QStringLiteral("バージョン情報(&A)…"));

    const QString before = text("txtAverageDensity");
    help[0]->trigger();
    ASSERT_EQ(messages->records().size(), 1u);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Gavrel \\d+\\.\\d+\\.\\d+\r\nPelmint "))
                    .match(messages->records()[0].text)
                    .hasMatch())
        << messages->records()[0].text.toStdString();
    EXPECT_EQ(messages->records()[0].style, MessageBox::Information);
    EXPECT_EQ(text("txtAverageDensity"), before);
}

} // namespace

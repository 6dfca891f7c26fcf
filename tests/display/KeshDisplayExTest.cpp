// Standard library
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

// Qt
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QWindow>

// Ours
#include "CircleFigure.h"
#include "KeshDisplayEx.h"
#include "KeshImage.h"

namespace {

constexpr quint32 kBlue = 0x00FF0000;
constexpr quint32 kRed = 0x000000FF;

struct Report {
    int button;
    int shift;
    int x;
    int y;
    bool operator==(const Report&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Report& r) {
    return out << "{" << r.button << ", " << r.shift << ", " << r.x << ", " << r.y << "}";
}

struct Circle {
    int cx;
    int cy;
    int r;
    QRgb color;
};

bool insideDisc(std::int64_t x, std::int64_t y, const Circle& c) {
    const std::int64_t dx = x - c.cx;
    const std::int64_t dy = y - c.cy;
    return dx * dx + dy * dy <= std::int64_t{c.r} * c.r;
}

bool onRim(int x, int y, const Circle& c) {
    return insideDisc(x, y, c) && (!insideDisc(x - 1, y, c) || !insideDisc(x + 1, y, c) ||
                                   !insideDisc(x, y - 1, c) || !insideDisc(x, y + 1, c));
}

void fillPattern(KeshImage& image, int seed) {
    std::uint8_t* pixels = image.bufferAddress();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            pixels[y * image.width() + x] =
                static_cast<std::uint8_t>(20 + (x * 3 + y * 5 + seed) % 200);
        }
    }
}

class KeshDisplayExTest : public testing::Test {
protected:
    void SetUp() override {
        fillPattern(image, 0);
        display.resize(600, 520);
        display.show();
        display.prepare();
        display.showImage(image);
        QCoreApplication::processEvents();
    }

    void draw(const Circle& c) {
        CircleFigure figure;
        figure.setCenterX(c.cx);
        figure.setCenterY(c.cy);
        figure.setRadius(c.r);
        display.setFigureColor(c.color == qRgb(0, 0, 255) ? kBlue : kRed);
        display.drawCircle(figure);
    }

    QImage screen() {
        return display.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // Every visible pixel of the image shows the last figure whose rim holds it, or the
    // image's own grey; beyond the image only the background shows.
    void expectScreen(const std::vector<Circle>& figures) {
        const QImage shown = screen();
        const QPoint offset(display.horizontalScrollBar()->value(),
                            display.verticalScrollBar()->value());
        const QRgb background = display.palette().color(QPalette::Dark).rgb();
        int mismatches = 0;
        for (int vy = 0; vy < shown.height(); ++vy) {
            for (int vx = 0; vx < shown.width(); ++vx) {
                const int x = vx + offset.x();
                const int y = vy + offset.y();
                QRgb expected = background;
                if (x < image.width() && y < image.height()) {
                    const int grey = image.bufferAddress()[y * image.width() + x];
                    expected = qRgb(grey, grey, grey);
                    for (const Circle& c : figures) {
                        if (onRim(x, y, c)) {
                            expected = c.color;
                        }
                    }
                }
                const QRgb actual = shown.pixel(vx, vy) | 0xFF000000;
                if (actual != expected && ++mismatches <= 5) {
                    ADD_FAILURE() << "image pixel (" << x << ", " << y << ") shows " << std::hex
                                  << actual << ", expected " << expected;
                }
            }
        }
        EXPECT_EQ(mismatches, 0);
    }

    // Input goes through the window, as the window system delivers it: a press grabs the
    // pointer for the pressed widget.
    QWindow* window() { return display.window()->windowHandle(); }
    QPoint inWindow(QPoint atViewport) {
        return display.viewport()->mapTo(display.window(), atViewport);
    }
    void press(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers mods = {}) {
        QTest::mousePress(window(), button, mods, inWindow(at));
    }
    void move(QPoint at) { QTest::mouseMove(window(), inWindow(at)); }
    void release(Qt::MouseButton button, QPoint at) {
        QTest::mouseRelease(window(), button, {}, inWindow(at));
    }

    void recordReports() {
        QObject::connect(&display, &KeshDisplayEx::mouseDown, &display,
                         [this](int b, int s, int x, int y) {
                             downs.push_back({b, s, x, y});
                         });
        QObject::connect(&display, &KeshDisplayEx::mouseMove, &display,
                         [this](int b, int s, int x, int y) {
                             moves.push_back({b, s, x, y});
                         });
    }

    KeshImage image;
    KeshDisplayEx display;
    std::vector<Report> downs;
    std::vector<Report> moves;
};

const QRgb kBlueRgb = qRgb(0, 0, 255);
const QRgb kRedRgb = qRgb(255, 0, 0);

TEST_F(KeshDisplayExTest, OutlineLiesExactlyOnTheRimOfTheMeasuredDisc) {
    const Circle circles[] = {
        {100, 100, 50, kBlueRgb},        {256, 240, 0, kBlueRgb},    {256, 240, 1, kBlueRgb},
        {256, 240, 3, kBlueRgb},         {3, 4, 20, kBlueRgb},       {-3, 479, 10, kBlueRgb},
        {511, 0, 2, kBlueRgb},           {600, -100, 700, kBlueRgb}, {256, 240, 100000, kBlueRgb},
        {256, 100240, 100000, kBlueRgb},
    };
    for (const Circle& c : circles) {
        SCOPED_TRACE(testing::Message()
                     << "centre (" << c.cx << ", " << c.cy << ") radius " << c.r);
        display.clearFigures();
        draw(c);
        expectScreen({c});
    }
}

TEST_F(KeshDisplayExTest, ShowsExactlyTheFiguresDrawnSinceTheLastClear) {
    const Circle red{100, 100, 30, kRedRgb};
    const Circle blue{120, 110, 40, kBlueRgb};
    draw(red);
    draw(blue);
    expectScreen({red, blue});

    display.clearFigures();
    expectScreen({});

    // Nothing that cannot be measured is drawn: a negative radius, values that are not numbers
    // or do not fit 32 bits.
    CircleFigure unusable;
    unusable.setCenterX(100);
    unusable.setCenterY(100);
    unusable.setRadius(-1);
    display.drawCircle(unusable);
    unusable.setRadius(std::numeric_limits<double>::quiet_NaN());
    display.drawCircle(unusable);
    unusable.setRadius(10);
    unusable.setCenterX(1e12);
    display.drawCircle(unusable);
    expectScreen({});

    // Whole numbers held in doubles are rounded to the nearest pixel.
    CircleFigure rounded;
    rounded.setCenterX(199.6);
    rounded.setCenterY(150.4);
    rounded.setRadius(9.5);
    display.setFigureColor(kBlue);
    display.drawCircle(rounded);
    expectScreen({{200, 150, 10, kBlueRgb}});
}

TEST_F(KeshDisplayExTest, EachShowImageShowsTheImagesCurrentPixelsAndSize) {
    const Circle figure{290, 190, 25, kBlueRgb};
    draw(figure);

    fillPattern(image, 77);
    display.showImage(image);
    expectScreen({figure});

    image.setWidth(300);
    image.setHeight(200);
    display.showImage(image);
    expectScreen({figure}); // clipped to the smaller image, background beyond it

    image.setWidth(800);
    image.setHeight(700);
    fillPattern(image, 5);
    display.showImage(image);
    QCoreApplication::processEvents();
    EXPECT_GT(display.horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(display.verticalScrollBar()->maximum(), 0);
    display.horizontalScrollBar()->setValue(display.horizontalScrollBar()->maximum());
    display.verticalScrollBar()->setValue(display.verticalScrollBar()->maximum());
    expectScreen({figure});
}

TEST_F(KeshDisplayExTest, ScrolledViewShowsAndReportsImagePixels) {
    recordReports();
    display.resize(200, 150);
    QCoreApplication::processEvents();
    ASSERT_GT(display.horizontalScrollBar()->maximum(), 100);
    ASSERT_GT(display.verticalScrollBar()->maximum(), 50);
    display.horizontalScrollBar()->setValue(100);
    display.verticalScrollBar()->setValue(50);
    const Circle c{150, 100, 20, kBlueRgb};
    draw(c);
    expectScreen({c});

    press(Qt::LeftButton, {10, 20});
    move({11, 22});
    release(Qt::LeftButton, {11, 22});
    EXPECT_EQ(downs, (std::vector<Report>{{1, 0, 110, 70}}));
    EXPECT_EQ(moves, (std::vector<Report>{{1, 0, 111, 72}}));
}

TEST_F(KeshDisplayExTest, ButtonsAndModifiersAreReportedAsTheDesktopNumbersThem) {
    recordReports();
    press(Qt::LeftButton, {30, 40}, Qt::ShiftModifier);
    move({35, 45});
    // The second button goes down where the pointer already is; elsewhere Qt would first
    // report a move there.
    press(Qt::RightButton, {35, 45}, Qt::ControlModifier | Qt::AltModifier);
    move({37, 47});
    release(Qt::LeftButton, {37, 47});
    // Held buttons keep reporting far outside the widget and the image.
    move({-20, 700});
    move({900, -5});
    release(Qt::RightButton, {900, -5});
    // Without a button, moves are not reported.
    move({50, 50});

    EXPECT_EQ(downs, (std::vector<Report>{{1, 1, 30, 40}, {3, 6, 35, 45}}));
    EXPECT_EQ(moves, (std::vector<Report>{
                         {1, 0, 35, 45}, {3, 0, 37, 47}, {2, 0, -20, 700}, {2, 0, 900, -5}}));
}

TEST_F(KeshDisplayExTest, SecondPressOfADoubleClickIsStillAPress) {
    recordReports();
    // Press, release and press again at once: Qt delivers the second press as a double-click.
    QTest::mouseDClick(window(), Qt::LeftButton, {}, inWindow({60, 70}));
    release(Qt::LeftButton, {60, 70});
    EXPECT_EQ(downs, (std::vector<Report>{{1, 0, 60, 70}, {1, 0, 60, 70}}));
}

// A drag handler redraws, re-shows the image and lets pending events run, so the next move
// is delivered inside the handler of the previous one.
TEST_F(KeshDisplayExTest, HandlersMayCallBackIntoTheDisplayWhileEventsArrive) {
    int depth = 0;
    int deepest = 0;
    int handled = 0;
    const auto dragStep = [&](int, int, int x, int y) {
        ++depth;
        deepest = std::max(deepest, depth);
        ++handled;
        display.clearFigures();
        display.setFigureColor(kBlue);
        CircleFigure figure;
        figure.setCenterX(x);
        figure.setCenterY(y);
        figure.setRadius(12);
        display.drawCircle(figure);
        display.showImage(image);
        QCoreApplication::processEvents();
        --depth;
    };
    QObject::connect(&display, &KeshDisplayEx::mouseDown, &display, dragStep);
    QObject::connect(&display, &KeshDisplayEx::mouseMove, &display, dragStep);

    press(Qt::LeftButton, {40, 40});
    // Queued moves: each handler's processEvents() delivers the next one inside it.
    constexpr int kMoves = 60;
    for (int i = 1; i <= kMoves; ++i) {
        const QPointF at(40 + 5 * i, 40 + 3 * i);
        QCoreApplication::postEvent(display.viewport(),
                                    new QMouseEvent(QEvent::MouseMove, at,
                                                    display.viewport()->mapToGlobal(at),
                                                    Qt::NoButton, Qt::LeftButton, Qt::NoModifier));
    }
    QCoreApplication::processEvents();
    release(Qt::LeftButton, {40, 40});

    EXPECT_EQ(handled, kMoves + 1);
    EXPECT_GT(deepest, 1) << "no event was delivered inside a handler";
    expectScreen({{40 + 5 * kMoves, 40 + 3 * kMoves, 12, kBlueRgb}});
}

} // namespace

namespace {

struct Nudge {
    int dx;
    int dy;
    int dRadius;
    bool operator==(const Nudge&) const = default;
};

TEST_F(KeshDisplayExTest, KeysNudgeTheCircleAndTheirReleaseIsReportedOnce) {
    std::vector<Nudge> nudges;
    int releases = 0;
    QObject::connect(&display, &KeshDisplayEx::keyNudge, &display, [&](int dx, int dy, int dr) {
        nudges.push_back({dx, dy, dr});
    });
    QObject::connect(&display, &KeshDisplayEx::keyNudgeReleased, &display, [&] { ++releases; });
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::vector<Nudge> expected;
    };
    const Case cases[] = {
        {Qt::Key_Left, {}, {{-1, 0, 0}}},
        {Qt::Key_Right, {}, {{1, 0, 0}}},
        {Qt::Key_Up, {}, {{0, -1, 0}}},
        {Qt::Key_Down, {}, {{0, 1, 0}}},
        {Qt::Key_Left, Qt::ShiftModifier, {{-10, 0, 0}}},
        {Qt::Key_Down, Qt::ShiftModifier, {{0, 10, 0}}},
        {Qt::Key_Plus, {}, {{0, 0, 1}}},
        {Qt::Key_Plus, Qt::ShiftModifier, {{0, 0, 1}}},
        {Qt::Key_Minus, Qt::KeypadModifier, {{0, 0, -1}}},
        {Qt::Key_A, {}, {}},
        {Qt::Key_Space, {}, {}},
    };
    for (const Case& c : cases) {
        nudges.clear();
        releases = 0;
        QTest::keyClick(&display, c.key, c.modifiers);
        EXPECT_EQ(nudges, c.expected) << c.key;
        EXPECT_EQ(releases, c.expected.empty() ? 0 : 1) << c.key;
    }

    // Held down, the key repeats; only the final release settles.
    releases = 0;
    nudges.clear();
    for (int i = 0; i < 3; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&display, &repeat);
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&display, &up);
    }
    QTest::keyRelease(&display, Qt::Key_Right);
    EXPECT_EQ(nudges.size(), 3u);
    EXPECT_EQ(releases, 1);
}

TEST_F(KeshDisplayExTest, AClickOrTabGivesTheDisplayTheKeyboard) {
    QWidget form;
    QLineEdit* before = new QLineEdit(&form);
    display.setParent(&form);
    form.show();
    QApplication::setActiveWindow(&form);
    before->setFocus();
    QTest::mouseClick(display.viewport(), Qt::LeftButton, {}, {10, 10});
    EXPECT_TRUE(display.hasFocus());
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    EXPECT_TRUE(display.hasFocus());
    display.setParent(nullptr);
}

TEST_F(KeshDisplayExTest, ThePixelUnderThePointerIsReportedWithItsGreyValue) {
    std::vector<std::vector<int>> reports; // {x, y, grey}, or {} when off the image
    QObject::connect(&display, &KeshDisplayEx::pointerOverPixel, &display,
                     [&](int x, int y, int grey) {
                         reports.push_back({x, y, grey});
                     });
    QObject::connect(&display, &KeshDisplayEx::pointerOffImage, &display,
                     [&] { reports.push_back({}); });
    const auto grey = [&](int x, int y) {
        return int(image.bufferAddress()[y * 512 + x]);
    };
    move({3, 4});
    move({3, 4}); // the same pixel again: nothing new
    move({511, 479});
    move({550, 100}); // the background beside the image
    move({1, 1});
    const int before = grey(1, 1);
    image.bufferAddress()[512 + 1] = 7;
    display.showImage(image); // a new frame under a still pointer
    EXPECT_EQ(reports,
              (std::vector<std::vector<int>>{
                  {3, 4, grey(3, 4)}, {511, 479, grey(511, 479)}, {}, {1, 1, before}, {1, 1, 7}}));
}

} // namespace

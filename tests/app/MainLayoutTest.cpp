// Standard library
#include <vector>

// Qt
#include <QElapsedTimer>
#include <QGroupBox>
#include <QMenuBar>
#include <QMoveEvent>
#include <QStatusBar>

// Ours
#include "MainLayout.h"
#include "MessageBox.h"
#include "ServiceFakes.h"
#include "WindowProbe.h"

#include <gtest/gtest.h>

namespace {

TEST(MainLayoutTest, FollowsTheOuterWindowSizeInTwips) {
    const MainLayout::Result example = MainLayout::fit(10860.0f, 8370.0f);
    EXPECT_EQ(example.displayWidth, 7900.0f);
    EXPECT_EQ(example.displayHeight, 7510.0f);
    EXPECT_EQ(example.helpLineTop, 7510.0f + 60.0f + 100.0f);

    const MainLayout::Result wider = MainLayout::fit(10860.0f + 450.0f, 8370.0f + 300.0f);
    EXPECT_EQ(wider.displayWidth, 7900.0f + 450.0f);
    EXPECT_EQ(wider.displayHeight, 7510.0f + 300.0f);
    EXPECT_EQ(wider.helpLineTop, example.helpLineTop + 300.0f);

    // Too small for the margins: the display shrinks to nothing, never below.
    const MainLayout::Result tiny = MainLayout::fit(2000.0f, 500.0f);
    EXPECT_EQ(tiny.displayWidth, 0.0f);
    EXPECT_EQ(tiny.displayHeight, 0.0f);
    EXPECT_EQ(tiny.helpLineTop, 160.0f);
    EXPECT_EQ(MainLayout::toPixels(7510.0f), 501);

    // The menu bar and the status line take their height before the rule applies.
    const MainLayout::Result withBars = MainLayout::fit(10860.0f, 8370.0f + 645.0f, 645.0f);
    EXPECT_EQ(withBars.displayWidth, example.displayWidth);
    EXPECT_EQ(withBars.displayHeight, example.displayHeight);
    EXPECT_EQ(withBars.helpLineTop, example.helpLineTop);
    EXPECT_EQ(MainLayout::fit(10860.0f, 1000.0f, 645.0f).displayHeight, 0.0f);
}

int barsHeight(frmMain& window) {
    return window.menuBar()->sizeHint().height() + window.statusLine()->sizeHint().height();
}

struct WidgetRow {
    const char* name;
    const char* className;
    const char* container;
    const char* text;
    QRect twips;
    Qt::Alignment alignment;
    bool readOnly;
};

// The window as designed, in twips.
const WidgetRow kLayout[] = {
    {"cmdGrab", "QPushButton", "frmMain", "Grab", {120, 60, 2535, 495}, {}, false},
    {"Frame2", "QGroupBox", "frmMain", "検査円", {120, 660, 2535, 1275}, {}, false},
    {"Frame1", "QGroupBox", "frmMain", "平均濃度計算", {120, 1980, 2535, 1875}, {}, false},
    {"Frame4", "QGroupBox", "frmMain", "判定基準", {120, 3900, 2535, 1155}, {}, false},
    {"Frame3", "QGroupBox", "frmMain", "判定", {120, 5100, 2535, 1335}, {}, false},
    {"cmdLoadImage",
     "QPushButton",
     "frmMain",
     "画像ファイル読込",
     {960, 6540, 1695, 435},
     {},
     false},
    {"cmdSaveImage",
     "QPushButton",
     "frmMain",
     "画像ファイル保存",
     {960, 7080, 1695, 435},
     {},
     false},
    {"KeshDisplayEx1", "KeshDisplayEx", "frmMain", nullptr, {2760, 60, 7935, 7455}, {}, false},
    {"Label5",
     "QLabel",
     "frmMain",
     "左ドラッグ：　円移動　　  　右ドラッグ：　円半径変更",
     {3000, 7620, 4575, 195},
     Qt::AlignLeft,
     false},
    {"Label3", "QLabel", "Frame2", "中心Ｘ", {480, 300, 615, 255}, Qt::AlignRight, false},
    {"lblCircleCenterX",
     "QLabel",
     "Frame2",
     "Label5",
     {1200, 300, 735, 255},
     Qt::AlignRight,
     false},
    {"Label4", "QLabel", "Frame2", "中心Ｙ", {480, 600, 615, 255}, Qt::AlignRight, false},
    {"lblCircleCenterY",
     "QLabel",
     "Frame2",
     "Label6",
     {1200, 600, 735, 255},
     Qt::AlignRight,
     false},
    {"Label7", "QLabel", "Frame2", "半径", {480, 900, 615, 255}, Qt::AlignRight, false},
    {"lblCircleRadius", "QLabel", "Frame2", "Label8", {1200, 900, 735, 255}, Qt::AlignRight, false},
    {"Label1", "QLabel", "Frame1", "平均濃度値", {120, 360, 1095, 195}, Qt::AlignRight, false},
    {"txtAverageDensity",
     "QLineEdit",
     "Frame1",
     "Text1",
     {1320, 300, 975, 315},
     Qt::AlignRight,
     true},
    {"Label2", "QLabel", "Frame1", "処理時間", {360, 840, 855, 195}, Qt::AlignRight, false},
    {"txtExecuteTime", "QLineEdit", "Frame1", "Text1", {1320, 780, 975, 315}, Qt::AlignRight, true},
    {"cmdRecalc", "QPushButton", "Frame1", "再計算", {840, 1260, 1575, 495}, {}, false},
    {"Label6", "QLabel", "Frame4", "基準濃度値", {240, 300, 975, 255}, Qt::AlignRight, false},
    {"txtStandard", "QLineEdit", "Frame4", "128", {1320, 240, 975, 315}, Qt::AlignRight, false},
    {"Label8", "QLabel", "Frame4", "許容差(±)", {240, 720, 975, 255}, Qt::AlignRight, false},
    {"txtTolerance", "QLineEdit", "Frame4", "20", {1320, 660, 975, 315}, Qt::AlignRight, false},
    {"lblJudge", "QLabel", "Frame3", "??", {240, 300, 2055, 795}, Qt::AlignHCenter, false},
};

QString textOf(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->text();
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        return button->text();
    }
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
        return frame->title();
    }
    return {};
}

Qt::Alignment horizontalAlignmentOf(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->alignment() & Qt::AlignHorizontal_Mask;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->alignment() & Qt::AlignHorizontal_Mask;
    }
    return {};
}

TEST(MainLayoutTest, WindowMatchesTheDesignBeforeItIsShown) {
    frmMain window(fakes::services(std::make_shared<fakes::MessageRecorder>()));
    EXPECT_EQ(window.windowTitle(),
              QStringLiteral("KeshVovadu - 手動センサボールによる平均濃度検査"));
    QWidget* area = probe::child<QWidget>(window, "cmdGrab")->parentWidget();
    EXPECT_EQ(area->size(), QSize(10740 / 15, 7965 / 15));
    EXPECT_EQ(window.size(), QSize(10740 / 15, 7965 / 15 + barsHeight(window)));
    EXPECT_EQ(area->y(), window.menuBar()->geometry().bottom() + 1);
    EXPECT_EQ(window.statusLine()->geometry().top(), area->geometry().bottom() + 1);
    EXPECT_EQ(window.statusLine()->geometry().bottom(), window.height() - 1);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMaximizeButtonHint);

    for (const WidgetRow& row : kLayout) {
        SCOPED_TRACE(row.name);
        QWidget* widget = probe::child<QWidget>(window, row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), row.className);
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(row.container));
        if (row.text != nullptr) {
            EXPECT_EQ(textOf(widget), QString::fromUtf8(row.text));
        }
        const QRect& t = row.twips;
        EXPECT_EQ(widget->geometry(),
                  QRect(t.x() / 15, t.y() / 15, t.width() / 15, t.height() / 15));
        EXPECT_EQ(horizontalAlignmentOf(widget), row.alignment);
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            EXPECT_EQ(edit->isReadOnly(), row.readOnly);
        }
    }

    const QFont judgeFont = probe::child<QLabel>(window, "lblJudge")->font();
    EXPECT_EQ(judgeFont.family(), QStringLiteral("Arial"));
    EXPECT_EQ(judgeFont.pointSize(), 36);
    EXPECT_EQ(judgeFont.weight(), QFont::Bold);
    EXPECT_EQ(probe::child<QLabel>(window, "lblJudge")->palette().color(QPalette::WindowText),
              QColor(0, 0, 255));
    EXPECT_FALSE(probe::child<QLabel>(window, "Label1")->font().bold());

    // Tab order of the widgets that take focus, by their design tab index.
    const std::vector<const char*> tabOrder = {
        "cmdGrab",   "cmdLoadImage", "cmdSaveImage", "txtExecuteTime", "txtAverageDensity",
        "cmdRecalc", "txtStandard",  "txtTolerance", "KeshDisplayEx1"};
    QWidget* widget = probe::child<QWidget>(window, tabOrder[0]);
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        const char* next = tabOrder[i];
        do {
            widget = widget->nextInFocusChain();
        } while (widget->focusPolicy() == Qt::NoFocus || widget->objectName().isEmpty());
        EXPECT_EQ(widget->objectName(), QString::fromLatin1(next));
    }
}

TEST(MainLayoutTest, TheStatusLineNeverLiesOverTheFixedControls) {
    frmMain window(fakes::services(std::make_shared<fakes::MessageRecorder>()));
    window.show();
    QWidget* area = probe::child<QWidget>(window, "cmdGrab")->parentWidget();
    const int saveBottom = probe::child<QWidget>(window, "cmdSaveImage")->geometry().bottom() + 1;
    const int menu = window.menuBar()->sizeHint().height();
    const int status = window.statusLine()->sizeHint().height();
    struct Case {
        int height;
        bool statusShown;
    };
    const Case cases[] = {
        {199, false},
        {menu + saveBottom + status - 1, false},
        {menu + saveBottom + status, true},
        {900, true},
        {300, false},
    };
    for (const Case& c : cases) {
        window.resize(window.width(), c.height);
        EXPECT_EQ(window.statusLine()->isVisible(), c.statusShown) << c.height;
        if (c.statusShown) {
            EXPECT_GT(window.statusLine()->geometry().top(),
                      area->geometry().top() + saveBottom - 1);
        } else {
            EXPECT_EQ(area->geometry().bottom(), window.height() - 1) << c.height;
        }
    }
}

TEST(MainLayoutTest, DisplayAndHelpLineFollowRealResizes) {
    const std::shared_ptr<fakes::MessageRecorder> messages =
        std::make_shared<fakes::MessageRecorder>();
    frmMain window(fakes::services(messages));
    window.Form_Load();
    QWidget* display = window.KeshDisplayEx1;
    QWidget* help = probe::child<QWidget>(window, "Label5");
    QWidget* grab = probe::child<QWidget>(window, "cmdGrab");
    const QRect grabGeometry = grab->geometry();

    auto expectRuleFor = [&](QSize size) {
        window.resize(size);
        QCoreApplication::processEvents();
        const QSize outer = window.frameGeometry().size();
        const MainLayout::Result expected =
            MainLayout::fit(outer.width() * 15.0f, outer.height() * 15.0f,
                            static_cast<float>(barsHeight(window)) * 15.0f);
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        EXPECT_EQ(display->pos(), QPoint(184, 4));
        EXPECT_EQ(display->size(), QSize(MainLayout::toPixels(expected.displayWidth),
                                         MainLayout::toPixels(expected.displayHeight)));
        EXPECT_EQ(help->geometry(),
                  QRect(200, MainLayout::toPixels(expected.helpLineTop), 305, 13));
        EXPECT_EQ(grab->geometry(), grabGeometry);
    };
    expectRuleFor(QSize(724, 558));
    const QSize before = display->size();
    expectRuleFor(QSize(724 + 30, 558 + 20));
    EXPECT_EQ(display->size(), before + QSize(30, 20));
    expectRuleFor(QSize(100, 40)); // too small: the display keeps a size of zero
    EXPECT_EQ(display->size(), QSize(0, 0));
    expectRuleFor(QSize(900, 700));

    // Minimized, a resize leaves the layout; restored, the rule applies again.
    window.showMinimized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(window.windowState() & Qt::WindowMinimized);
    const QSize minimizedSize = display->size();
    window.resize(850, 650);
    QCoreApplication::processEvents();
    EXPECT_EQ(display->size(), minimizedSize);
    window.showNormal();
    QCoreApplication::processEvents();
    const QSize outer = window.frameGeometry().size();
    EXPECT_EQ(display->width(),
              MainLayout::toPixels(MainLayout::fit(outer.width() * 15.0f, 0).displayWidth));

    // Still measures with the display at zero size (the button lies outside the tiny
    // window, so it is clicked from code).
    window.resize(100, 40);
    QCoreApplication::processEvents();
    probe::child<QLineEdit>(window, "txtAverageDensity")->clear();
    probe::child<QPushButton>(window, "cmdRecalc")->click();
    EXPECT_EQ(probe::text(window, "txtAverageDensity"), QStringLiteral("0.0"));
    EXPECT_TRUE(messages->records().empty());
}

// A window manager may give a maximized window its frame only after the resize into the
// state, and report it with no event at all; the layout still ends up on the final frame.
TEST(MainLayoutTest, LayoutCatchesUpWithAFrameReportedWithoutAnEvent) {
    // The 1280 x 1024 screen with a window manager that leaves no border when maximized.
    const MainLayout::Result maximized = MainLayout::fit(1280 * 15.0f, 1024 * 15.0f);
    EXPECT_EQ(MainLayout::toPixels(maximized.displayWidth), 1083);
    EXPECT_EQ(MainLayout::toPixels(maximized.displayHeight), 967);

    const auto messages = std::make_shared<fakes::MessageRecorder>();
    frmMain window(fakes::services(messages));
    window.Form_Load();
    QCoreApplication::processEvents();
    QMoveEvent stale(window.pos(), window.pos()); // a last event before the frame changes
    QCoreApplication::sendEvent(&window, &stale);

    // Swallows what would report the new frame, as when it changes after the last event.
    class Unreported : public QObject {
    protected:
        bool eventFilter(QObject*, QEvent* event) override {
            return event->type() == QEvent::Resize || event->type() == QEvent::Move ||
                   event->type() == QEvent::WindowStateChange;
        }
    } unreported;
    window.installEventFilter(&unreported);
    window.showMaximized();
    QCoreApplication::processEvents();
    window.removeEventFilter(&unreported);

    const QSize outer = window.frameGeometry().size();
    const MainLayout::Result expected =
        MainLayout::fit(outer.width() * 15.0f, outer.height() * 15.0f,
                        static_cast<float>(barsHeight(window)) * 15.0f);
    const QSize wanted(MainLayout::toPixels(expected.displayWidth),
                       MainLayout::toPixels(expected.displayHeight));
    ASSERT_NE(window.KeshDisplayEx1->size(), wanted) << "the test swallowed nothing";
    QElapsedTimer waited;
    waited.start();
    while (window.KeshDisplayEx1->size() != wanted && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(window.KeshDisplayEx1->size(), wanted);
    EXPECT_EQ(probe::child<QWidget>(window, "Label5")->y(),
              MainLayout::toPixels(expected.helpLineTop));
    EXPECT_TRUE(messages->records().empty());
}

} // namespace

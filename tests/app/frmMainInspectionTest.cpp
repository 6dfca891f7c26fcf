// The additions to the inspection window: keyboard nudges, the pixel readout, recipes and
// live inspection from a real (test-pattern) camera.

// Standard library
#include <chrono>
#include <map>
#include <set>
#include <thread>

// Qt
#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QStatusBar>

// Ours
#include "KeshFileAccess.h"
#include "PixelReadout.h"
#include "RecipeFile.h"
#include "ServiceFakes.h"
#include "WindowProbe.h"
#include "testutils.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

const QString kOpenFailed =
    QStringLiteral("ビデオデバイスのオープンに失敗しました｡\r\n画像ファイルのみの利用になります。");

class frmMainInspectionTest : public testing::Test {
protected:
    // A window whose chooser answers `cameraFile`; `recipe` is used at start-up if given.
    std::unique_ptr<frmMain> start(const QString& cameraFile,
                                   const std::optional<InspectionRecipe>& recipe = {}) {
        Services services = fakes::services(messages);
        services.chooseVideoConfFile = [this, cameraFile](QWidget*) {
            ++choices;
            return cameraFile;
        };
        auto window = std::make_unique<frmMain>(services);
        if (recipe) {
            window->useRecipeAtStartup(*recipe);
        }
        window->Form_Load();
        return window;
    }

    QString camera(const char* name, const QByteArray& pipeline) {
        return sandbox.write(QString::fromLatin1(name), "[Video]\nPipeline=" + pipeline +
                                                            "\nOpenTimeoutMs=5000\n"
                                                            "CaptureTimeoutMs=1000\n");
    }
    QString testPattern() {
        return camera("pattern.ini", "videotestsrc pattern=ball is-live=true ! "
                                     "video/x-raw,width=640,height=480,framerate=60/1");
    }

    static QString text(frmMain& window, const char* name) { return probe::text(window, name); }
    static std::vector<int> circle(frmMain& window) {
        return {text(window, "lblCircleCenterX").toInt(), text(window, "lblCircleCenterY").toInt(),
                text(window, "lblCircleRadius").toInt()};
    }
    // Places the circle as the operator does: a left press, then a horizontal right drag.
    static void placeCircle(frmMain& window, int x, int y, int radius) {
        probe::mouse(window, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {x, y});
        probe::mouse(window, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {x, y});
        const int grow = radius - text(window, "lblCircleRadius").toInt();
        probe::mouse(window, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, {256, 0});
        probe::mouse(window, QEvent::MouseMove, Qt::NoButton, Qt::RightButton, {256 + grow, 0});
        probe::mouse(window, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton,
                     {256 + grow, 0});
    }
    static bool grabEnabled(frmMain& window) {
        return probe::child<QPushButton>(window, "cmdGrab")->isEnabled();
    }
    template <typename Condition> static bool waitFor(Condition condition, int ms = 5000) {
        return QTest::qWaitFor(condition, ms);
    }

    testutils::Sandbox sandbox;
    const std::shared_ptr<fakes::MessageRecorder> messages =
        std::make_shared<fakes::MessageRecorder>();
    int choices = 0;
};

TEST_F(frmMainInspectionTest, KeysMoveAndResizeTheCircleWithTheDragsClamps) {
    auto window = start(QString());
    std::fill_n(window->KeshImage1.bufferAddress(), 512 * 480, std::uint8_t{128});
    KeshDisplayEx* display = window->KeshDisplayEx1;
    QSignalSpy settled(window.get(), &frmMain::judgementSettled);
    struct Case {
        std::vector<int> from;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::vector<int> to;
    };
    const Case cases[] = {
        {{100, 100, 50}, Qt::Key_Right, {}, {101, 100, 50}},
        {{100, 100, 50}, Qt::Key_Up, Qt::ShiftModifier, {100, 90, 50}},
        {{0, 5, 50}, Qt::Key_Left, {}, {0, 5, 50}},
        {{4, 5, 50}, Qt::Key_Left, Qt::ShiftModifier, {0, 5, 50}},
        {{511, 479, 50}, Qt::Key_Right, {}, {511, 479, 50}},
        {{505, 475, 50}, Qt::Key_Down, Qt::ShiftModifier, {505, 479, 50}},
        {{10, 10, 50}, Qt::Key_Plus, {}, {10, 10, 51}},
        {{10, 10, 4}, Qt::Key_Minus, {}, {10, 10, 3}},
        {{10, 10, 3}, Qt::Key_Minus, {}, {10, 10, 3}},
    };
    for (const Case& c : cases) {
        placeCircle(*window, c.from[0], c.from[1], c.from[2]);
        probe::child<QLineEdit>(*window, "txtAverageDensity")->setText(QString());
        settled.clear();
        QTest::keyPress(display, c.key, c.modifiers);
        EXPECT_EQ(circle(*window), c.to) << c.key;
        // The press measured and judged like a drag step; the release settled it.
        EXPECT_EQ(text(*window, "lblCircleCenterX"), QString::number(c.to[0]));
        EXPECT_EQ(text(*window, "lblCircleRadius"), QString::number(c.to[2]));
        EXPECT_EQ(text(*window, "txtAverageDensity"), QStringLiteral("128.0"));
        EXPECT_EQ(text(*window, "lblJudge"), QStringLiteral("OK"));
        EXPECT_EQ(settled.count(), 0);
        QTest::keyRelease(display, c.key, c.modifiers);
        EXPECT_EQ(settled.count(), 1);
    }

    // The end of a drag settles too.
    settled.clear();
    probe::mouse(*window, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {30, 40});
    probe::mouse(*window, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, {31, 41});
    EXPECT_EQ(settled.count(), 0);
    probe::mouse(*window, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {31, 41});
    EXPECT_EQ(settled.count(), 1);
}

TEST_F(frmMainInspectionTest, ThePixelUnderThePointerIsInTheStatusLine) {
    auto window = start(QString());
    window->KeshImage1.bufferAddress()[40 * 512 + 30] = 77;
    window->KeshDisplayEx1->showImage(window->KeshImage1);
    probe::mouse(*window, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, {30, 40});
    QLabel* readout = window->pointerReadout();
    EXPECT_EQ(readout->parentWidget(), window->statusLine());
    EXPECT_EQ(readout->text(), QStringLiteral("X 30  Y 40  濃度 77"));
    EXPECT_EQ(circle(*window), (std::vector<int>{100, 100, 50})); // a move without a button
}

TEST_F(frmMainInspectionTest, ADragRepaintsOnlyWhatChanged) {
    auto window = start(QString());
    QTest::qWait(50); // the first showing is painted
    struct PaintLog : QObject {
        std::map<QObject*, int> painted;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                ++painted[watched];
            }
            return false;
        }
    } log;
    // Along a row of a flat image only the centre's x, the time and the pointer change.
    probe::mouse(*window, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {150, 120});
    QTest::qWait(3 * PixelReadout::kFrameMs); // the press gives the display the focus
    qApp->installEventFilter(&log);
    QElapsedTimer moving;
    moving.start();
    for (int x = 151; x <= 160; ++x) {
        probe::mouse(*window, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, {x, 120});
    }
    const bool quickMoves = moving.elapsed() < 5 * PixelReadout::kFrameMs;
    QTest::qWait(3 * PixelReadout::kFrameMs);
    qApp->removeEventFilter(&log);

    EXPECT_EQ(text(*window, "lblCircleCenterX"), QStringLiteral("160"));
    const std::set<QObject*> mayRepaint = {
        window->KeshDisplayEx1->viewport(), probe::child<QWidget>(*window, "lblCircleCenterX"),
        probe::child<QWidget>(*window, "txtExecuteTime"), window->pointerReadout()};
    for (const auto& [widget, count] : log.painted) {
        EXPECT_TRUE(mayRepaint.count(widget))
            << widget->metaObject()->className() << " " << widget->objectName().toStdString()
            << " repainted " << count << " times";
    }
    EXPECT_GE(log.painted[window->KeshDisplayEx1->viewport()], 10);
    EXPECT_GE(log.painted[probe::child<QWidget>(*window, "lblCircleCenterX")], 10);
    EXPECT_GE(log.painted[window->pointerReadout()], 1);
    if (quickMoves) {
        EXPECT_LT(log.painted[window->pointerReadout()], 10); // paced, not once per move
    }
}

TEST_F(frmMainInspectionTest, InputBoxesAreNamedAfterTheirCaptions) {
    auto window = start(QString());
    for (const auto& [caption, box] :
         {std::pair{"Label6", "txtStandard"}, std::pair{"Label8", "txtTolerance"},
          std::pair{"Label1", "txtAverageDensity"}}) {
        auto* label = probe::child<QLabel>(*window, caption);
        auto* edit = probe::child<QLineEdit>(*window, box);
        EXPECT_EQ(label->buddy(), edit) << box;
        EXPECT_EQ(edit->accessibleName(), label->text()) << box;
    }
}

TEST_F(frmMainInspectionTest, ARecipeSavedAndOpenedAgainRestoresTheSetUp) {
    auto window = start(QString());
    placeCircle(*window, 300, 100, 7);
    probe::child<QLineEdit>(*window, "txtStandard")->setText(QStringLiteral("1 28.5"));
    probe::child<QLineEdit>(*window, "txtTolerance")->setText(QStringLiteral("&H10"));
    const QString path = sandbox.filePath(QStringLiteral("line2"));
    ASSERT_TRUE(window->saveRecipe(path));

    auto other = start(QString());
    ASSERT_TRUE(other->openRecipe(path + QStringLiteral(".gavrel-recipe")));
    EXPECT_EQ(circle(*other), (std::vector<int>{300, 100, 7}));
    EXPECT_EQ(text(*other, "txtStandard"), QStringLiteral("128.5"));
    EXPECT_EQ(text(*other, "txtTolerance"), QStringLiteral("16"));
    EXPECT_EQ(text(*other, "lblCircleCenterX"), QStringLiteral("300")); // measured at once
    EXPECT_TRUE(messages->records().empty());

    // A product's recipe, adjusted and saved again, keeps the slot the PLC selects it by.
    InspectionRecipe product;
    product.name = QStringLiteral("cap");
    product.slot = 7;
    product.circles = {{QStringLiteral("1"), 200, 150, 20, 90, 5}};
    const QString productPath = sandbox.filePath(QStringLiteral("cap.gavrel-recipe"));
    ASSERT_TRUE(RecipeFile::write(productPath, product).isEmpty());
    ASSERT_TRUE(other->openRecipe(productPath));
    placeCircle(*other, 210, 150, 20);
    ASSERT_TRUE(other->saveRecipe(productPath));
    const RecipeFile::ReadResult saved = RecipeFile::read(productPath);
    ASSERT_TRUE(saved.recipe);
    EXPECT_EQ(saved.recipe->slot, 7);
    EXPECT_EQ(saved.recipe->circles.at(0).centreX, 210);
}

TEST_F(frmMainInspectionTest, ADamagedRecipeIsExplainedAndChangesNothing) {
    auto window = start(QString());
    const QString damaged = sandbox.write(QStringLiteral("bad.gavrel-recipe"), "{\"format\":");
    const QString before = text(*window, "txtStandard");
    EXPECT_FALSE(window->openRecipe(damaged));
    ASSERT_EQ(messages->records().size(), 1u);
    EXPECT_TRUE(
        messages->records()[0].text.startsWith(QStringLiteral("レシピを開けませんでした。")));
    EXPECT_TRUE(messages->records()[0].text.contains(damaged));
    EXPECT_EQ(circle(*window), (std::vector<int>{100, 100, 50}));
    EXPECT_EQ(text(*window, "txtStandard"), before);
}

TEST_F(frmMainInspectionTest, StartUpWithARecipe) {
    InspectionRecipe recipe;
    recipe.circles = {{QStringLiteral("1"), 200, 150, 20, 90, 5}};
    struct Case {
        const char* what;
        QString camera;
        int choices;
        bool grab;
        QStringList messages;
    };
    const Case cases[] = {
        {"no camera in the recipe: the chooser is asked", QString(), 1, false, {}},
        {"a camera that opens: no chooser", testPattern(), 0, true, {}},
        {"a camera that fails: the usual message, then files only",
         sandbox.filePath(QStringLiteral("absent.ini")),
         0,
         false,
         {kOpenFailed}},
    };
    for (const Case& c : cases) {
        choices = 0;
        messages->clear();
        recipe.cameraConfigFile = c.camera;
        auto window = start(QString(), recipe);
        EXPECT_EQ(choices, c.choices) << c.what;
        EXPECT_EQ(grabEnabled(*window), c.grab) << c.what;
        QStringList shown;
        for (const auto& record : messages->records()) {
            shown << record.text;
        }
        EXPECT_EQ(shown, c.messages) << c.what;
        EXPECT_EQ(circle(*window), (std::vector<int>{200, 150, 20})) << c.what;
        EXPECT_EQ(text(*window, "lblCircleCenterX"), QStringLiteral("200")) << c.what;
        EXPECT_EQ(text(*window, "txtStandard"), QStringLiteral("90")) << c.what;
        EXPECT_EQ(text(*window, "txtTolerance"), QStringLiteral("5")) << c.what;
        window->close();
    }
}

TEST_F(frmMainInspectionTest, LiveShowsMeasuresAndJudgesEveryFrameUntilSwitchedOff) {
    auto noCamera = start(QString());
    EXPECT_FALSE(noCamera->liveAction()->isEnabled());

    auto window = start(testPattern());
    QAction* live = window->liveAction();
    ASSERT_TRUE(live->isEnabled());
    probe::child<QLineEdit>(*window, "txtStandard")->setText(QStringLiteral("1000"));
    QSignalSpy settled(window.get(), &frmMain::judgementSettled);
    live->trigger();
    EXPECT_TRUE(live->isChecked());
    EXPECT_FALSE(grabEnabled(*window));
    EXPECT_TRUE(live->isEnabled());
    ASSERT_TRUE(waitFor([&] { return window->liveMeter().framesJudged() >= 30; }));
    EXPECT_EQ(text(*window, "lblJudge"), QStringLiteral("NG"));
    EXPECT_NE(text(*window, "txtAverageDensity"), QStringLiteral("0.0")); // a real frame
    EXPECT_TRUE(window->liveReadout()->text().contains(QStringLiteral("fps")));
    // Every frame is NG: the first is kept, then one a second at most.
    const auto seconds = std::chrono::duration<double>(window->liveMeter().framesJudged() / 60.0);
    const auto kept = std::count_if(settled.begin(), settled.end(),
                                    [](const QList<QVariant>& args) { return args[1].toBool(); });
    EXPECT_GE(settled.count(), 30); // every frame's judgement stands
    EXPECT_GE(kept, 1);
    EXPECT_LE(kept, 2 + static_cast<int>(seconds.count() * 1.5));

    // A drag measures the frame on screen meanwhile.
    probe::mouse(*window, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {300, 200});
    EXPECT_EQ(text(*window, "lblCircleCenterX"), QStringLiteral("300"));

    live->trigger();
    EXPECT_FALSE(live->isChecked());
    EXPECT_TRUE(grabEnabled(*window));
    const std::uint64_t judged = window->liveMeter().framesJudged();
    QTest::qWait(200);
    EXPECT_EQ(window->liveMeter().framesJudged(), judged); // nothing queued up behind
    EXPECT_TRUE(messages->records().empty());
    window->close();
}

TEST_F(frmMainInspectionTest, ASlowWindowSkipsToTheNewestFrame) {
    auto window = start(testPattern());
    // Every repaint of the display takes 50 ms: the window manages far fewer than 60 fps.
    struct Slow : QObject {
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                std::this_thread::sleep_for(50ms);
            }
            return false;
        }
    } slow;
    window->KeshDisplayEx1->viewport()->installEventFilter(&slow);
    window->liveAction()->trigger();
    QTest::qWait(1000);
    window->liveAction()->trigger();
    const std::uint64_t judged = window->liveMeter().framesJudged();
    EXPECT_GE(judged, 5u);
    EXPECT_LE(judged, 25u);
    // A backlog would show as frames handled after the stop.
    QTest::qWait(300);
    EXPECT_EQ(window->liveMeter().framesJudged(), judged);
    window->KeshDisplayEx1->viewport()->removeEventFilter(&slow);
    window->close();
}

TEST_F(frmMainInspectionTest, ASourceThatEndsStopsLiveAsAFailedGrabWouldAndKeepsTheFrame) {
    auto window = start(camera("ends.ini", "videotestsrc pattern=ball is-live=true num-buffers=40 "
                                           "! video/x-raw,framerate=60/1"));
    ASSERT_TRUE(grabEnabled(*window));
    window->liveAction()->trigger();
    ASSERT_TRUE(waitFor([&] { return !window->isLive(); }));
    ASSERT_EQ(messages->records().size(), 1u);
    EXPECT_EQ(messages->records()[0].text, QStringLiteral("画像の取込に失敗しました。(ErrCode=6)"));
    EXPECT_EQ(messages->records()[0].style, MessageBox::Exclamation);
    EXPECT_EQ(messages->records()[0].title, QStringLiteral("取込失敗"));
    EXPECT_FALSE(window->liveAction()->isChecked());
    EXPECT_TRUE(grabEnabled(*window));
    EXPECT_GT(window->liveMeter().framesJudged(), 0u);
    // The last good frame of the ball stays: not the black start image.
    const std::uint8_t* pixels = window->KeshImage1.bufferAddress();
    EXPECT_TRUE(std::any_of(pixels, pixels + 512 * 480, [](std::uint8_t p) { return p != 0; }));
    window->close();
}

} // namespace

namespace {

// A drifting process: a steady baseline, then a level that climbs one grey level every two
// frames until it is well past the tolerance.
void writeDriftingFrames(testutils::Sandbox& sandbox, int count) {
    KeshImage frame;
    KeshFileAccess file;
    for (int i = 0; i < count; ++i) {
        const int level = i < 30 ? 128 + i % 3 : 128 + (i - 30) / 2;
        std::fill_n(frame.bufferAddress(), frame.bytesPerLine() * frame.height(),
                    static_cast<std::uint8_t>(level));
        file.setFileName(sandbox.filePath(QStringLiteral("drift/frame-%1.bmp").arg(i)));
        QDir().mkpath(sandbox.filePath(QStringLiteral("drift")));
        file.write(frame);
        ASSERT_EQ(file.errorCode(), 0);
    }
}

} // namespace

TEST_F(frmMainInspectionTest, ADriftingProcessRaisesTheAlarmBeforeItsFirstNg) {
    constexpr int kFrames = 110;
    writeDriftingFrames(sandbox, kFrames);
    const QString drifting =
        camera("drift.ini", QByteArray("multifilesrc location=\"$(IniFolder)/drift/frame-%d.bmp\" "
                                       "do-timestamp=true index=0 stop-index=") +
                                QByteArray::number(kFrames - 1) +
                                " caps=image/bmp,framerate=30/1 ! identity sleep-time=30000 ! "
                                "gdkpixbufdec");
    auto window = start(drifting);
    ASSERT_TRUE(window->liveAction()->isEnabled()) << "the frames did not open";
    std::optional<int> firstNg;
    std::optional<int> firstAlarm;
    int judged = 0;
    QObject::connect(window.get(), &frmMain::judgementSettled, window.get(),
                     [&](const Judgement& judgement, bool) {
                         ++judged;
                         if (judgement.partVerdict() == Verdict::NG && !firstNg) {
                             firstNg = judged;
                         }
                     });
    QObject::connect(window.get(), &frmMain::processAlarm, window.get(),
                     [&](const QString& circle, const QList<int>& rules) {
                         EXPECT_EQ(circle, QStringLiteral("1"));
                         EXPECT_FALSE(rules.isEmpty());
                         if (!firstAlarm) {
                             firstAlarm = judged;
                         }
                     });
    window->liveAction()->trigger();
    // The source ends after its last frame, which stops live as a failed grab does.
    ASSERT_TRUE(waitFor([&] { return !window->isLive(); }, 20000));
    ASSERT_TRUE(firstNg) << judged << " frames judged";
    ASSERT_TRUE(firstAlarm);
    EXPECT_LT(*firstAlarm, *firstNg);
    EXPECT_TRUE(window->alarmReadout()->text().contains(QStringLiteral("規則")));
}

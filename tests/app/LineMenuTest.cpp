// The window's line link: off and unseen until set, then an indicator and a live PLC link
// that gets the window's judgements; 検査 > トリガ in triggered mode.

// Standard library
#include <chrono>
#include <map>
#include <thread>

// Qt
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QTest>

// libmodbus
#include <modbus/modbus.h>

// Ours
#include "LineMenu.h"
#include "LineRegisters.h"
#include "ServiceFakes.h"
#include "WindowProbe.h"
#include "frmMain.h"
#include "testutils.h"

#include <gtest/gtest.h>

namespace {

QStringList menuTitles(const frmMain& window) {
    QStringList titles;
    for (QAction* action : window.menuBar()->actions()) {
        titles.append(action->text());
    }
    return titles;
}

} // namespace

TEST(LineMenuTest, StaysOutOfSightUntilSetThenServesThePlcTheWindowsJudgements) {
    testutils::Sandbox sandbox;
    QSettings settings(sandbox.filePath("settings.ini"), QSettings::IniFormat);
    const auto messages = std::make_shared<fakes::MessageRecorder>();
    frmMain window(fakes::services(messages));
    const QStringList before = menuTitles(window);
    LineMenu menu(window, settings);

    // Off: a menu ライン, nothing in the status line, no trigger.
    EXPECT_EQ(menuTitles(window).size(), before.size() + 1);
    EXPECT_TRUE(menuTitles(window).contains(QStringLiteral("ライン")));
    EXPECT_TRUE(menu.indicator()->isHidden());
    EXPECT_FALSE(menu.triggerAction()->isEnabled());
    EXPECT_EQ(menu.link(), nullptr);
    EXPECT_TRUE(window.liveAction()->associatedObjects().size() > 0);

    LineSettings line = LineMenu::readSettings(settings);
    line.station = QStringLiteral("window");
    line.mode = TriggerGate::Mode::Triggered;
    line.modbusEnabled = true;
    line.modbus.port = 0; // any free port
    LineMenu::writeSettings(settings, line);
    menu.applySettings();
    ASSERT_NE(menu.link(), nullptr);
    EXPECT_FALSE(menu.indicator()->isHidden());
    EXPECT_TRUE(menu.indicator()->text().contains(QStringLiteral("PLC 0")));
    EXPECT_TRUE(menu.triggerAction()->isEnabled());

    modbus_t* plc = modbus_new_tcp("127.0.0.1", menu.link()->modbusPort());
    ASSERT_EQ(modbus_connect(plc), 0);
    std::uint8_t bits[LineRegisters::kDiscreteInputCount];
    menu.triggerAction()->trigger();
    ASSERT_EQ(modbus_read_input_bits(plc, 0, LineRegisters::kDiscreteInputCount, bits),
              LineRegisters::kDiscreteInputCount);
    EXPECT_EQ(bits[LineRegisters::Busy], 1) << "armed by 検査 > トリガ";
    // A second trigger while armed is refused and counted.
    menu.triggerAction()->trigger();
    QCoreApplication::processEvents();
    std::uint16_t refused[2];
    ASSERT_EQ(modbus_read_input_registers(plc, LineRegisters::RefusedTriggersHigh, 2, refused), 2);
    EXPECT_EQ(refused[1], 1);
    modbus_close(plc);
    modbus_free(plc);
}

TEST(LineMenuTest, ATriggerTakesTheNextLiveFrameKeepsItAndGivesThePlcThatJudgement) {
    testutils::Sandbox sandbox;
    QSettings settings(sandbox.filePath("settings.ini"), QSettings::IniFormat);
    const QString camera =
        sandbox.write("pattern.ini", "[Video]\nPipeline=videotestsrc pattern=ball is-live=true ! "
                                     "video/x-raw,width=640,height=480,framerate=60/1\n"
                                     "OpenTimeoutMs=5000\nCaptureTimeoutMs=1000\n");
    Services services = fakes::services(std::make_shared<fakes::MessageRecorder>());
    services.chooseVideoConfFile = [camera](QWidget*) {
        return camera;
    };
    frmMain window(services);
    window.Form_Load();
    ASSERT_TRUE(window.liveAction()->isEnabled()) << "the test pattern did not open";
    LineMenu menu(window, settings);
    LineSettings line = LineMenu::readSettings(settings);
    line.mode = TriggerGate::Mode::Triggered;
    line.modbusEnabled = true;
    line.modbus.port = 0;
    LineMenu::writeSettings(settings, line);
    menu.applySettings();
    ASSERT_NE(menu.link(), nullptr);

    // Every frame NG: by the live rule alone at most one frame a second would be kept.
    probe::child<QLineEdit>(window, "txtStandard")->setText(QStringLiteral("1000"));
    std::map<quint64, bool> keptBySequence;
    QObject::connect(
        &window, &frmMain::judgementSettled, &window,
        [&](const Judgement& judgement, bool kept) { keptBySequence[judgement.sequence] = kept; });
    window.liveAction()->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.liveMeter().framesJudged() >= 10; }, 5000));

    modbus_t* plc = modbus_new_tcp("127.0.0.1", menu.link()->modbusPort());
    ASSERT_EQ(modbus_connect(plc), 0);
    const auto sequence = [plc] {
        std::uint16_t r[2] = {};
        modbus_read_input_registers(plc, LineRegisters::SequenceHigh, 2, r);
        return (quint64{r[0]} << 16) | r[1];
    };
    constexpr int kTriggers = 5;
    quint64 last = sequence();
    for (int i = 0; i < kTriggers; ++i) {
        const std::uint64_t framesBefore = window.liveMeter().framesJudged();
        ASSERT_EQ(modbus_write_bit(plc, LineRegisters::kTriggerCoil, 1), 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return sequence() != last; }, 3000)) << "trigger " << i;
        last = sequence();
        EXPECT_GT(window.liveMeter().framesJudged(), framesBefore) << "a frame after the trigger";
        ASSERT_EQ(keptBySequence.count(last), 1u) << "the PLC reads a judgement the window settled";
        EXPECT_TRUE(keptBySequence[last]) << "trigger " << i << ": the triggered frame is kept";
    }
    // Frames go on being judged on screen; the PLC hears none of them without a trigger.
    const std::uint64_t judged = window.liveMeter().framesJudged();
    QTest::qWait(200);
    EXPECT_GT(window.liveMeter().framesJudged(), judged);
    EXPECT_EQ(sequence(), last);
    modbus_close(plc);
    modbus_free(plc);
    window.liveAction()->trigger();
    window.close();
}

// The window's line link: off and unseen until set, then an indicator and a live PLC link
// that gets the window's judgements; 検査 > トリガ in triggered mode.

// Standard library
#include <chrono>
#include <thread>

// Qt
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>

// libmodbus
#include <modbus/modbus.h>

// Ours
#include "LineMenu.h"
#include "LineRegisters.h"
#include "ServiceFakes.h"
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

// The window's line link: off and unseen until set, then an indicator and a live PLC link
// that gets the window's judgements; 検査 > トリガ in triggered mode.

// Standard library
#include <chrono>
#include <functional>
#include <map>
#include <thread>

// System
#include <sys/stat.h>

// Qt
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

// libmodbus
#include <modbus/modbus.h>

// Ours
#include "LineMenu.h"
#include "LineRegisters.h"
#include "RecipeFile.h"
#include "ServiceFakes.h"
#include "WindowProbe.h"
#include "frmLineSettings.h"
#include "frmMain.h"
#include "line/MosquittoBroker.h"
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

// ライン > ライン連携の設定…, with `operate` run on the dialog while it is open.
void editThroughTheMenu(frmMain& window, const std::function<void(frmLineSettings&)>& operate) {
    QAction* edit = nullptr;
    for (QAction* menu : window.menuBar()->actions()) {
        if (menu->text() == QStringLiteral("ライン")) {
            for (QAction* action : menu->menu()->actions()) {
                if (action->text() == QStringLiteral("ライン連携の設定…")) {
                    edit = action;
                }
            }
        }
    }
    ASSERT_NE(edit, nullptr);
    bool operated = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<frmLineSettings*>(QApplication::activeModalWidget());
        if (dialog) {
            operate(*dialog);
            operated = true;
        }
        // Whatever happened, the menu's modal loop must end.
        if (QApplication::activeModalWidget() == dialog && dialog) {
            dialog->reject();
        }
    });
    edit->trigger();
    EXPECT_TRUE(operated);
}

template <typename Widget> Widget* child(QWidget& parent, const char* name) {
    auto* widget = parent.findChild<Widget*>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// Waits, serving the window's events, until `done` or five seconds.
bool waitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
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

TEST(LineMenuTest, EveryFieldGoesThroughTheDialogIntoTheSettingsAndBack) {
    testutils::Sandbox sandbox;
    QSettings settings(sandbox.filePath("settings.ini"), QSettings::IniFormat);
    frmMain window(fakes::services(std::make_shared<fakes::MessageRecorder>()));
    LineMenu menu(window, settings);

    const QString credentials = sandbox.write("credentials", "username=plant\npassword=s3cret\n");
    ::chmod(QFile::encodeName(credentials).constData(), 0600);
    const QString ca = sandbox.write("ca.crt", "x");
    const QString cert = sandbox.write("client.crt", "x");
    const QString key = sandbox.write("client.key", "x");
    const QString recipes = sandbox.mkdir("recipes");
    const int port = testutils::freeLoopbackPort();

    editThroughTheMenu(window, [&](frmLineSettings& dialog) {
        child<QLineEdit>(dialog, "txtStation")->setText("line-7");
        child<QComboBox>(dialog, "cboMode")->setCurrentIndex(1);
        child<QLineEdit>(dialog, "txtRecipeFolder")->setText(recipes);
        child<QGroupBox>(dialog, "fraModbus")->setChecked(true);
        child<QLineEdit>(dialog, "txtModbusAddress")->setText("127.0.0.1");
        child<QSpinBox>(dialog, "spnModbusPort")->setValue(port);
        child<QSpinBox>(dialog, "spnModbusUnit")->setValue(17);
        child<QSpinBox>(dialog, "spnModbusClients")->setValue(3);
        child<QLineEdit>(dialog, "txtModbusAllow")->setText("127.0.0.1, 10.0.0.2");
        child<QGroupBox>(dialog, "fraMqtt")->setChecked(true);
        // No broker answers there: the link keeps trying, which is no error.
        child<QLineEdit>(dialog, "txtMqttUrl")->setText("mqtt://127.0.0.1:1");
        child<QLineEdit>(dialog, "txtCaFile")->setText(ca);
        child<QLineEdit>(dialog, "txtCertFile")->setText(cert);
        child<QLineEdit>(dialog, "txtKeyFile")->setText(key);
        child<QLineEdit>(dialog, "txtCredentialsFile")->setText(credentials);
        child<QLineEdit>(dialog, "txtTopicPrefix")->setText("plant/north/");
        child<QSpinBox>(dialog, "spnQueue")->setValue(250);
        child<QPushButton>(dialog, "cmdOK")->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted)
            << child<QLabel>(dialog, "lblError")->text().toStdString();
    });

    const LineSettings stored = LineMenu::readSettings(settings);
    EXPECT_EQ(stored.station, "line-7");
    EXPECT_EQ(stored.mode, TriggerGate::Mode::Triggered);
    EXPECT_TRUE(stored.modbusEnabled);
    EXPECT_EQ(stored.modbus.address, "127.0.0.1");
    EXPECT_EQ(stored.modbus.port, port);
    EXPECT_EQ(stored.modbus.unitId, 17);
    EXPECT_EQ(stored.modbus.maxClients, 3);
    EXPECT_EQ(stored.modbus.allowedClients, QStringList({"127.0.0.1", "10.0.0.2"}));
    EXPECT_TRUE(stored.mqttEnabled);
    EXPECT_EQ(stored.mqtt.url, "mqtt://127.0.0.1:1");
    EXPECT_EQ(stored.mqtt.caFile, ca);
    EXPECT_EQ(stored.mqtt.certFile, cert);
    EXPECT_EQ(stored.mqtt.keyFile, key);
    EXPECT_EQ(stored.mqtt.credentialsFile, credentials);
    EXPECT_EQ(stored.mqtt.topicPrefix, "plant/north/");
    EXPECT_EQ(stored.mqtt.queueLimit, 250);
    EXPECT_EQ(LineMenu::readRecipeFolder(settings), recipes);
    ASSERT_NE(menu.link(), nullptr) << "started as set";
    EXPECT_EQ(menu.link()->modbusPort(), port);

    // Read back from a fresh settings object, the dialog shows every field as it was typed.
    settings.sync();
    QSettings reread(sandbox.filePath("settings.ini"), QSettings::IniFormat);
    frmLineSettings shown(LineMenu::readSettings(reread), LineMenu::readRecipeFolder(reread));
    EXPECT_EQ(child<QLineEdit>(shown, "txtStation")->text(), "line-7");
    EXPECT_EQ(child<QComboBox>(shown, "cboMode")->currentIndex(), 1);
    EXPECT_EQ(child<QLineEdit>(shown, "txtRecipeFolder")->text(), recipes);
    EXPECT_EQ(child<QSpinBox>(shown, "spnModbusUnit")->value(), 17);
    EXPECT_EQ(child<QLineEdit>(shown, "txtModbusAllow")->text(), "127.0.0.1, 10.0.0.2");
    EXPECT_EQ(child<QLineEdit>(shown, "txtKeyFile")->text(), key);
    EXPECT_EQ(child<QSpinBox>(shown, "spnQueue")->value(), 250);

    // Cancel changes nothing.
    editThroughTheMenu(window, [](frmLineSettings& dialog) {
        child<QLineEdit>(dialog, "txtStation")->setText("other");
        child<QPushButton>(dialog, "cmdCancel")->click();
    });
    EXPECT_EQ(LineMenu::readSettings(settings).station, "line-7");
}

TEST(LineMenuTest, ThePlcChangesTheWindowsRecipeByItsSlotAndAnUnknownSlotKeepsIt) {
    testutils::Sandbox sandbox;
    const QString recipes = sandbox.mkdir("recipes");
    InspectionRecipe cap;
    cap.name = "cap";
    cap.slot = 3;
    cap.circles = {{"1", 100, 100, 30, 100, 10}};
    InspectionRecipe lid = cap;
    lid.name = "lid";
    lid.slot = 7;
    lid.circles = {{"1", 300, 200, 60, 50, 5}};
    ASSERT_EQ(RecipeFile::write(recipes + "/a-cap.gavrel-recipe", cap), QString());
    ASSERT_EQ(RecipeFile::write(recipes + "/b-lid.gavrel-recipe", lid), QString());
    sandbox.write("recipes/c-broken.gavrel-recipe", "{");

    QSettings settings(sandbox.filePath("settings.ini"), QSettings::IniFormat);
    const auto messages = std::make_shared<fakes::MessageRecorder>();
    frmMain window(fakes::services(messages));
    window.Form_Load();
    ASSERT_TRUE(window.openRecipe(recipes + "/a-cap.gavrel-recipe"));
    messages->clear();
    LineMenu menu(window, settings);
    LineSettings line = LineMenu::readSettings(settings);
    line.station = "window";
    line.modbusEnabled = true;
    line.modbus.port = 0;
    LineMenu::writeSettings(settings, line);
    LineMenu::writeRecipeFolder(settings, recipes);
    menu.applySettings();
    ASSERT_NE(menu.link(), nullptr);

    modbus_t* plc = modbus_new_tcp("127.0.0.1", menu.link()->modbusPort());
    ASSERT_EQ(modbus_connect(plc), 0);
    const auto readSlots = [&](std::uint16_t* inUse, std::uint16_t* asked) {
        EXPECT_EQ(modbus_read_input_registers(plc, LineRegisters::RecipeSlot, 1, inUse), 1);
        EXPECT_EQ(modbus_read_registers(plc, LineRegisters::kRecipeSlotRegister, 1, asked), 1);
    };
    const auto errorBit = [&] {
        std::uint8_t bits[LineRegisters::kDiscreteInputCount] = {};
        EXPECT_EQ(modbus_read_input_bits(plc, 0, LineRegisters::kDiscreteInputCount, bits),
                  LineRegisters::kDiscreteInputCount);
        return bits[LineRegisters::Error];
    };
    std::uint16_t inUse = 0;
    std::uint16_t asked = 0;
    readSlots(&inUse, &asked);
    EXPECT_EQ(inUse, 3) << "the window's recipe when the link started";
    EXPECT_EQ(asked, 3);

    // Slot 7: the window takes the lid's circle and limits, and says so.
    ASSERT_EQ(modbus_write_register(plc, LineRegisters::kRecipeSlotRegister, 7), 1);
    ASSERT_TRUE(waitUntil([&] { return window.inspection().recipeName() == "lid"; }));
    EXPECT_EQ(window.inspection().circle(0).figure.radius(), 60);
    EXPECT_DOUBLE_EQ(window.inspection().circle(0).standard, 50.0);
    readSlots(&inUse, &asked);
    EXPECT_EQ(inUse, 7);
    EXPECT_EQ(errorBit(), 0);

    // Slot 9 is in no recipe (nor in the broken file): the error bit and code, the lid kept.
    ASSERT_EQ(modbus_write_register(plc, LineRegisters::kRecipeSlotRegister, 9), 1);
    ASSERT_TRUE(waitUntil([&] {
        QCoreApplication::processEvents();
        return errorBit() == 1;
    }));
    std::uint16_t code = 0;
    ASSERT_EQ(modbus_read_input_registers(plc, LineRegisters::ErrorCode, 1, &code), 1);
    EXPECT_EQ(code, static_cast<std::uint16_t>(LineRegisters::Fault::UnknownRecipeSlot));
    EXPECT_EQ(window.inspection().recipeName(), "lid");
    readSlots(&inUse, &asked);
    EXPECT_EQ(inUse, 7);
    EXPECT_TRUE(window.statusLine()->currentMessage().contains("9"));
    EXPECT_TRUE(messages->records().empty()) << "the line waits: no box";

    // Back to a known slot: the error clears.
    ASSERT_EQ(modbus_write_register(plc, LineRegisters::kRecipeSlotRegister, 3), 1);
    ASSERT_TRUE(waitUntil([&] { return window.inspection().recipeName() == "cap"; }));
    EXPECT_EQ(errorBit(), 0);
    modbus_close(plc);
    modbus_free(plc);
}

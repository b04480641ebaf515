#include "tests/EmulatorSupport.h"
#include "tests/ProgramSupport.h"

#include <QScreen>

namespace {

TEST(ParameterDialog, StartValuesLightAndLock) {
    TForm5 dialog;
    EXPECT_EQ(dialog.windowTitle(), "High class constitution");
    EXPECT_EQ(dialog.parameters(), ControllerParameters{});
    EXPECT_EQ(control<QLabel>(dialog, "Label10")->text(), "(max1390)");
    EXPECT_FALSE(control<QComboBox>(dialog, "ComboBox2")->isEnabled());  // clock
    EXPECT_FALSE(control<QComboBox>(dialog, "ComboBox3")->isEnabled());  // bps
    EXPECT_FALSE(control<QCheckBox>(dialog, "CheckBox4")->isVisibleTo(&dialog));
    EXPECT_FALSE(control<QGroupBox>(dialog, "GroupBox1")->isEnabled());
    EXPECT_FALSE(control<QGroupBox>(dialog, "GroupBox2")->isEnabled());

    // The clock list changed by program code recomputes the light.
    control<QComboBox>(dialog, "ComboBox2")->setCurrentIndex(0);  // 7372800
    EXPECT_EQ(control<QLabel>(dialog, "Label10")->text(), "(max526)");
    EXPECT_EQ(dialog.parameters().light, 526);

    // Received values: light comes last and is kept.
    ControllerParameters received;
    received.scanMode = 4;
    received.light = 1000;
    received.clock = 22118400;
    dialog.showParameters(received);
    EXPECT_EQ(dialog.parameters().light, 1000);
    EXPECT_EQ(dialog.parameters().clock, 22118400);

    // Shown centred on the screen.
    dialog.show();
    QCoreApplication::processEvents();
    const QRect screen = dialog.screen()->geometry();
    EXPECT_EQ(dialog.pos(), QPoint((screen.width() - dialog.width()) / 2,
                                   (screen.height() - dialog.height()) / 2));
}

TEST(ParameterDialog, AccessCodeAndTypeRule) {
    const std::pair<const char*, bool> typed[] = {
        {"12345", false},     {"99527", true},     {"604", true},         {"47316092", true},
        {"4731609x2", false}, {"473160925", true}, {"abc47316092", true},
    };
    for (const auto& [keys, unlocks] : typed) {
        SCOPED_TRACE(keys);
        TForm5 dialog;
        dialog.show();
        control<QSpinBox>(dialog, "Edit3")->setFocus();
        QApplication::setActiveWindow(&dialog);
        QTest::keyClicks(QApplication::focusWidget() ? QApplication::focusWidget() : &dialog,
                         QString::fromLatin1(keys));
        EXPECT_EQ(dialog.unlocked(), unlocks);
        EXPECT_EQ(control<QGroupBox>(dialog, "GroupBox2")->isEnabled(), unlocks);
    }

    TForm5 dialog;
    QComboBox* type = control<QComboBox>(dialog, "ComboBox1");
    QSpinBox* scan = control<QSpinBox>(dialog, "Edit7");
    const std::pair<int, int> rules[] = {{3, 4},   {6, 1}, {0, 16}, {9, 16},
                                         {26, 16}, {2, 4}, {13, 4}};
    for (const auto& [index, expected] : rules) {
        type->setCurrentIndex(index);
        emit type->activated(index);
        EXPECT_EQ(scan->value(), expected) << "T" << index;
    }
}

TEST(ParameterDialog, ReadAndSaveThroughTheWindow) {
    EmulatedSign sign;
    ASSERT_TRUE(sign.start(
        {"--num", "5", "--width", "96", "--height", "32", "--scan", "8", "--type", "3"}));
    Program program(sign.dir.path());
    TTwpMain& window = program.window;
    TForm5& dialog = program.form5;
    const auto status = [&] { return window.findChild<QLabel*>("StatusPanel2")->text(); };

    // "read parameter" runs READ PARA: both the window and the dialog show it.
    emit dialog.readRequested();
    window.waitForCommand();
    EXPECT_EQ(status(), "read para success!");
    EXPECT_EQ(settingsText(window.settings()), "5 96 32 1 8 0 1 0 3 0");
    EXPECT_EQ(dialog.parameters().num, 5);
    EXPECT_EQ(dialog.parameters().type, 3);
    EXPECT_EQ(dialog.parameters().light, 2830);  // the light maximum for scan mode 8

    // "save parameter" sends the dialog's values and copies them to the window.
    ControllerParameters changed = dialog.parameters();
    changed.num = 12;
    changed.width = 128;
    changed.dataCom = false;
    dialog.showParameters(changed);
    emit dialog.saveRequested();
    window.waitForCommand();
    EXPECT_EQ(status(), "save para success!");
    EXPECT_EQ(settingsText(window.settings()), "12 128 32 1 8 0 0 0 3 0");
    EXPECT_TRUE(program.messages.isEmpty());

    // Without a port: "comm error", and the window keeps its values.
    Settings noPort = window.settings();
    noPort.COMM = 250;
    program.window.setSettings(noPort);
    changed.num = 40;
    dialog.showParameters(changed);
    emit dialog.saveRequested();
    window.waitForCommand();
    ASSERT_EQ(program.messages.size(), 1);
    EXPECT_TRUE(program.messages[0].startsWith("comm error\n/dev/ttyS249"))
        << program.messages[0].toStdString();
    EXPECT_EQ(settingsText(window.settings()), "12 128 32 250 8 0 0 0 3 0");
}

}  // namespace

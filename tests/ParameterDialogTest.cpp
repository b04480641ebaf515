#include "app/MainWindow.h"
#include "app/ParameterDialog.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

namespace {

template <typename T>
T* control(QWidget& parent, const char* name) {
    T* widget = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

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
}

TEST(ParameterDialog, AccessCodeAndTypeRule) {
    struct Case {
        const char* typed;
        bool unlocks;
    };
    const Case cases[] = {
        {"12345", false},     {"99527", true},     {"604", true},         {"47316092", true},
        {"4731609x2", false}, {"473160925", true}, {"abc47316092", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        TForm5 dialog;
        dialog.show();
        QSpinBox* num = control<QSpinBox>(dialog, "Edit3");
        num->setFocus();
        QApplication::setActiveWindow(&dialog);
        QTest::keyClicks(QApplication::focusWidget() ? QApplication::focusWidget() : &dialog,
                         QString::fromLatin1(c.typed));
        EXPECT_EQ(dialog.unlocked(), c.unlocks);
        EXPECT_EQ(control<QGroupBox>(dialog, "GroupBox2")->isEnabled(), c.unlocks);
        dialog.hide();
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

TEST(ParameterDialog, ShownCentred) {
    TForm5 dialog;
    dialog.show();
    QCoreApplication::processEvents();
    const QRect screen = dialog.screen()->geometry();
    EXPECT_EQ(dialog.x(), (screen.width() - dialog.width()) / 2);
    EXPECT_EQ(dialog.y(), (screen.height() - dialog.height()) / 2);
}

struct Emulated {
    QTemporaryDir dir;
    QProcess emulator;
    QString path(const char* name) const { return QDir(dir.path()).filePath(name); }
    bool start(const QStringList& options) {
        // Both ends at 115200 bit/s, so that a download takes its line time briefly.
        writeBytes(path("ck.ini"), "1\r\n64\r\n16\r\n1\r\n16\r\n0\r\n1\r\n0\r\n0\r\n4\r\n");
        emulator.start(QStringLiteral(MARQUEE_CLI_PATH),
                       QStringList{"--folder", dir.path(), "emulate", "--port", "1", "--timeout",
                                   "30", "--bps", "115200"} +
                           options);
        for (int i = 0; i < 1000 && !QFileInfo::exists(path("com1")); ++i) {
            QThread::msleep(10);
        }
        return QFileInfo::exists(path("com1"));
    }
    ~Emulated() {
        emulator.terminate();
        emulator.waitForFinished(5000);
    }
};

TEST(ParameterDialog, ReadAndSaveThroughTheWindow) {
    Emulated sign;
    ASSERT_TRUE(sign.start(
        {"--num", "5", "--width", "96", "--height", "32", "--scan", "8", "--type", "3"}));
    QStringList messages;
    TTwpMain window(sign.dir.path(),
                    [&](const QString& text, const QString&) { messages << text; });
    TForm5 dialog(&window);
    window.attachDialogs(nullptr, nullptr, nullptr, &dialog);
    auto status = [&] { return window.findChild<QLabel*>("StatusPanel2")->text(); };

    // "read parameter" runs READ PARA: both the window and the dialog show it.
    emit dialog.readRequested();
    EXPECT_EQ(status(), "read para success!");
    EXPECT_EQ(window.settings().NUM, 5);
    EXPECT_EQ(window.settings().WIDTH, 96);
    EXPECT_EQ(window.settings().HEIGHT, 32);
    EXPECT_EQ(window.settings().SCAN, 8);
    EXPECT_EQ(window.settings().TYPE, 3);
    EXPECT_EQ(dialog.parameters().num, 5);
    EXPECT_EQ(dialog.parameters().type, 3);
    EXPECT_EQ(dialog.parameters().light, lightMaximum(18432000, 8, 100));

    // "save parameter" sends the dialog's values and copies them to the window.
    ControllerParameters changed = dialog.parameters();
    changed.num = 12;
    changed.width = 128;
    changed.dataCom = false;
    dialog.showParameters(changed);
    emit dialog.saveRequested();
    EXPECT_EQ(status(), "save para success!");
    EXPECT_EQ(window.settings().NUM, 12);
    EXPECT_EQ(window.settings().WIDTH, 128);
    EXPECT_FALSE(window.settings().COLOR_SWAP);
    EXPECT_TRUE(messages.isEmpty());

    // Without a port: "comm error", and the window keeps its values.
    Settings noPort = window.settings();
    noPort.COMM = 250;
    window.setSettings(noPort);
    changed.num = 40;
    dialog.showParameters(changed);
    emit dialog.saveRequested();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("comm error\n/dev/ttyS249")) << messages[0].toStdString();
    EXPECT_EQ(window.settings().NUM, 12);
}

TEST(ParameterDialog, ClockModeAndDownloadThroughTheWindow) {
    struct Case {
        const char* name;
        QStringList emulator;
        std::function<void(TTwpMain&, TForm5&)> command;
        const char* status;
    };
    auto time = [](TTwpMain& w, TForm5&) { w.findChild<QAction*>("m_Help")->trigger(); };
    auto mode = [](TTwpMain& w, TForm5&) { w.findChild<QAction*>("m_Exit")->trigger(); };
    auto download = [](TTwpMain&, TForm5& d) {
        d.findChild<QComboBox*>("ComboBox1")->setCurrentIndex(7);
        emit d.downloadRequested();
    };
    const Case cases[] = {
        {"TIME", {}, time, "time success!"},
        {"TIME, silent", {"--silent"}, time, "set time error or can not sendback!"},
        {"MODE", {}, mode, "mode success!"},
        {"MODE, wrong byte", {"--wrong-reply"}, mode, "error mode or can not sendback!"},
        {"Download", {}, download, "download success!"},
        {"Download, wrong reply", {"--wrong-reply"}, download, "download......"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Emulated sign;
        writeBytes(sign.path("setup7"), QByteArray::fromHex("00AA00BB"));
        ASSERT_TRUE(sign.start(c.emulator));
        QStringList messages;
        TTwpMain window(sign.dir.path(),
                        [&](const QString& text, const QString&) { messages << text; });
        TForm5 dialog(&window);
        window.attachDialogs(nullptr, nullptr, nullptr, &dialog);
        c.command(window, dialog);
        EXPECT_EQ(window.findChild<QLabel*>("StatusPanel2")->text(), c.status);
        EXPECT_TRUE(messages.isEmpty()) << messages.join(' ').toStdString();
        if (QByteArray(c.name).startsWith("Download")) {
            // The dialog and the window take the defaults of T7, whatever the reply.
            EXPECT_EQ(dialog.parameters().scanMode, 4);
            EXPECT_EQ(dialog.parameters().light, 5710);
            EXPECT_EQ(window.settings().TYPE, 7);
            EXPECT_EQ(window.settings().SCAN, 4);
        }
    }
}

}  // namespace

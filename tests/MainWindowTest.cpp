#include "app/MainWindow.h"
#include "app/SettingsFile.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QSpinBox>
#include <QTemporaryDir>

namespace {

struct Recorded {
    QStringList messages;
    TTwpMain::MessageFn fn() {
        return [this](const QString& text, const QString&) { messages << text; };
    }
};

template <typename T>
T* control(TTwpMain& window, const char* name) {
    T* widget = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

TEST(MainWindow, FirstStartHasTheDefaultsAndCloseWritesCkIni) {
    QTemporaryDir dir;
    Recorded recorded;
    {
        TTwpMain window(dir.path(), recorded.fn());
        EXPECT_EQ(window.settings(), Settings{});
        EXPECT_EQ(control<QSpinBox>(window, "Edit4")->value(), 64);
        EXPECT_EQ(control<QSpinBox>(window, "Edit5")->value(), 16);
        EXPECT_EQ(control<QSpinBox>(window, "Edit6")->value(), 1);
        EXPECT_TRUE(control<QCheckBox>(window, "CheckBox2")->isChecked());
        EXPECT_EQ(control<QComboBox>(window, "ComboBox2")->currentText(), "9600");
        EXPECT_EQ(control<QComboBox>(window, "ComboBox1")->count(), 27);
        control<QSpinBox>(window, "Edit4")->setValue(128);
        control<QComboBox>(window, "ComboBox1")->setCurrentIndex(26);
        window.close();
    }
    EXPECT_TRUE(recorded.messages.isEmpty());
    EXPECT_EQ(readBytes(QDir(dir.path()).filePath("ck.ini")),
              "1\r\n128\r\n16\r\n1\r\n16\r\n0\r\n1\r\n0\r\n26\r\n0\r\n");
}

TEST(MainWindow, StartReadsCkIniAndReportsABadValue) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeBytes(QDir(dir.path()).filePath("ck.ini"), "3\r\n96\r\n32\r\nx\r\n"));
    Recorded recorded;
    TTwpMain window(dir.path(), recorded.fn());
    EXPECT_EQ(recorded.messages, QStringList{"Invalid numeric input"});
    EXPECT_EQ(window.settings().NUM, 3);
    EXPECT_EQ(window.settings().WIDTH, 96);
    EXPECT_EQ(window.settings().HEIGHT, 32);
    EXPECT_EQ(window.settings().COMM, 1);
}

TEST(MainWindow, CloseSaysWhenCkIniCannotBeSaved) {
    QTemporaryDir dir;
    const QString folder = QDir(dir.path()).filePath("program");
    ASSERT_TRUE(QDir().mkpath(folder));
    Recorded recorded;
    TTwpMain window(folder, recorded.fn());
    ASSERT_TRUE(QDir(folder).mkdir("ck.ini"));  // something in the way
    EXPECT_TRUE(window.close());                // closing is always allowed
    EXPECT_EQ(recorded.messages, QStringList{"CAN NOT SAVE PARAMETER"});
}

}  // namespace

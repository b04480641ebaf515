// Controller commands on the worker: the window stays alive during a paced
// transfer, takes no input that could start or change a command, shows
// progress by bytes, and Cancel stops at a frame boundary. Against a
// controller of our own on a real pseudo-terminal, reading at the line rate.

#include "app/ParameterDialog.h"
#include "app/TransferLogDock.h"
#include "controller/Exchange.h"
#include "platform/SerialDevice.h"
#include "tests/PacedController.h"
#include "tests/ProgramSupport.h"
#include "tests/TestSupport.h"
#include "transfer/ParameterBlock.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QEventLoop>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <algorithm>

#include <csignal>

namespace {

// NUM 1, a dual-colour 128 x 64 sign (2048 bytes a page) on com1 at 9600 Bd,
// and a list of blank pages: 9 pages make a transfer of 19,404 bytes,
// 20 s on the line.
struct SlowSign {
    QTemporaryDir dir;
    explicit SlowSign(int pages) {
        writeBytes(dir.filePath("ck.ini"),
                   "1\r\n128\r\n64\r\n1\r\n16\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
        QByteArray list;
        for (int i = 0; i < pages; ++i) {
            list += "\r\n1\r\n0\r\n0\r\n5\r\n1\r\n";
        }
        writeBytes(dir.filePath("slow.lis"), list);
    }
};

// The window on such a sign, with the list loaded and the controller reading.
struct SlowSend {
    explicit SlowSend(int pages)
        : sign(pages), controller(sign.dir.path(), 9600), program(sign.dir.path()) {
        program.window.loadListFrom(sign.dir.filePath("slow.lis"));
    }
    SlowSign sign;
    PacedController controller;
    Program program;
    TTwpMain& window = program.window;
};

QWidget* toolButton(TTwpMain& window, const char* action) {
    return window.findChild<QToolBar*>("ToolBar1")
        ->widgetForAction(window.findChild<QAction*>(action));
}

// How long the event loop takes to run a posted call.
qint64 eventLoopAnswerMs() {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
    return clock.elapsed();
}

TEST(CommandWorker, PacedSendStaysAliveAndCancelsAtAFrameBoundary) {
    SlowSend send(9);
    ASSERT_TRUE(send.controller.ok());
    auto& [sign, controller, program, window] = send;
    QProgressBar* bar = window.findChild<QProgressBar*>("PBar");
    QLabel* state = window.findChild<QLabel*>("CommandState");

    QTest::mouseClick(toolButton(window, "m_Send"), Qt::LeftButton);
    ASSERT_TRUE(window.commandRunning());
    std::vector<qint64> answers;
    QStringList states;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {
        answers.push_back(eventLoopAnswerMs());
        QTest::qWait(100);
        if (states.isEmpty() || states.last() != state->text()) {
            states << state->text();
        }
    }
    // Controls that could start or change a command take no input.
    for (const char* name : {"m_Send", "m_Help", "m_Exit", "ToolButton2"}) {
        EXPECT_FALSE(window.findChild<QAction*>(name)->isEnabled()) << name;
    }
    for (const char* name : {"Edit3", "AddMu", "AddFile", "BitBtn1", "BitBtn2", "Tab"}) {
        EXPECT_FALSE(window.findChild<QWidget*>(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(bar->isVisible());
    // The event loop answers at once (a frozen window would answer after the write).
    std::sort(answers.begin(), answers.end());
    EXPECT_LT(answers[answers.size() * 9 / 10], 50);
    EXPECT_LT(answers.back(), 1000);
    // Progress by bytes, at least twice a second, and rising.
    EXPECT_GE(states.size(), 9) << states.join(" | ").toStdString();
    EXPECT_TRUE(states.last().contains("of 19,404 bytes sent")) << states.last().toStdString();
    const auto sent = [](const QString& text) {
        return text.section(' ', 0, 0).remove(',').toInt();
    };
    EXPECT_GT(sent(states.last()), sent(states[1]));
    EXPECT_GT(sent(states.last()), 3000);

    QTest::mouseClick(window.findChild<QWidget*>("CancelCommand"), Qt::LeftButton);
    window.waitForCommand();
    QTest::qWait(500);  // the last bytes reach the reader
    EXPECT_FALSE(window.commandRunning());
    EXPECT_TRUE(window.findChild<QAction*>("m_Send")->isEnabled());
    EXPECT_EQ(program.messages.value(0).section('\n', 0, 0),
              QString::fromLatin1(kCancelledText).section('\n', 0, 0));
    EXPECT_EQ(window.findChild<QLabel*>("StatusPanel2")->text(), "cancelled");
    // Whole frames only, and no end frame.
    const std::vector<ReceivedFrame> frames = controller.frames();
    EXPECT_FALSE(controller.inFrame());
    EXPECT_EQ(controller.endFrames(), 0);
    EXPECT_GE(frames.size(), 3u);
    EXPECT_LT(frames.size(), 9u);
    EXPECT_EQ(controller.bytesRead(), qint64(frames.size()) * (11 + 2048));
    // The port is released.
    SerialDevice again;
    QString error;
    EXPECT_TRUE(again.open(sign.dir.filePath("com1"), &error)) << error.toStdString();
    const QString log = window.findChild<TransferLogDock*>("TransferLog")->text();
    EXPECT_TRUE(
        log.contains(QRegularExpression("SEND  controller 1  .*com1  .* bytes  .* s  cancelled")))
        << log.toStdString();
}

TEST(CommandWorker, InputDuringATransferIsNeverReplayed) {
    SlowSend send(2);  // 4,970 bytes: 5.2 s on the line, longer than the reply limit
    ASSERT_TRUE(send.controller.ok());
    auto& [sign, controller, program, window] = send;
    QSpinBox* num = window.findChild<QSpinBox*>("Edit3");

    QTest::mouseClick(toolButton(window, "m_Send"), Qt::LeftButton);
    QTest::qWait(1000);
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(num, Qt::Key_Up);
    }
    QTest::mouseClick(toolButton(window, "m_Send"), Qt::LeftButton);
    QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
    window.waitForCommand();
    QTest::qWait(1500);  // a replayed SEND would have started by now

    EXPECT_FALSE(window.commandRunning());
    EXPECT_EQ(num->value(), 1);
    EXPECT_EQ(controller.endFrames(), 1);
    EXPECT_EQ(controller.bytesRead(), 4970);
    // The reply wait began once the last byte had left, so the answer counts.
    EXPECT_EQ(window.findChild<QLabel*>("StatusPanel2")->text(), "rec success!");
    EXPECT_EQ(window.findChild<QLabel*>("StatusPanel1")->text(), "SEND OVER");
    EXPECT_TRUE(program.messages.isEmpty()) << program.messages.join('\n').toStdString();
    // The outcome panels hold their longest texts whole, with the text as tooltip.
    for (const char* text :
         {"error rec or can not sendback!", "download error or can not sendback!",
          "set time error or can not sendback!", "MAX 20373 PAGES"}) {
        const int panel = QByteArray(text).startsWith("MAX") ? 0 : 2;
        window.setStatus(panel, text);
        QTest::qWait(20);
        QLabel* label = window.findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(panel));
        EXPECT_GE(label->contentsRect().width(), label->fontMetrics().horizontalAdvance(text));
        EXPECT_EQ(label->toolTip(), text);
    }
}

TEST(CommandWorker, TheLightReadFromTheControllerSurvivesShowingTheDialog) {
    SlowSign sign(1);
    PacedController controller(sign.dir.path(), 9600);
    ASSERT_TRUE(controller.ok());
    ControllerParameters received;
    received.light = 300;  // far below the maximum of 1390
    controller.setParameterReply(QByteArray::fromHex("AA550005") + encodeParameterBlock(received));
    Program program(sign.dir.path());

    QTest::mouseClick(program.window.findChild<QWidget*>("BitBtn2"), Qt::LeftButton);
    program.window.waitForCommand();
    ASSERT_EQ(program.window.findChild<QLabel*>("StatusPanel2")->text(), "read para success!");
    program.form5.show();
    EXPECT_EQ(program.form5.parameters().light, 300);
    EXPECT_EQ(program.form5.findChild<QLabel*>("Label10")->text(), "(max1390)");
    program.form5.hide();
    program.form5.show();
    EXPECT_EQ(program.form5.parameters().light, 300);
    // A change of the scan timing still sets light to the maximum.
    program.form5.findChild<QSpinBox*>("Edit1")->setValue(60);
    EXPECT_EQ(program.form5.parameters().light, lightMaximum(18432000, 16, 60));
    program.form5.hide();
}

TEST(CommandWorker, CtrlCStopsTheCommandLineAtAFrameBoundary) {
    SlowSign sign(9);
    PacedController controller(sign.dir.path(), 9600);
    ASSERT_TRUE(controller.ok());
    QProcess cli;
    cli.start(MARQUEE_CLI_PATH,
              {"--folder", sign.dir.path(), "--progress", "send", sign.dir.filePath("slow.lis")});
    ASSERT_TRUE(cli.waitForStarted());
    QTest::qWait(2500);
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(10000));
    QTest::qWait(300);
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    EXPECT_EQ(cli.exitCode(), 4) << err.toStdString();
    EXPECT_EQ(QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
              (QStringList{"MAX 217 PAGES", "SENDING......", "cancelled"}));
    EXPECT_TRUE(err.contains(QString::fromLatin1(kCancelledText))) << err.toStdString();
    EXPECT_GE(err.count(QRegularExpression("of 19,404 bytes sent, 0:\\d\\d left\n")), 4);
    EXPECT_FALSE(controller.inFrame());
    EXPECT_EQ(controller.endFrames(), 0);
    EXPECT_EQ(controller.bytesRead(), qint64(controller.frames().size()) * (11 + 2048));
}

}  // namespace

// The virtual sign: the received list playing in a window of its own,
// started from the window on a new port.

#include "app/PortChooser.h"
#include "app/VirtualSignLauncher.h"
#include "emulator/VirtualSign.h"
#include "tests/ProgramSupport.h"

namespace {

QImage solid(QRgb colour) {
    QImage image(8, 4, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Pages of 1 s and 2 s, shown at once: the list runs 3 s, then again.
TEST(VirtualSign, PlaysTheReceivedListOverAndOver) {
    const QRgb red = qRgb(255, 0, 0);
    const QRgb green = qRgb(0, 255, 0);
    SignPlay play;
    play.pages = {{solid(red), 0, 0, 1}, {solid(green), 0, 0, 2}};
    play.screen = QSize(8, 4);
    play.clock = QTime(23, 59, 59);
    const SignLoop loop(play);
    const std::tuple<qint64, int, QRgb> moments[] = {
        {500, 0, red}, {1500, 1, green}, {2900, 1, green}, {3500, 0, red}, {4200, 1, green}};
    for (const auto& [ms, page, colour] : moments) {
        int shown = -2;
        EXPECT_EQ(loop.ledsAt(ms, &shown).pixel(3, 2), colour) << ms;
        EXPECT_EQ(shown, page) << ms;
    }
    EXPECT_EQ(loop.clockAt(3500), QTime(0, 0, 2, 500));  // the clock runs on past midnight

    // Drawn as large as the window allows.
    VirtualSignWindow window(QStringLiteral("/tmp/com1"));
    window.showPlay(play);
    QCoreApplication::processEvents();
    const QImage view = window.render(QSize(400, 230), 500);
    EXPECT_EQ(view.pixel(175, 125), red);  // the middle of LED (3, 2), 50 pixels a LED
    int none = 0;
    EXPECT_EQ(SignLoop({{}, {}, QTime(), QSize(8, 4)}).ledsAt(0, &none).size(), QSize(8, 4));
    EXPECT_EQ(none, -1);  // nothing received yet: a dark sign
}

TEST(VirtualSign, StartedFromTheWindowOnANewPort) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeBytes(QDir(dir.path()).filePath("ck.ini"),
                           "1\r\n64\r\n16\r\n1\r\n16\r\n0\r\n1\r\n0\r\n0\r\n4\r\n"));
    ASSERT_TRUE(QFile::link("/dev/null", QDir(dir.path()).filePath("com1")));  // taken
    Program program(dir.path());
    TTwpMain& window = program.window;
    auto* launcher = window.findChild<VirtualSignLauncher*>();
    EXPECT_EQ(launcher, nullptr);  // made when first asked for
    control<QAction>(window, "m_VirtualSign")->trigger();
    launcher = window.findChild<VirtualSignLauncher*>();
    ASSERT_NE(launcher, nullptr);
    const QString link = QDir(dir.path()).filePath("com2");
    QElapsedTimer waited;
    waited.start();
    while (window.settings().PORT != link && waited.elapsed() < 15000) {
        QTest::qWait(50);
    }
    ASSERT_EQ(window.settings().PORT, link) << program.messages.join('\n').toStdString();
    EXPECT_TRUE(
        control<PortChooser>(window, "PortChooser")->currentText().startsWith("Virtual sign"));

    control<QAction>(window, "m_Send")->trigger();
    window.waitForCommand();
    EXPECT_EQ(control<QLabel>(window, "StatusPanel2")->text(), "rec success!");
    EXPECT_TRUE(program.messages.isEmpty()) << program.messages.join('\n').toStdString();

    // Its window closed: the port chosen before comes back.
    launcher->stop();
    waited.restart();
    while (!window.settings().PORT.isEmpty() && waited.elapsed() < 10000) {
        QTest::qWait(50);
    }
    EXPECT_EQ(window.settings().PORT, QString());
}

TEST(VirtualSign, NeedsADisplay) {
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        env.remove(QString::fromLatin1(name));
    }
    cli.setProcessEnvironment(env);
    QTemporaryDir dir;
    cli.start(QStringLiteral(MARQUEE_CLI_PATH), {"--folder", dir.path(), "emulate", "--window"});
    ASSERT_TRUE(cli.waitForFinished(10000));
    EXPECT_EQ(cli.exitCode(), 2);
    EXPECT_TRUE(cli.readAllStandardError().contains("needs a display"));
    EXPECT_FALSE(QFileInfo::exists(QDir(dir.path()).filePath("com1")));
}

}  // namespace

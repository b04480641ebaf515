// The controller commands end to end: the real marquee-cli against the
// emulator on a pseudo-terminal.

#include "core/SettingsFile.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

namespace {

struct Controller {
    QTemporaryDir dir;
    QProcess emulator;
    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }

    // ck.ini: NUM 3, 64 x 16, COMM 1, SCAN 16, COLOR-SWAP on, T0, 115200.
    Controller() {
        writeBytes(path("ck.ini"), "3\r\n64\r\n16\r\n1\r\n16\r\n0\r\n1\r\n0\r\n0\r\n4\r\n");
        writeBytes(path("show.lis"), "\r\n1\r\n0\r\n0\r\n5\r\n2\r\n\r\n40\r\n0\r\n0\r\n9\r\n3\r\n");
    }
    bool start(const QStringList& options) {
        emulator.start(
            QStringLiteral(MARQUEE_CLI_PATH),
            QStringList{"--folder", dir.path(), "emulate", "--timeout", "30", "--bps", "115200"} +
                options);
        for (int i = 0; i < 1000 && !QFileInfo::exists(path("com1")); ++i) {
            QThread::msleep(10);
        }
        return QFileInfo::exists(path("com1"));
    }
    // What the emulator printed so far.
    QString log() {
        emulator.waitForReadyRead(200);
        return QString::fromUtf8(emulator.readAllStandardOutput());
    }
    // Runs marquee-cli in the program folder, as a script there would.
    CliRun run(const QStringList& command) {
        const QString caller = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const CliRun result = runCli(QStringList{"--folder", dir.path()} + command);
        QDir::setCurrent(caller);
        return result;
    }
    Settings settings() const {
        Settings s;
        readSettingsFile(dir.path(), &s);
        return s;
    }
    ~Controller() {
        if (emulator.state() != QProcess::NotRunning) {
            emulator.terminate();
            emulator.waitForFinished(5000);
        }
    }
};

struct Case {
    const char* name;
    QStringList emulator;  // empty with noPort: no emulator, no port
    bool noPort;
    QStringList command;
    int exitCode;
    QStringList out;
    const char* err;
};

void runCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Controller controller;
        writeBytes(controller.path("setup13"), QByteArray(64, '\x5A'));
        if (c.noPort) {
            writeBytes(controller.path("ck.ini"), "3\r\n64\r\n16\r\n250\r\n");  // /dev/ttyS249
        } else {
            ASSERT_TRUE(controller.start(c.emulator));
        }
        const CliRun run = controller.run(c.command);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_EQ(run.outLines(), c.out);
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.err))) << run.err.toStdString();
    }
}

const QStringList kSent = {"SENDING......", "SEND OVER"};

TEST(ControllerEndToEnd, TimeAndMode) {
    runCases({
        {"time", {"--num", "3"}, false, {"time"}, 0, kSent + QStringList{"time success!"}, ""},
        {"time, wrong byte",
         {"--num", "3", "--wrong-reply"},
         false,
         {"time"},
         1,
         kSent + QStringList{"set time error or can not sendback!"},
         ""},
        {"time, no port", {}, true, {"time"}, 3, {}, "comm error!\n"},
        {"mode",
         {"--num", "3"},
         false,
         {"mode", "show.lis"},
         0,
         QStringList{"MAX 1757 PAGES"} + kSent + QStringList{"mode success!"},
         ""},
        {"mode, silent",
         {"--num", "3", "--silent"},
         false,
         {"mode", "show.lis"},
         1,
         QStringList{"MAX 1757 PAGES"} + kSent + QStringList{"error mode or can not sendback!"},
         ""},
        {"mode, no port", {}, true, {"mode", "show.lis"}, 3, {}, "comm error\n"},
    });
}

TEST(ControllerEndToEnd, ClockAndPlayTableArriveAsSent) {
    Controller controller;
    ASSERT_TRUE(controller.start({"--num", "3"}));
    EXPECT_EQ(controller.run({"time"}).exitCode, 0);
    const QDateTime now = QDateTime::currentDateTime();
    const QString log = controller.log();
    EXPECT_TRUE(log.contains(QStringLiteral("set clock: %1-%2-%3")
                                 .arg(now.date().year() % 100, 2, 10, QLatin1Char('0'))
                                 .arg(now.date().month(), 2, 10, QLatin1Char('0'))
                                 .arg(now.date().day(), 2, 10, QLatin1Char('0'))))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("weekday %1").arg(now.date().dayOfWeek())));

    EXPECT_EQ(controller.run({"mode", "show.lis"}).exitCode, 0);
    const QString table = QString::fromUtf8(readBytes(controller.path("playlist.txt")));
    EXPECT_EQ(table, "page 1: effect 1 speed 2 time 5\npage 2: effect 40 speed 3 time 9\n");
}

TEST(ControllerEndToEnd, ReadAndSaveParameters) {
    {
        SCOPED_TRACE("read: the controller's block goes into ck.ini");
        Controller controller;
        ASSERT_TRUE(controller.start(
            {"--num", "7", "--width", "128", "--height", "32", "--scan", "8", "--type", "13"}));
        const CliRun run = controller.run({"read-para"});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        ASSERT_GE(run.outLines().size(), 4);
        EXPECT_EQ(run.outLines()[2], "read para success!");
        EXPECT_TRUE(
            run.outLines()[3].startsWith("num=7 type=13 width=128 high=32 clock=18432000 "
                                         "bps=115200 scan=8 freq=100"))
            << run.out.toStdString();
        const Settings s = controller.settings();
        EXPECT_EQ(s.NUM, 7);
        EXPECT_EQ(s.TYPE, 13);
        EXPECT_EQ(s.WIDTH, 128);
        EXPECT_EQ(s.HEIGHT, 32);
        EXPECT_EQ(s.SCAN, 8);
        EXPECT_EQ(s.BPS, 4);
        EXPECT_EQ(s.COMM, 1);       // untouched
        EXPECT_TRUE(s.COLOR_SWAP);  // untouched
    }
    {
        SCOPED_TRACE("read: the defaults reply");
        Controller controller;
        ASSERT_TRUE(controller.start({"--type", "25", "--report-defaults"}));
        const CliRun run = controller.run({"read-para"});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(
            run.out.contains("num=1 type=25 width=64 high=16 clock=18432000 bps=9600 "
                             "scan=1 freq=100 light=22990"))
            << run.out.toStdString();
        EXPECT_EQ(controller.settings().SCAN, 1);
        EXPECT_EQ(controller.settings().TYPE, 25);
    }
    {
        SCOPED_TRACE("read: a reply in the sending order changes nothing and says nothing");
        Controller controller;
        ASSERT_TRUE(controller.start({"--wrong-reply", "--width", "200"}));
        const CliRun run = controller.run({"read-para"});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.outLines(), kSent);
        EXPECT_EQ(controller.settings().WIDTH, 64);
    }
    {
        SCOPED_TRACE("save, then read back what was saved");
        Controller controller;
        ASSERT_TRUE(controller.start({}));
        const CliRun save = controller.run({"save-para", "num=9", "width=96", "high=32", "scan=4",
                                            "datacom=0", "bps=57600", "off=22:30:00"});
        EXPECT_EQ(save.exitCode, 0) << save.err.toStdString();
        EXPECT_EQ(save.outLines(), (kSent + QStringList{"save para success!"}));
        const Settings s = controller.settings();
        EXPECT_EQ(s.NUM, 9);
        EXPECT_EQ(s.WIDTH, 96);
        EXPECT_EQ(s.HEIGHT, 32);
        EXPECT_EQ(s.SCAN, 4);
        EXPECT_FALSE(s.COLOR_SWAP);
        EXPECT_EQ(s.BPS, 3);
        EXPECT_EQ(s.TYPE, 0);
        const CliRun read = controller.run({"read-para"});
        EXPECT_TRUE(
            read.out.contains("num=9 type=0 width=96 high=32 clock=18432000 bps=57600 "
                              "scan=4 freq=100 light=5710 swap8=0 datacom=0"))
            << read.out.toStdString();
        EXPECT_TRUE(read.out.contains("off=22:30:00"));
    }
    runCases({
        {"save, no port: nothing stored",
         {},
         true,
         {"save-para", "width=96"},
         3,
         {},
         "comm error\n"},
        {"save, bad value", {}, false, {"save-para", "freq=20"}, 2, {}, "freq must be a number"},
        {"save, unknown name", {}, false, {"save-para", "colour=1"}, 2, {}, "unknown parameter"},
    });
}

TEST(ControllerEndToEnd, Download) {
    {
        SCOPED_TRACE("download T13");
        Controller controller;
        writeBytes(controller.path("setup13"), QByteArray::fromHex("001122334455"));
        ASSERT_TRUE(controller.start({}));
        const CliRun run = controller.run({"download", "13"});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.outLines(), (kSent + QStringList{"download......", "download success!"}));
        const Settings s = controller.settings();
        EXPECT_EQ(s.TYPE, 13);
        EXPECT_EQ(s.SCAN, 16);
        EXPECT_EQ(s.NUM, 1);
        EXPECT_EQ(s.BPS, 0);
        EXPECT_TRUE(controller.log().contains("setup download: 16384 bytes, check byte good"));
    }
    runCases({
        {"no setup file", {}, false, {"download", "5"}, 2, {}, "can not find this type!"},
        {"no port", {}, true, {"download", "13"}, 3, {}, "串行口设置失败!"},
        {"wrong reply: no message",
         {"--wrong-reply"},
         false,
         {"download", "13"},
         1,
         kSent + QStringList{"download......"},
         ""},
        {"type out of range", {}, false, {"download", "27"}, 2, {}, "TYPE must be"},
    });
}

}  // namespace

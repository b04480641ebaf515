// Ports by name, lock files and the reasons a port cannot be opened, over
// real pseudo-terminals, the real emulator and the real marquee-cli.

#include "app/MainWindow.h"
#include "app/PortChooser.h"
#include "platform/PortLock.h"
#include "platform/PseudoTerminal.h"
#include "platform/SerialDevice.h"
#include "platform/SerialPorts.h"
#include "tests/UserSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <csignal>

namespace {

void put(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    writeBytes(path, text);
}

// A process that lives until the test ends; its stdin is input when given.
struct Sleeper {
    QProcess process;
    explicit Sleeper(const QString& input = QString()) {
        if (!input.isEmpty()) {
            process.setStandardInputFile(input);
        }
        process.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        process.waitForStarted();
    }
    ~Sleeper() {
        process.kill();
        process.waitForFinished();
    }
    qint64 pid() const { return process.processId(); }
};

// Waits until path exists, at most ms.
bool appears(const QString& path, int ms = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!QFileInfo::exists(path) && timer.elapsed() < ms) {
        QThread::msleep(10);
    }
    return QFileInfo::exists(path);
}

// The emulator on a pseudo-terminal linked as com1 in its own folder.
struct EmulatedSign {
    QTemporaryDir dir;
    QProcess process;
    explicit EmulatedSign(const QStringList& options = {}) {
        process.start(QStringLiteral(MARQUEE_CLI_PATH),
                      QStringList{"--folder", dir.path(), "emulate", "--timeout", "30"} + options);
        appears(link());
    }
    ~EmulatedSign() {
        process.terminate();
        process.waitForFinished();
    }
    QString link() const { return QDir(dir.path()).filePath("com1"); }
    QString device() const { return QFileInfo(link()).canonicalFilePath(); }
};

TEST(Ports, EveryFailureSaysWhy) {
    QTemporaryDir dir;
    PseudoTerminal peer;
    QString error;
    ASSERT_TRUE(peer.open(&error)) << error.toStdString();
    const QString device = peer.devicePath();
    const QString gone = QDir(dir.path()).filePath("usb-Adapter-if00-port0");
    ASSERT_TRUE(QFile::link("/dev/ttyUSB97", gone));
    Sleeper holder(device);  // has the port open, without a lock
    Sleeper locker;
    const QByteArray lock = lockFilePath(device);
    struct Case {
        const char* name;
        QString path;
        QByteArray lockOwner;  // written to the lock file first
        QString reason;
    };
    const QString pid = QString::number(holder.pid());
    const QString lockPid = QString::number(locker.pid());
    const Case cases[] = {
        {"a link whose device is gone",
         gone,
         {},
         QStringLiteral(
             "links to /dev/ttyUSB97, which does not exist: the adapter seems unplugged.")},
        {"no such device",
         "/dev/ttyUSB98",
         {},
         QStringLiteral("/dev/ttyUSB98 does not exist: the adapter seems unplugged.")},
        {"not a terminal", "/dev/null", {}, QStringLiteral("/dev/null is not a serial port")},
        {"locked by a living process", device, lockPid.rightJustified(10).toLatin1() + "\n",
         QStringLiteral("is in use by another program: sleep (PID %1) holds its lock %2.")
             .arg(lockPid, QString::fromLatin1(lock))},
        {"open elsewhere without a lock",
         device,
         {},
         QStringLiteral("is in use by another program: sleep (PID %1) has it open.").arg(pid)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.lockOwner.isEmpty()) {
            ASSERT_TRUE(writeBytes(QString::fromLatin1(lock), c.lockOwner));
        }
        SerialDevice port;
        error.clear();
        EXPECT_FALSE(port.open(c.path, &error));
        EXPECT_TRUE(error.endsWith(c.reason)) << error.toStdString();
        ::unlink(lock.constData());
    }
}

TEST(Ports, AStaleLockIsTakenOverAndTheLockGoesWithThePort) {
    PseudoTerminal peer;
    QString error;
    ASSERT_TRUE(peer.open(&error));
    const QByteArray lock = lockFilePath(peer.devicePath());
    qint64 dead = 0;
    {
        Sleeper finished;
        dead = finished.pid();
    }
    ASSERT_TRUE(
        writeBytes(QString::fromLatin1(lock), QByteArray::number(dead).rightJustified(10) + "\n"));
    SerialDevice port;
    ASSERT_TRUE(port.open(peer.devicePath(), &error)) << error.toStdString();
    EXPECT_EQ(readBytes(QString::fromLatin1(lock)),
              QByteArray::number(qint64(::getpid())).rightJustified(10) + "\n");
    SerialDevice second;  // this process holds it: refused, the lock stays
    EXPECT_FALSE(second.open(peer.devicePath(), &error));
    EXPECT_TRUE(QFileInfo::exists(QString::fromLatin1(lock)));
    port.close();
    EXPECT_FALSE(QFileInfo::exists(QString::fromLatin1(lock)));
}

// A USB adapter as the kernel shows it: /dev/ttyUSB0 (here a link to a
// pseudo-terminal), its by-id name, and its details in sysfs.
struct FakeMachine {
    QTemporaryDir root;
    QString dev() const { return root.filePath("dev"); }
    QString sys() const { return root.filePath("sys"); }
    QString byId() const {
        return dev() + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3-if00-port0";
    }
    explicit FakeMachine(const QString& device) {
        const QString usb = sys() + "/devices/pci0000:00/usb1/1-2";
        for (const auto& [name, value] : {std::pair{"idVendor", "0403"},
                                          {"idProduct", "6001"},
                                          {"manufacturer", "FTDI"},
                                          {"product", "FT232R USB UART"},
                                          {"serial", "A10K3"}}) {
            put(usb + "/" + name, QByteArray(value) + "\n");
        }
        QDir().mkpath(usb + "/1-2:1.0/ttyUSB0");
        QDir().mkpath(sys() + "/class/tty/ttyUSB0");
        QFile::link(usb + "/1-2:1.0/ttyUSB0", sys() + "/class/tty/ttyUSB0/device");
        put(sys() + "/class/tty/ttyS0/type", "4\n");
        put(sys() + "/class/tty/ttyS1/type", "0\n");  // no UART behind it
        for (const char* name : {"ttyS0", "ttyS1"}) {
            put(dev() + "/" + name, "");
        }
        QFile::link(device, dev() + "/ttyUSB0");
        QDir().mkpath(dev() + "/serial/by-id");
        QFile::link("../../ttyUSB0", byId());
    }
};

TEST(Ports, ListedByNameThenUnpluggedBeforeTheOpen) {
    auto peer = std::make_unique<PseudoTerminal>();
    QString error;
    ASSERT_TRUE(peer->open(&error));
    const QString device = peer->devicePath();
    FakeMachine machine(device);
    const QList<SerialPortInfo> ports = listSerialPorts(machine.dev(), machine.sys());
    ASSERT_EQ(ports.size(), 2);
    EXPECT_EQ(ports[0].path, machine.byId());
    EXPECT_EQ(ports[0].device, device);
    EXPECT_EQ(ports[0].description(), "ttyUSB0: FTDI FT232R USB UART, serial A10K3 (0403:6001)");
    EXPECT_EQ(ports[1].path, machine.dev() + "/ttyS0");
    EXPECT_EQ(preferredPortPath(machine.dev() + "/ttyUSB0", machine.dev()), machine.byId());

    peer.reset();  // unplugged
    QTemporaryDir sign;
    writeBytes(QDir(sign.path()).filePath("show.lis"), "\r\n1\r\n0\r\n0\r\n5\r\n0\r\n");
    const CliRun run = runCli(
        {"send", sign.filePath("show.lis"), "--folder", sign.path(), "--port", machine.byId()});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("comm error \n%1 links to %2/ttyUSB0, which does "
                                                  "not exist: the adapter seems unplugged.")
                                       .arg(machine.byId(), machine.dev())))
        << run.err.toStdString();
}

TEST(Ports, TheCommandLineLocksThePortAndLetsGoOnExitAndCtrlC) {
    EmulatedSign sign({"--delay", "1500"});
    ASSERT_TRUE(QFileInfo::exists(sign.link()));
    const QString lock = QString::fromLatin1(lockFilePath(sign.device()));
    QTemporaryDir mine;
    writeBytes(QDir(mine.path()).filePath("show.lis"), "\r\n1\r\n0\r\n0\r\n5\r\n0\r\n");
    for (bool interrupt : {false, true}) {
        SCOPED_TRACE(interrupt ? "Ctrl-C" : "to the end");
        QProcess sender;
        sender.start(MARQUEE_CLI_PATH, {"--folder", mine.path(), "send", mine.filePath("show.lis"),
                                        "--port=" + sign.link()});
        ASSERT_TRUE(appears(lock));
        const QString pid = QString::number(sender.processId());
        EXPECT_EQ(readBytes(lock), pid.rightJustified(10).toLatin1() + "\n");
        const CliRun second = runCli({"time", "--folder", mine.path(), "--port", sign.link()});
        EXPECT_EQ(second.exitCode, 3);
        EXPECT_TRUE(second.err.startsWith("comm error!\n" + sign.link() + " is in use"))
            << second.err.toStdString();
        EXPECT_TRUE(second.err.contains("marquee-cli (PID " + pid + ")"))
            << second.err.toStdString();
        if (interrupt) {
            ::kill(static_cast<pid_t>(sender.processId()), SIGINT);
        }
        ASSERT_TRUE(sender.waitForFinished(10000));
        if (!interrupt) {
            EXPECT_EQ(sender.exitCode(), 0);
            EXPECT_TRUE(sender.readAllStandardOutput().contains("rec success!"));
        }
        EXPECT_FALSE(QFileInfo::exists(lock));
        const int fd = ::open(QFile::encodeName(sign.device()).constData(), O_RDWR | O_NOCTTY);
        int exclusive = -1;
        EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0);  // nobody is kept out
        ::close(fd);
    }
}

TEST(Ports, PermissionDeniedNamesTheGroupAndTheFix) {
    QString why;
    const QString user = unprivilegedUser(&why);
    if (user.isEmpty()) {
        GTEST_SKIP() << "cannot test as an unprivileged user: " << why.toStdString();
    }
    PseudoTerminal peer;
    QString error;
    ASSERT_TRUE(peer.open(&error));
    const QByteArray device = QFile::encodeName(peer.devicePath());
    ASSERT_EQ(::chown(device.constData(), 0, 20), 0);  // root:dialout, as a USB adapter
    ASSERT_EQ(::chmod(device.constData(), 0660), 0);
    QTemporaryDir home;
    // Open to the user, who keeps the transfer log there.
    QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
    const CliRun run = runAs(user, home.path(), MARQUEE_CLI_PATH,
                             {"--folder", home.path(), "time", "--port", peer.devicePath()});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, QStringLiteral("comm error!\nPermission denied: %1 belongs to the group "
                                      "dialout, and the user %2 is not in it.\nAdd the user to "
                                      "that group (sudo adduser %2 dialout), then log out and log "
                                      "in again.\n")
                           .arg(peer.devicePath(), user));
}

TEST(CommandLineParser, OptionsAnywhereHelpVersionAndJson) {
    EmulatedSign sign;
    QTemporaryDir dir;
    struct Case {
        QString program;
        QStringList args;
        int exitCode;
        QString out;  // contained in standard output
    };
    const QString cli = MARQUEE_CLI_PATH;
    const Case cases[] = {
        {cli, {"--help"}, 0, "usage: marquee-cli [--folder DIR] COMMAND [ARGS]"},
        {cli, {"-h"}, 0, "list the serial ports of this machine"},
        {cli, {"send", "--help"}, 0, "usage: marquee-cli [--folder DIR] send [OPTIONS] [LIST.lis]"},
        {cli, {"compose", "-h"}, 0, "--font FACE             the font (細明體)"},
        {cli, {"--version"}, 0, "marquee-cli 0.1"},
        {cli, {"settings", "--folder=" + dir.path()}, 0, "NUM=1\nWIDTH=64"},
        {cli,
         {"settings", "--json", "--folder", dir.path(), "--port", "/dev/ttyUSB5"},
         0,
         "\"PORT\":\"/dev/ttyUSB5\""},
        {cli,
         {"read-para", "--json", "--folder", sign.dir.path()},
         0,
         "\"parameters\":{\"autoswitch\":0,\"bps\":9600"},
        {cli, {"ports", "--json"}, 0, "["},
        {cli, {"send"}, 2, ""},
        {MARQUEE_GUI_PATH, {"--help"}, 0, "--folder <DIR>"},
        {MARQUEE_GUI_PATH, {"--version"}, 0, "marquee 0.1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QProcess process;
        process.start(c.program, c.args);
        process.waitForFinished(30000);
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        EXPECT_EQ(process.exitCode(), c.exitCode);
        EXPECT_TRUE(out.contains(c.out)) << out.toStdString();
        if (c.args.contains("--json")) {
            EXPECT_FALSE(QJsonDocument::fromJson(out.toUtf8()).isNull()) << out.toStdString();
        }
    }
}

}  // namespace

namespace {

// The window's port chooser over a machine with one USB adapter: the
// adapter listed with its details, kept by its by-id name in marquee.conf,
// shown as not present once unplugged, and a new adapter listed as it
// appears. MARQUEE_SHOT_DIR=DIR also saves DIR/port-chooser.png.
TEST(PortChooser, ListsChoosesKeepsAndFollowsThePlug) {
    PseudoTerminal peer;
    QString error;
    ASSERT_TRUE(peer.open(&error));
    FakeMachine machine(peer.devicePath());
    QTemporaryDir folder;
    QStringList messages;
    {
        auto window = std::make_unique<TTwpMain>(
            folder.path(), [&](const QString& text, const QString&) { messages << text; });
        window->resize(1280, 800);
        window->show();
        auto* chooser = window->findChild<PortChooser*>();
        ASSERT_NE(chooser, nullptr);
        chooser->setRoots(machine.dev(), machine.sys());
        ASSERT_EQ(chooser->count(), 3);
        EXPECT_EQ(chooser->itemText(0), "com + COMM");
        EXPECT_EQ(chooser->itemText(1), "ttyUSB0: FTDI FT232R USB UART, serial A10K3 (0403:6001)");
        chooser->setCurrentIndex(1);
        emit chooser->activated(1);
        EXPECT_EQ(window->settings().PORT, machine.byId());
        EXPECT_FALSE(window->findChild<QSpinBox*>("Edit6")->isEnabled());  // COMM counts no more

        put(machine.dev() + "/ttyACM0", "");  // plugged in
        QElapsedTimer timer;
        timer.start();
        while (chooser->count() < 4 && timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        EXPECT_EQ(chooser->count(), 4);
        EXPECT_EQ(chooser->port(), machine.byId());
        const QString shots = qEnvironmentVariable("MARQUEE_SHOT_DIR");
        if (!shots.isEmpty()) {
            window->grab().save(shots + "/port-chooser-closed.png");
            chooser->showPopup();
            QCoreApplication::processEvents();
            QThread::msleep(300);
            QCoreApplication::processEvents();
            window->screen()->grabWindow(0).save(shots + "/port-chooser.png");
            chooser->hidePopup();
        }
        window->close();
    }
    EXPECT_EQ(readBytes(folder.filePath("marquee.conf")), "port=" + machine.byId().toUtf8() + "\n");
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    QFile::remove(machine.byId());  // unplugged while the program was closed
    TTwpMain again(folder.path(), [](const QString&, const QString&) {});
    auto* chooser = again.findChild<PortChooser*>();
    chooser->setRoots(machine.dev(), machine.sys());
    EXPECT_EQ(again.settings().PORT, machine.byId());
    EXPECT_EQ(chooser->currentText(), machine.byId() + " (not present)");
}

}  // namespace

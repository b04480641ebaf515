// SEND end to end: the real marquee-cli and the real window against the
// controller emulator on a pseudo-terminal.

#include "app/MainWindow.h"
#include "platform/PseudoTerminal.h"
#include "platform/SerialDevice.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

namespace {

struct Sign {
    QTemporaryDir dir;
    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }

    // A 64 x 16 sign of the given type on com1, and a two-page list.
    explicit Sign(int type = 0) {
        writeBytes(path("ck.ini"),
                   QStringLiteral("1\r\n64\r\n16\r\n1\r\n16\r\n0\r\n0\r\n0\r\n%1\r\n4\r\n")
                       .arg(type)
                       .toLatin1());
        QImage picture(64, 16, QImage::Format_RGB32);
        picture.fill(Qt::black);
        for (int x = 0; x < 32; ++x) {
            picture.setPixel(x, 4, qRgb(255, 0, 0));  // a red line on the left half
        }
        picture.save(path("line.bmp"));
        writeBytes(path("show.lis"),
                   "line.bmp\r\n3\r\n0\r\n0\r\n5\r\n1\r\n\r\n0\r\n0\r\n0\r\n5\r\n0\r\n");
    }
};

struct Emulator {
    QProcess process;
    bool start(const Sign& sign, const QStringList& options) {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(MARQUEE_CLI_PATH),
                      QStringList{"--folder", sign.dir.path(), "emulate", "--timeout", "20",
                                  "--bps", "115200", "--datacom", "0"} +
                          options);
        QElapsedTimer timer;
        timer.start();
        while (!QFileInfo::exists(sign.path("com1")) && timer.elapsed() < 10000) {
            QThread::msleep(10);
        }
        return QFileInfo::exists(sign.path("com1"));
    }
    ~Emulator() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(5000);
        }
    }
};

CliRun send(const Sign& sign) {
    return runCli({"--folder", sign.dir.path(), "send", sign.path("show.lis")});
}

TEST(SendEndToEnd, CommandLineAgainstTheEmulator) {
    struct Case {
        const char* name;
        QStringList emulator;
        int exitCode;
        const char* outcome;
        qint64 minMs, maxMs;
    };
    const Case cases[] = {
        {"acknowledged", {}, 0, "rec success!", 0, 1800},
        {"extra bytes after the acknowledgement", {"--extra", "3"}, 0, "rec success!", 0, 1800},
        {"wrong byte", {"--wrong-reply"}, 1, "error rec or can not sendback!", 0, 1800},
        {"no reply: the 2000 ms limit",
         {"--silent"},
         1,
         "error rec or can not sendback!",
         1950,
         3500},
        {"late but in time", {"--delay", "1800"}, 0, "rec success!", 1750, 3000},
        {"too late", {"--delay", "2300"}, 1, "error rec or can not sendback!", 1950, 3500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sign sign;
        Emulator emulator;
        ASSERT_TRUE(emulator.start(sign, c.emulator));
        const CliRun run = send(sign);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_EQ(run.outLines(), (QStringList{"MAX 1757 PAGES", "SENDING......", "SEND OVER",
                                               QString::fromLatin1(c.outcome)}));
        EXPECT_GE(run.ms, c.minMs) << run.err.toStdString();
        EXPECT_LE(run.ms, c.maxMs);
        if (c.exitCode == 0) {
            // What the sign shows: page 1 has its red line, page 2 is dark.
            const QImage page1(sign.path("page1.png"));
            ASSERT_EQ(page1.size(), QSize(64, 16));
            EXPECT_EQ(page1.pixelColor(10, 4), QColor(255, 0, 0));
            EXPECT_EQ(page1.pixelColor(40, 4), QColor(0, 0, 0));
            EXPECT_EQ(QImage(sign.path("page2.png")).pixelColor(10, 4), QColor(0, 0, 0));
        }
    }
}

TEST(SendEndToEnd, PortFaults) {
    {
        SCOPED_TRACE("port missing");
        Sign sign;
        writeBytes(sign.path("ck.ini"), "1\r\n64\r\n16\r\n250\r\n");  // /dev/ttyS249
        const CliRun run = send(sign);
        EXPECT_EQ(run.exitCode, 3);
        EXPECT_TRUE(run.err.startsWith("comm error \n")) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    }
    {
        SCOPED_TRACE("port held by another program");
        Sign sign;
        PseudoTerminal port;
        QString error;
        ASSERT_TRUE(port.open(&error) && port.linkAs(sign.dir.path(), 1, &error));
        SerialDevice holder;
        ASSERT_TRUE(holder.open(sign.path("com1"), &error)) << error.toStdString();
        const CliRun run = send(sign);
        EXPECT_EQ(run.exitCode, 3);
        EXPECT_TRUE(run.err.startsWith("comm error \n")) << run.err.toStdString();
        EXPECT_TRUE(port.read(200).isEmpty());
    }
    {
        SCOPED_TRACE("a module type that is not sent");
        Sign sign(14);
        PseudoTerminal port;
        QString error;
        ASSERT_TRUE(port.open(&error) && port.linkAs(sign.dir.path(), 1, &error));
        const CliRun run = send(sign);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains("cannot be sent")) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        EXPECT_TRUE(port.read(300).isEmpty());  // nothing written: the port was never opened
    }
    {
        SCOPED_TRACE("a page without a usable picture");
        Sign sign;
        Emulator emulator;
        ASSERT_TRUE(emulator.start(sign, {}));
        QFile::remove(sign.path("line.bmp"));
        const CliRun run = send(sign);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains("page 1: cannot load line.bmp")) << run.err.toStdString();
        EXPECT_FALSE(run.out.contains("SENDING......"));
    }
}

TEST(SendEndToEnd, TheWindowSends) {
    Sign sign;
    QStringList messages;
    TTwpMain window(sign.dir.path(),
                    [&](const QString& text, const QString&) { messages << text; });
    window.loadListFrom(sign.path("show.lis"));
    QAction* sendAction = window.findChild<QAction*>("m_Send");
    auto panel = [&](int i) {
        return window.findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i))->text();
    };
    {
        Emulator emulator;
        ASSERT_TRUE(emulator.start(sign, {}));
        sendAction->trigger();
        EXPECT_EQ(panel(0), "MAX 1757 PAGES");
        EXPECT_EQ(panel(1), "SEND OVER");
        EXPECT_EQ(panel(2), "rec success!");
        EXPECT_EQ(window.pages().currentTab(), 1);  // the last page sent is selected
        EXPECT_TRUE(messages.isEmpty());
    }
    {
        Emulator emulator;
        ASSERT_TRUE(emulator.start(sign, {"--silent"}));
        sendAction->trigger();
        EXPECT_EQ(panel(2), "error rec or can not sendback!");
    }
    Settings noPort = window.settings();
    noPort.COMM = 250;  // /dev/ttyS249: no such device
    window.setSettings(noPort);
    sendAction->trigger();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("comm error \n/dev/ttyS249")) << messages[0].toStdString();
}

}  // namespace

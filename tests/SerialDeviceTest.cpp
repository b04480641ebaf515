#include "platform/PseudoTerminal.h"
#include "platform/SerialDevice.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>
#include <chrono>
#include <thread>

namespace {

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A pseudo-terminal linked as com1 in a fresh folder, and the port opened
// through the link as a program opens it.
struct Port {
    QTemporaryDir dir;
    PseudoTerminal peer;
    SerialDevice device;

    Port() {
        QString error;
        EXPECT_TRUE(peer.open(&error)) << error.toStdString();
        EXPECT_TRUE(peer.linkAs(dir.path(), 1, &error)) << error.toStdString();
        EXPECT_TRUE(device.open(serialPortPath(dir.path(), 1), &error)) << error.toStdString();
        EXPECT_TRUE(device.configure(9600, &error)) << error.toStdString();
    }
};

double cpuMs(const rusage& usage) {
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// Waits up to ms for n bytes to be queued at the device.
bool queuedWithin(const SerialDevice& device, int n, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (device.bytesWaiting() < n && clock.elapsed() < ms) {
        sleepMs(5);
    }
    return device.bytesWaiting() == n;
}

TEST(SerialPortPath, LinkInFolderElseSystemDevice) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), QDir(dir.path()).filePath("com2")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/nonexistent/tty"), QDir(dir.path()).filePath("com4")));
    struct Case {
        int comm;
        QString path;
    };
    const Case cases[] = {
        {2, QDir(dir.path()).filePath("com2")},
        {4, QDir(dir.path()).filePath("com4")},  // a dangling link still names the port
        {1, "/dev/ttyS0"},
        {3, "/dev/ttyS2"},
        {10, "/dev/ttyS9"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(serialPortPath(dir.path(), c.comm), c.path) << c.comm;
    }
}

TEST(SerialDevice, OpenRefusesWhatIsNotAFreePort) {
    QTemporaryDir dir;
    const QDir folder(dir.path());
    ASSERT_TRUE(writeBytes(folder.filePath("com1"), "not a device"));
    ASSERT_TRUE(folder.mkdir("com2"));
    ASSERT_TRUE(QFile::link(folder.filePath("gone"), folder.filePath("com3")));
    PseudoTerminal peer;
    QString error;
    ASSERT_TRUE(peer.open(&error));
    ASSERT_TRUE(peer.linkAs(dir.path(), 4, &error));
    SerialDevice holder;
    ASSERT_TRUE(holder.open(folder.filePath("com4"), &error)) << error.toStdString();

    struct Case {
        QString path;
        const char* reason;
    };
    const Case cases[] = {
        {folder.filePath("com9"), "seems unplugged"},
        {folder.filePath("com1"), "not a serial port"},
        {folder.filePath("com2"), "is a folder"},
        {folder.filePath("com3"), "does not exist"},
        {"/dev/null", "not a serial port"},
        {folder.filePath("com4"), "in use by another program"},  // as root: the flock
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        SerialDevice device;
        error.clear();
        EXPECT_FALSE(device.open(c.path, &error));
        EXPECT_FALSE(device.isOpen());
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    }
    // Once the holder lets go, the port opens again.
    holder.close();
    SerialDevice next;
    EXPECT_TRUE(next.open(folder.filePath("com4"), &error)) << error.toStdString();
}

TEST(SerialDevice, ConfigureSetsRaw8N1AtTheRate) {
    struct Case {
        int baud;
        speed_t speed;
    };
    const Case cases[] = {
        {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
    Port port;
    const int fd = port.device.handle();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.baud);
        // Start from a cooked 7E2 line, so every field must be changed.
        termios cooked{};
        ASSERT_EQ(tcgetattr(fd, &cooked), 0);
        cooked.c_cflag = (cooked.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB;
        cooked.c_lflag |= ECHO | ICANON | ISIG | IEXTEN;
        cooked.c_oflag |= OPOST | ONLCR;
        cooked.c_iflag |= ICRNL | IXON | ISTRIP;
        ASSERT_EQ(tcsetattr(fd, TCSANOW, &cooked), 0);

        QString error;
        ASSERT_TRUE(port.device.configure(c.baud, &error)) << error.toStdString();
        termios line{};
        ASSERT_EQ(tcgetattr(fd, &line), 0);
        EXPECT_EQ(line.c_cflag & CSIZE, tcflag_t(CS8));
        EXPECT_FALSE(line.c_cflag & (PARENB | CSTOPB));
        EXPECT_TRUE(line.c_cflag & CREAD);
        EXPECT_TRUE(line.c_cflag & CLOCAL);
        EXPECT_FALSE(line.c_lflag & (ECHO | ICANON | ISIG | IEXTEN));
        EXPECT_FALSE(line.c_oflag & OPOST);
        EXPECT_FALSE(line.c_iflag & (ICRNL | IXON | ISTRIP | INLCR | IGNCR));
        EXPECT_EQ(cfgetospeed(&line), c.speed);
        EXPECT_EQ(cfgetispeed(&line), c.speed);
    }
    QString error;
    EXPECT_FALSE(port.device.configure(12345, &error));
    EXPECT_TRUE(error.contains("12345")) << error.toStdString();
}

TEST(SerialDevice, ConfigurePurgesOldInput) {
    Port port;
    QString error;
    ASSERT_TRUE(port.peer.writeAll("stale", 1000, &error));
    ASSERT_TRUE(queuedWithin(port.device, 5, 1000));
    ASSERT_TRUE(port.device.configure(19200, &error));
    EXPECT_EQ(port.device.bytesWaiting(), 0);
}

TEST(SerialDevice, WaitReplyOutcomes) {
    constexpr int kTimeout = 1000;
    struct Row {
        const char* name;
        int count;
        std::vector<std::pair<int, QByteArray>> peer;  // pause in ms, then bytes
        bool closePeer;                                // the peer vanishes after that
        SerialDevice::Wait outcome;
        QByteArray reply;
        int minMs, maxMs;  // time the wait took
        int leftQueued;    // bytes still queued afterwards
    };
    using W = SerialDevice::Wait;
    QByteArray longReply;
    std::vector<std::pair<int, QByteArray>> oneByOne;
    for (int i = 0; i < 36; ++i) {
        longReply += static_cast<char>(0xA0 + i);
        oneByOne.push_back({i == 0 ? 50 : 8, QByteArray(1, static_cast<char>(0xA0 + i))});
    }
    const Row rows[] = {
        {"reply in time", 1, {{100, "\x01"}}, false, W::Received, "\x01", 80, 400, 0},
        {"no reply", 1, {}, false, W::TimedOut, "", kTimeout, kTimeout + 300, 0},
        {"just before the limit",
         1,
         {{kTimeout - 150, "\x02"}},
         false,
         W::Received,
         "\x02",
         kTimeout - 200,
         kTimeout,
         0},
        {"just after the limit",
         1,
         {{kTimeout + 150, "\x02"}},
         false,
         W::TimedOut,
         "",
         kTimeout,
         kTimeout + 300,
         1},
        {"two bytes, one awaited", 1, {{50, "\x01\xEE"}}, false, W::Received, "\x01", 30, 400, 1},
        {"36 bytes one at a time", 36, oneByOne, false, W::Received, longReply, 200, kTimeout, 0},
        {"short reply",
         4,
         {{50, "\xAA\x55"}},
         false,
         W::TimedOut,
         "\xAA\x55",
         kTimeout,
         kTimeout + 300,
         0},
        {"peer vanishes", 1, {{200, ""}}, true, W::HungUp, "", 150, 500, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Port port;
        std::thread peer([&] {
            for (const auto& [pauseMs, bytes] : row.peer) {
                sleepMs(pauseMs);
                QString error;
                EXPECT_TRUE(port.peer.writeAll(bytes, 1000, &error));
            }
            if (row.closePeer) {
                port.peer.close();
            }
        });
        QElapsedTimer clock;
        clock.start();
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        QByteArray reply;
        const W outcome = port.device.waitReply(kTimeout, row.count, &reply);
        getrusage(RUSAGE_SELF, &after);
        const qint64 tookMs = clock.elapsed();
        peer.join();
        // The wait sleeps, also while part of a reply is in: no busy loop.
        EXPECT_LT(cpuMs(after) - cpuMs(before), 100.0);
        EXPECT_EQ(outcome, row.outcome);
        EXPECT_EQ(reply, row.reply);
        EXPECT_GE(tookMs, row.minMs);
        EXPECT_LE(tookMs, row.maxMs);
        if (!row.closePeer) {
            EXPECT_TRUE(queuedWithin(port.device, row.leftQueued, 300))
                << port.device.bytesWaiting();
        }
    }
}

QByteArray countingBytes(int size) {
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i) {
        data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    }
    return data;
}

TEST(SerialDevice, WriteAllDeliversEveryByteToASlowReaderInItsLineTime) {
    Port port;
    QString error;
    ASSERT_TRUE(port.device.configure(115200, &error));
    // More than a pseudo-terminal holds, and 2.8 s on the line.
    const QByteArray data = countingBytes(32 * 1024);
    QByteArray received;
    std::thread peer([&] {
        while (received.size() < data.size()) {
            const QByteArray chunk = port.peer.read(3000, 4096);
            if (chunk.isEmpty()) {
                break;
            }
            received += chunk;
            sleepMs(1);  // slower than the writer
        }
    });
    QElapsedTimer clock;
    clock.start();
    const bool written = port.device.writeAll(data, &error);
    EXPECT_GE(clock.elapsed(), data.size() * 10000LL / 115200);
    peer.join();
    EXPECT_TRUE(written) << error.toStdString();
    EXPECT_EQ(received.size(), data.size());
    EXPECT_TRUE(received == data);
}

TEST(SerialDevice, WriteAllFailsWithoutHanging) {
    struct Row {
        const char* name;
        bool peerVanishes;  // else the peer stops reading
        const char* reason;
    };
    const Row rows[] = {{"peer vanishes mid-write", true, "hung up"},
                        {"peer stops reading", false, "took no data"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Port port;
        port.device.setStallTimeout(500);
        std::thread peer([&] {
            port.peer.read(2000, 4096);
            if (row.peerVanishes) {
                sleepMs(100);
                port.peer.close();
            }
        });
        QElapsedTimer clock;
        clock.start();
        QString error;
        EXPECT_FALSE(port.device.writeAll(countingBytes(300 * 1024), &error));
        EXPECT_LT(clock.elapsed(), 3000);
        EXPECT_TRUE(error.contains(QLatin1String(row.reason))) << error.toStdString();
        peer.join();
    }
}

}  // namespace

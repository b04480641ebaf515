#include "platform/PseudoTerminal.h"
#include "platform/SerialDevice.h"
#include "tests/TestSupport.h"

#include <sys/resource.h>
#include <termios.h>
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
        EXPECT_TRUE(peer.open(&error) && peer.linkAs(dir.path(), 1, &error) &&
                    device.open(serialPortPath(dir.path(), 1), &error) &&
                    device.configure(9600, &error))
            << error.toStdString();
    }
};

// Waits up to ms for n bytes to be queued at the device.
bool queuedWithin(const SerialDevice& device, int n, int ms) {
    for (int waited = 0; device.bytesWaiting() < n && waited < ms; waited += 5) {
        sleepMs(5);
    }
    return device.bytesWaiting() == n;
}

TEST(SerialDevice, PortPathsAndWhatCannotBeOpened) {
    QTemporaryDir dir;
    const QDir folder(dir.path());
    ASSERT_TRUE(QFile::link("/dev/null", folder.filePath("com2")));
    ASSERT_TRUE(QFile::link(folder.filePath("gone"), folder.filePath("com3")));
    // A link in the folder, even a dangling one, names the port; else the system device.
    const std::pair<int, QString> paths[] = {{2, folder.filePath("com2")},
                                             {3, folder.filePath("com3")},
                                             {1, "/dev/ttyS0"},
                                             {10, "/dev/ttyS9"}};
    for (const auto& [comm, path] : paths) {
        EXPECT_EQ(serialPortPath(dir.path(), comm), path) << comm;
    }

    ASSERT_TRUE(writeBytes(folder.filePath("com1"), "not a device"));
    ASSERT_TRUE(folder.mkdir("com5"));
    PseudoTerminal peer;
    QString error;
    ASSERT_TRUE(peer.open(&error) && peer.linkAs(dir.path(), 4, &error));
    SerialDevice holder;
    ASSERT_TRUE(holder.open(folder.filePath("com4"), &error)) << error.toStdString();
    const std::pair<QString, const char*> refused[] = {
        {folder.filePath("com9"), "seems unplugged"},
        {folder.filePath("com1"), "not a serial port"},
        {folder.filePath("com5"), "is a folder"},
        {folder.filePath("com3"), "does not exist"},
        {"/dev/null", "not a serial port"},
        {folder.filePath("com4"), "in use by another program"},  // as root: the flock
    };
    for (const auto& [path, reason] : refused) {
        SerialDevice device;
        error.clear();
        EXPECT_FALSE(device.open(path, &error));
        EXPECT_FALSE(device.isOpen());
        EXPECT_TRUE(error.contains(reason)) << error.toStdString();
    }
    // Once the holder lets go, the port opens again.
    holder.close();
    SerialDevice next;
    EXPECT_TRUE(next.open(folder.filePath("com4"), &error)) << error.toStdString();
}

TEST(SerialDevice, ConfigureSetsRaw8N1AtTheRateAndPurges) {
    const std::pair<int, speed_t> rates[] = {
        {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
    Port port;
    const int fd = port.device.handle();
    QString error;
    for (const auto& [baud, speed] : rates) {
        SCOPED_TRACE(baud);
        // Start from a cooked 7E2 line, so every field must be changed.
        termios line{};
        ASSERT_EQ(tcgetattr(fd, &line), 0);
        line.c_cflag = (line.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB;
        line.c_lflag |= ECHO | ICANON | ISIG | IEXTEN;
        line.c_oflag |= OPOST | ONLCR;
        line.c_iflag |= ICRNL | IXON | ISTRIP;
        ASSERT_EQ(tcsetattr(fd, TCSANOW, &line), 0);
        ASSERT_TRUE(port.device.configure(baud, &error)) << error.toStdString();
        ASSERT_EQ(tcgetattr(fd, &line), 0);
        EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CREAD | CLOCAL),
                  tcflag_t(CS8 | CREAD | CLOCAL));
        EXPECT_FALSE(line.c_lflag & (ECHO | ICANON | ISIG | IEXTEN));
        EXPECT_FALSE(line.c_oflag & OPOST);
        EXPECT_FALSE(line.c_iflag & (ICRNL | IXON | ISTRIP | INLCR | IGNCR));
        EXPECT_EQ(cfgetospeed(&line), speed);
        EXPECT_EQ(cfgetispeed(&line), speed);
    }
    EXPECT_FALSE(port.device.configure(12345, &error));
    EXPECT_TRUE(error.contains("12345")) << error.toStdString();
    // Old input is purged.
    ASSERT_TRUE(port.peer.writeAll("stale", 1000, &error));
    ASSERT_TRUE(queuedWithin(port.device, 5, 1000));
    ASSERT_TRUE(port.device.configure(19200, &error));
    EXPECT_EQ(port.device.bytesWaiting(), 0);
}

double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

TEST(SerialDevice, WaitReplyOutcomes) {
    constexpr int T = 600;  // the time-out of every wait here
    using W = SerialDevice::Wait;
    using Peer = std::vector<std::pair<int, QByteArray>>;  // pause in ms, then bytes
    QByteArray longReply;
    Peer oneByOne;
    for (int i = 0; i < 36; ++i) {
        longReply += static_cast<char>(0xA0 + i);
        oneByOne.push_back({i == 0 ? 50 : 8, longReply.right(1)});
    }
    struct Row {
        const char* name;
        int count;
        Peer peer;
        bool hangUp;  // the peer vanishes after that
        W outcome;
        QByteArray reply;
        int minMs, maxMs;  // time the wait took
        int leftQueued;    // bytes still queued afterwards
    };
    const Row rows[] = {
        {"reply in time", 1, {{100, "\x01"}}, false, W::Received, "\x01", 80, 400, 0},
        {"no reply", 1, {}, false, W::TimedOut, "", T, T + 300, 0},
        {"before the limit", 1, {{T - 150, "\x02"}}, false, W::Received, "\x02", T - 200, T, 0},
        {"after the limit", 1, {{T + 150, "\x02"}}, false, W::TimedOut, "", T, T + 300, 1},
        {"two bytes, one awaited", 1, {{50, "\x01\xEE"}}, false, W::Received, "\x01", 30, 400, 1},
        {"36 bytes one at a time", 36, oneByOne, false, W::Received, longReply, 200, T, 0},
        {"short reply", 4, {{50, "\xAA\x55"}}, false, W::TimedOut, "\xAA\x55", T, T + 300, 0},
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
            if (row.hangUp) {
                port.peer.close();
            }
        });
        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = cpuMs();
        QByteArray reply;
        const W outcome = port.device.waitReply(T, row.count, &reply);
        const double cpu = cpuMs() - cpuBefore;
        const qint64 tookMs = clock.elapsed();
        peer.join();
        EXPECT_LT(cpu, 100.0);  // the wait sleeps, also while part of a reply is in
        EXPECT_EQ(outcome, row.outcome);
        EXPECT_EQ(reply, row.reply);
        EXPECT_GE(tookMs, row.minMs);
        EXPECT_LE(tookMs, row.maxMs);
        if (!row.hangUp) {
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

TEST(SerialDevice, WriteAllDeliversEveryByteOrFailsWithoutHanging) {
    const QByteArray data = countingBytes(300 * 1024);
    {
        SCOPED_TRACE("a slow reader gets every byte, in no less than its line time");
        Port port;
        QString error;
        ASSERT_TRUE(port.device.configure(115200, &error));
        // More than a pseudo-terminal holds, and 2.8 s on the line.
        const QByteArray line = data.left(32 * 1024);
        QByteArray received;
        std::thread peer([&] {
            while (received.size() < line.size()) {
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
        EXPECT_TRUE(port.device.writeAll(line, &error)) << error.toStdString();
        EXPECT_GE(clock.elapsed(), line.size() * 10000LL / 115200);
        peer.join();
        EXPECT_TRUE(received == line) << received.size();
    }
    const std::pair<bool, const char*> rows[] = {{true, "hung up"}, {false, "took no data"}};
    for (const auto& [vanishes, reason] : rows) {
        SCOPED_TRACE(vanishes ? "the peer vanishes mid-write" : "the peer stops reading");
        Port port;
        port.device.setStallTimeout(500);
        std::thread peer([&, vanishes = vanishes] {
            port.peer.read(2000, 4096);
            if (vanishes) {
                sleepMs(100);
                port.peer.close();
            }
        });
        QString error;
        EXPECT_FALSE(port.device.writeAll(data, &error));
        EXPECT_TRUE(error.contains(reason)) << error.toStdString();
        peer.join();
    }
}

}  // namespace

// What a user can feed the program — a misbehaving port, a crash while
// saving, absurd files — never crashes it, hangs it, or loses a file.

#include "core/SettingsFile.h"
#include "pages/PlayListFile.h"
#include "platform/PseudoTerminal.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <jpeglib.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

const QByteArray kParameterReply =
    hex("AA550005010000400010004019018025000010640091FAFF010000000008000012000000");

struct Folder {
    QTemporaryDir dir;
    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }
    CliRun run(const QStringList& command) const {
        return runCli(QStringList{"--folder", dir.path()} + command);
    }
};

// A peer on the other end of com1, played by a thread of this test.
class Peer {
  public:
    explicit Peer(const Folder& folder) {
        QString error;
        m_ok = m_terminal.open(&error) && m_terminal.linkAs(folder.dir.path(), 1, &error);
    }
    ~Peer() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    bool ok() const { return m_ok; }
    void start(std::function<void(PseudoTerminal&, const std::atomic<bool>&)> behaviour) {
        m_thread = std::thread([this, behaviour] { behaviour(m_terminal, m_stop); });
    }

  private:
    PseudoTerminal m_terminal;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    bool m_ok = false;
};

// Reads until the whole command has arrived (a pause of 100 ms).
QByteArray readCommand(PseudoTerminal& port, const std::atomic<bool>& stop) {
    QByteArray got;
    while (!stop) {
        const QByteArray more = port.read(got.isEmpty() ? 200 : 100);
        if (more.isEmpty() && !got.isEmpty()) {
            break;
        }
        got += more;
    }
    return got;
}

void writeList(const Folder& folder, int pages) {
    QByteArray list;
    for (int i = 0; i < pages; ++i) {
        list += "\r\n1\r\n0\r\n0\r\n5\r\n0\r\n";
    }
    writeBytes(folder.path("show.lis"), list);
}

TEST(Hardening, PortFaultsEndWithTheCommandsMessage) {
    using Behaviour = std::function<void(PseudoTerminal&, const std::atomic<bool>&)>;
    const Behaviour vanish = [](PseudoTerminal& port, const std::atomic<bool>&) {
        port.read(1000, 2000);  // takes a little of a large transfer, then is gone
        port.close();
    };
    const Behaviour singleBytes = [](PseudoTerminal& port, const std::atomic<bool>& stop) {
        readCommand(port, stop);
        QString error;
        for (char byte : kParameterReply) {
            port.writeAll(QByteArray(1, byte), 1000, &error);
            QThread::msleep(15);
        }
        port.waitUntilRead(2000);
    };
    const Behaviour noiseFirst = [](PseudoTerminal& port, const std::atomic<bool>& stop) {
        readCommand(port, stop);
        QString error;
        port.writeAll(hex("1337") + kParameterReply, 1000, &error);
        port.waitUntilRead(2000);
    };
    const Behaviour headerOnly = [](PseudoTerminal& port, const std::atomic<bool>& stop) {
        readCommand(port, stop);
        QString error;
        port.writeAll(kParameterReply.left(4), 1000, &error);
        port.waitUntilRead(6000);
    };
    const Behaviour silent = [](PseudoTerminal& port, const std::atomic<bool>& stop) {
        while (!stop) {
            port.read(100);
        }
    };
    const Behaviour flood = [](PseudoTerminal& port, const std::atomic<bool>& stop) {
        QString error;
        const QByteArray noise(256, '\xEE');
        while (!stop) {
            port.read(0);
            port.writeAll(noise, 20, &error);
        }
    };
    struct Case {
        const char* name;
        Behaviour peer;
        int pages;
        QStringList command;
        int exitCode;
        QStringList out;
        qint64 maxMs;
    };
    const QStringList sent = {"SENDING......", "SEND OVER"};
    const Case cases[] = {
        {"the other side vanishes in a large write",
         vanish,
         255,
         {"send", "show.lis"},
         3,
         QStringList{"MAX 287 PAGES"} + sent + QStringList{"error rec or can not sendback!"},
         4000},
        {"a reply in single bytes",
         singleBytes,
         1,
         {"read-para"},
         0,
         sent + QStringList{"read para success!",
                            "num=1 type=0 width=64 high=16 "
                            "clock=18432000 bps=9600 scan=16 freq=100 "
                            "light=1390 swap8=0 datacom=1 oecom=1 "
                            "autoswitch=0 translate=0 satoff=0 sunoff=0 "
                            "on=8:00:00 off=18:00:00 english=0"},
         4000},
        {"noise before a framed reply", noiseFirst, 1, {"read-para"}, 1, sent, 4000},
        {"READ PARA answered with the header alone waits out 5000 ms",
         headerOnly,
         1,
         {"read-para"},
         1,
         sent + QStringList{"error para or can not sendback!"},
         6500},
        {"save parameter, no reply",
         silent,
         1,
         {"save-para"},
         1,
         sent + QStringList{"error save para or can not sendback!"},
         6500},
        {"an endless stream during the wait: SEND",
         flood,
         1,
         {"send", "show.lis"},
         1,
         QStringList{"MAX 287 PAGES"} + sent + QStringList{"error rec or can not sendback!"},
         2000},
        {"an endless stream during the wait: READ PARA", flood, 1, {"read-para"}, 1, sent, 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        // 96 x 64 dual colour: 255 pages make a transfer of about 390 KB.
        writeBytes(folder.path("ck.ini"), "1\r\n96\r\n64\r\n1\r\n16\r\n0\r\n1\r\n0\r\n0\r\n4\r\n");
        writeList(folder, c.pages);
        Peer peer(folder);
        ASSERT_TRUE(peer.ok());
        peer.start(c.peer);
        const QString caller = QDir::currentPath();
        QDir::setCurrent(folder.dir.path());
        const CliRun run = folder.run(c.command);
        QDir::setCurrent(caller);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_EQ(run.outLines(), c.out);
        EXPECT_LT(run.ms, c.maxMs);
        if (c.maxMs > 6000) {
            EXPECT_GE(run.ms, 4950);  // the whole 5000 ms were waited
        }
        Settings settings;
        readSettingsFile(folder.dir.path(), &settings);
        // READ PARA stores what it received, save parameter what it sent.
        const bool stored =
            (c.exitCode == 0 && c.command[0] == "read-para") || c.command[0] == "save-para";
        EXPECT_EQ(settings.WIDTH, stored ? 64 : 96);
    }
}

TEST(Hardening, PortsThatAreNotTerminals) {
    for (bool folderInTheWay : {false, true}) {
        SCOPED_TRACE(folderInTheWay ? "a folder named com1" : "a plain file named com1");
        Folder folder;
        writeList(folder, 1);
        if (folderInTheWay) {
            QDir(folder.dir.path()).mkdir("com1");
        } else {
            writeBytes(folder.path("com1"), "not a port");
        }
        const CliRun run = folder.run({"send", folder.path("show.lis")});
        EXPECT_EQ(run.exitCode, 3);
        EXPECT_TRUE(run.err.startsWith("comm error \n")) << run.err.toStdString();
        const CliRun time = folder.run({"time"});
        EXPECT_EQ(time.exitCode, 3);
        EXPECT_TRUE(time.err.startsWith("comm error!\n")) << time.err.toStdString();
    }
}

TEST(Hardening, KilledWhileSavingLeavesAWholeFile) {
    Folder folder;
    Settings wide;
    wide.WIDTH = 2048;
    wide.HEIGHT = 1600;
    wide.TYPE = 26;
    const QByteArray settingsA = formatSettings(Settings{});
    const QByteArray settingsB = formatSettings(wide);
    PageList longList;
    for (int i = 1; i < PageList::kMaxPages; ++i) {
        longList.addPage();
        longList.setPagePicture(QStringLiteral("/pictures/page %1 of a long list.jpg").arg(i));
    }
    const QByteArray listA = formatPlayList(PageList{}.items(), 1);
    const QByteArray listB = formatPlayList(longList.items(), longList.PageCount());

    int checked = 0;
    for (int round = 0; round < 150; ++round) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            dup2(ready[1], STDOUT_FILENO);
            execl(CRASH_WRITER_PATH, CRASH_WRITER_PATH,
                  QFile::encodeName(folder.dir.path()).constData(), nullptr);
            _exit(127);
        }
        close(ready[1]);
        // Once the writer is in its loop, kill it at a random moment.
        char line[16];
        pollfd entry{ready[0], POLLIN, 0};
        if (poll(&entry, 1, 20000) > 0) {
            [[maybe_unused]] const ssize_t got = read(ready[0], line, sizeof line);
        }
        close(ready[0]);
        usleep(QRandomGenerator::global()->bounded(3000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";
        const QByteArray ini = readBytes(folder.path("ck.ini"));
        const QByteArray list = readBytes(folder.path("show.lis"));
        if (!ini.isEmpty()) {
            EXPECT_TRUE(ini == settingsA || ini == settingsB) << "round " << round;
            ++checked;
        }
        if (!list.isEmpty()) {
            EXPECT_TRUE(list == listA || list == listB) << "round " << round;
        }
    }
    EXPECT_GT(checked, 100);
}

// A 10000 x 10000 grey JPEG, written a row at a time.
QByteArray hundredMegapixelJpeg() {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = 10000;
    cinfo.image_height = 10000;
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 50, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(10000, 160);
    JSAMPROW rows[1] = {row.data()};
    while (cinfo.next_scanline < cinfo.image_height) {
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return bytes;
}

// Peak memory (KiB) and the result of one marquee-cli run, through time(1).
struct Measured {
    CliRun run;
    qint64 peakKiB;
};

Measured measure(const Folder& folder, const QStringList& command) {
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(
        QStringLiteral("/usr/bin/time"),
        QStringList{"-f", "peak %M", MARQUEE_CLI_PATH, "--folder", folder.dir.path()} + command);
    process.waitForFinished(120000);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    const qsizetype at = err.lastIndexOf("peak ");
    return {{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()), err,
             timer.elapsed()},
            at >= 0 ? err.mid(at + 5).trimmed().toLongLong() : -1};
}

TEST(Hardening, AbsurdFilesGiveBoundedWork) {
    Folder folder;
    writeBytes(folder.path("huge.jpg"), hundredMegapixelJpeg());
    writeBytes(folder.path("huge.lis"), "huge.jpg\r\n0\r\n0\r\n0\r\n5\r\n0\r\n");
    QByteArray bmp("BM");
    bmp += hex("76000000 00000000 36000000 28000000 60EA0000 60EA0000 0100 1800");
    bmp += QByteArray(200, '\x7F');
    writeBytes(folder.path("claims.bmp"), bmp);
    writeBytes(folder.path("claims.lis"), "claims.bmp\r\n0\r\n0\r\n0\r\n5\r\n0\r\n");
    writeBytes(folder.path("longline.lis"),
               QByteArray(10 << 20, 'n') + "\r\n0\r\n0\r\n0\r\n5\r\n0\r\n");
    {
        QFile sparse(folder.path("setup3"));
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.resize(qint64(1) << 30));
    }
    struct Case {
        const char* name;
        QStringList command;
        int exitCode;
        const char* err;
    };
    const Case cases[] = {
        {"100-megapixel JPEG", {"build", folder.path("huge.lis"), folder.path("out1")}, 0, ""},
        {"BMP claiming 60000 x 60000",
         {"build", folder.path("claims.lis"), folder.path("out2")},
         2,
         "picture too large: 60000 x 60000 pixels"},
        {"play list with a 10 MB line",
         {"build", folder.path("longline.lis"), folder.path("o3")},
         2,
         "page 1: cannot load"},
        {"1 GB setup file", {"download", "3"}, 2, "setup3 is 1073741824 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Measured m = measure(folder, c.command);
        EXPECT_EQ(m.run.exitCode, c.exitCode) << m.run.err.left(500).toStdString();
        EXPECT_TRUE(m.run.err.contains(QString::fromLatin1(c.err)))
            << m.run.err.left(500).toStdString();
        EXPECT_LT(m.run.err.size(), 4000);  // messages stay readable
        EXPECT_GT(m.peakKiB, 0);
        EXPECT_LT(m.peakKiB, 1 << 20);  // under 1 GiB
        EXPECT_LT(m.run.ms, 60000);
    }
}

}  // namespace

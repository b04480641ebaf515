// What a user can feed the program — a misbehaving port, a crash while
// saving, files that are no files, absurd pictures — never crashes it, hangs
// it, loses a file or fails without saying why.

#include "core/SettingsFile.h"
#include "pages/PlayListFile.h"
#include "platform/PseudoTerminal.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>
#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

namespace {

const QByteArray kParameterReply =
    QByteArray::fromHex("AA550005010000400010004019018025000010640091FAFF010000000008000012000000");

struct Folder {
    QTemporaryDir dir;
    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }
    CliRun run(const QStringList& command) const {
        return runCli(QStringList{"--folder", dir.path()} + command);
    }
    void writeList(int pages) const {
        writeBytes(path("show.lis"), QByteArray("\r\n1\r\n0\r\n0\r\n5\r\n0\r\n").repeated(pages));
    }
};

using Behaviour = std::function<void(PseudoTerminal&, const std::atomic<bool>&)>;

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
    void start(const Behaviour& behaviour) {
        m_thread = std::thread([this, behaviour] { behaviour(m_terminal, m_stop); });
    }
    // What reached the port (when no thread reads it).
    QByteArray received() { return m_terminal.read(50); }

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

// What the other end of com1 does: "vanish" in a large write, answer in
// single "bytes", stay "silent", "flood" the line, or answer the hex bytes.
Behaviour peerThat(const QByteArray& does) {
    if (does == "vanish") {
        return [](PseudoTerminal& port, const std::atomic<bool>&) {
            port.read(1000, 2000);  // takes a little of a large transfer, then is gone
            port.close();
        };
    }
    if (does == "bytes") {
        return [](PseudoTerminal& port, const std::atomic<bool>& stop) {
            readCommand(port, stop);
            QString error;
            for (char byte : kParameterReply) {
                port.writeAll(QByteArray(1, byte), 1000, &error);
                QThread::msleep(15);
            }
            port.waitUntilRead(2000);
        };
    }
    if (does == "silent" || does == "flood") {
        return [does](PseudoTerminal& port, const std::atomic<bool>& stop) {
            QString error;
            while (!stop) {
                port.read(does == "silent" ? 100 : 0);
                if (does == "flood") {
                    port.writeAll(QByteArray(256, '\xEE'), 20, &error);
                }
            }
        };
    }
    return
        [reply = QByteArray::fromHex(does)](PseudoTerminal& port, const std::atomic<bool>& stop) {
            readCommand(port, stop);
            QString error;
            port.writeAll(reply, 1000, &error);
            port.waitUntilRead(6000);
        };
}

// Every failure exit says why on standard error; the status texts on
// standard output stay as the window shows them.
TEST(Hardening, CommandLineFailuresSayWhy) {
    struct Case {
        QByteArray peer;      // peerThat(), or com1 is a "folder" or a plain "file"
        const char* command;  // its words
        int exitCode;
        const char* out;  // standard output, lines joined by '|'; "~" for SENDING......|SEND OVER
        const char* err;  // what standard error holds
    };
    const QByteArray para = kParameterReply.toHex();
    const Case cases[] = {
        {"vanish", "send show.lis", 3, "MAX 287 PAGES|~|error rec or can not sendback!",
         "comm error \nthe other end of"},
        {"bytes", "read-para", 0, "~|read para success!|num=1 type=0 width=64 high=16", ""},
        {"1337" + para, "read-para", 1, "~",
         "The controller answered 13 37 AA 55 00 05 01 00 00 40 00 10 00 40 19 01 ... where "
         "AA 55, any byte, 05 was expected."},
        {"AA550007", "save-para", 1, "~",
         "The controller answered AA 55 00 07 where AA 55, any byte, 04 was expected."},
        {para.left(8), "read-para", 1, "~|error para or can not sendback!",
         "No reply came within 5000 ms: 4 of the 36 bytes came (AA 55 00 05)."},
        {"silent", "save-para", 1, "~|error save para or can not sendback!",
         "No reply came within 5000 ms (4 bytes expected: AA 55, any byte, 04)."},
        {"flood", "send show.lis", 1, "MAX 287 PAGES|~|error rec or can not sendback!",
         "The controller answered EE where 01 was expected."},
        {"folder", "send show.lis", 3, "", "comm error \n"},
        {"file", "time", 3, "", "comm error!\n"},
        {"silent", "mode /no/such.lis", 2, "", "Cannot read /no/such.lis: No such file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const QByteArray& peer = c.peer;
        Folder folder;
        // 96 x 64 dual colour: 255 pages make a transfer of about 390 KB.
        writeBytes(folder.path("ck.ini"), "1\r\n96\r\n64\r\n1\r\n16\r\n0\r\n1\r\n0\r\n0\r\n4\r\n");
        folder.writeList(peer == "vanish" ? 255 : 1);
        if (peer == "folder") {
            QDir(folder.dir.path()).mkdir("com1");
        } else if (peer == "file") {
            writeBytes(folder.path("com1"), "not a port");
        }
        Peer other(folder);
        if (peer != "folder" && peer != "file") {
            ASSERT_TRUE(other.ok());
            other.start(peerThat(peer));
        }
        // "show.lis" is taken relative to where the command is given.
        const QString caller = QDir::currentPath();
        QDir::setCurrent(folder.dir.path());
        const QStringList command = QString::fromLatin1(c.command).split(' ');
        const CliRun run = folder.run(command);
        QDir::setCurrent(caller);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        const QString out = QString::fromLatin1(c.out).replace("~", "SENDING......|SEND OVER");
        EXPECT_TRUE((run.outLines().join('|') + '|').startsWith(out)) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(c.err))) << run.err.toStdString();
        EXPECT_EQ(run.err.isEmpty(), c.exitCode == 0) << run.err.toStdString();
        Settings settings;
        readSettingsFile(folder.dir.path(), &settings);
        // READ PARA stores what it received, save parameter what it sent.
        const bool stored = (c.exitCode == 0 && command[0] == "read-para") ||
                            (command[0] == "save-para" && peer != "folder");
        EXPECT_EQ(settings.WIDTH, stored ? 64 : 96);
    }
}

// Pages and lists that are no pictures or lists: each refused at once,
// named, with the port never opened (a page's picture by SEND and build).
TEST(Hardening, UnusableFilesAreRefusedBeforeThePortOpens) {
    Folder folder;
    const QString fifo = folder.path("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QFile sparse(folder.path("sparse"));
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly) && sparse.resize(qint64(2) << 30));
    sparse.close();
    QDir(folder.dir.path()).mkdir("folder");
    for (const char* name : {"rle-bomb.bmp", "claims-60000.bmp", "page.xpm"}) {
        QFile::copy(dataPath(QByteArray("hardening/") + name), folder.path(name));
    }
    struct Case {
        QString file;
        bool asList;  // else as the picture of page 2
        const char* reason;
    };
    const Case cases[] = {
        {fifo, false, "it is a FIFO (named pipe), not a file"},
        {fifo, true, "it is a FIFO (named pipe), not a file"},
        {"/dev/zero", false, "it is a device, not a file"},
        {"/dev/zero", true, "it is a device, not a file"},
        {folder.path("folder"), false, "it is a folder, not a file"},
        {folder.path("folder"), true, "it is a folder, not a file"},
        {folder.path("sparse"), false, "it is 2147483648 bytes; at most 268435456 are read"},
        {folder.path("sparse"), true, "it is 2147483648 bytes; at most 67108864 are read"},
        {"rle-bomb.bmp", false, "picture too large: 8000 x 8000 pixels (at most 50 megapixels)"},
        {"claims-60000.bmp", false, "picture too large: 60000 x 60000 pixels"},
        {"page.xpm", false, "it is not a BMP, JPEG or PNG picture"},
    };
    for (const Case& c : cases) {
        for (const char* command : {"send", "mode", "build"}) {
            if (QByteArray(command) == "mode" && !c.asList) {
                continue;  // MODE reads no picture
            }
            SCOPED_TRACE(testing::Message() << command << " " << c.file.toStdString()
                                            << (c.asList ? " as the list" : " as a page"));
            writeBytes(folder.path("show.lis"), "\r\n1\r\n0\r\n0\r\n5\r\n0\r\n" +
                                                    QFile::encodeName(c.file) +
                                                    "\r\n1\r\n0\r\n0\r\n5\r\n0\r\n");
            Peer peer(folder);
            ASSERT_TRUE(peer.ok());
            QStringList arguments = {command, c.asList ? c.file : folder.path("show.lis")};
            if (QByteArray(command) == "build") {
                arguments << folder.path("out.bin");
            }
            const CliRun run = folder.run(arguments);
            EXPECT_EQ(run.exitCode, 2) << run.err.toStdString();
            EXPECT_TRUE(run.err.contains(QFileInfo(c.file).fileName())) << run.err.toStdString();
            EXPECT_TRUE(run.err.contains(c.reason)) << run.err.toStdString();
            EXPECT_EQ(run.out, QString());
            EXPECT_EQ(peer.received(), QByteArray());
            EXPECT_FALSE(QFileInfo::exists(folder.path("out.bin")));
        }
    }
}

TEST(Hardening, KilledWhileSavingLeavesAWholeFileAndNoLitter) {
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

    // What killed saves left, and a few more, made two minutes old: the next
    // save removes ours and leaves the rest.
    const QStringList kept = {".ck.ini.Fresh1", ".notes.backup", ".notes.txt.a1B2c3", "page.bmp"};
    for (const QString& name : QStringList{".page.bmp.x1Y2z3", ".ck.ini.AbC123"} + kept) {
        writeBytes(folder.path(name), "left over");
    }
    const QDir dir(folder.dir.path());
    const utimbuf old{::time(nullptr) - 120, ::time(nullptr) - 120};
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
        if (name != ".ck.ini.Fresh1") {
            utime(QFile::encodeName(dir.filePath(name)).constData(), &old);
        }
    }
    QString error;
    ASSERT_TRUE(writeSettingsFile(folder.dir.path(), Settings{}, &error)) << error.toStdString();
    QStringList expected = kept + QStringList{"ck.ini", "show.lis"};
    expected.sort();
    EXPECT_EQ(dir.entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
}

// Large inputs cost bounded memory: peak memory (KiB, through time(1)) of
// one marquee-cli run stays under 1 GiB.
TEST(Hardening, AbsurdFilesGiveBoundedWork) {
    Folder folder;
    QImage grey(10000, 10000, QImage::Format_Grayscale8);  // 100 megapixels
    grey.fill(160);
    ASSERT_TRUE(grey.save(folder.path("huge.jpg"), "JPG", 50));
    grey = QImage();
    writeBytes(folder.path("huge.lis"), "huge.jpg\r\n0\r\n0\r\n0\r\n5\r\n0\r\n");
    writeBytes(folder.path("longline.lis"),
               QByteArray(10 << 20, 'n') + "\r\n0\r\n0\r\n0\r\n5\r\n0\r\n");
    QFile sparse(folder.path("setup3"));
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly) && sparse.resize(qint64(1) << 30));
    sparse.close();
    struct Case {
        QStringList command;
        int exitCode;
        const char* err;
    };
    const Case cases[] = {
        // Decoded at 1/8 for the 64 x 16 screen.
        {{"build", folder.path("huge.lis"), folder.path("out1")}, 0, ""},
        {{"build", folder.path("longline.lis"), folder.path("o3")}, 2, "page 1: cannot load"},
        {{"download", "3"}, 2, "setup3 is 1073741824 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.join(' ').toStdString());
        QProcess process;
        process.start("/usr/bin/time", QStringList{"-f", "peak %M", MARQUEE_CLI_PATH, "--folder",
                                                   folder.dir.path()} +
                                           c.command);
        ASSERT_TRUE(process.waitForFinished(120000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        EXPECT_EQ(process.exitCode(), c.exitCode) << err.left(500).toStdString();
        EXPECT_TRUE(err.contains(QString::fromLatin1(c.err))) << err.left(500).toStdString();
        EXPECT_LT(err.size(), 4000);  // messages stay readable
        const qint64 peakKiB = err.mid(err.lastIndexOf("peak ") + 5).trimmed().toLongLong();
        EXPECT_GT(peakKiB, 0);
        EXPECT_LT(peakKiB, 1 << 20);
    }
}

// A document longer than the list's room: only the pages that can be placed
// are written.
TEST(Hardening, DocumentImportStopsAtTheListsRoom) {
    Folder folder;
    folder.writeList(PageList::kMaxPages - 1);
    const CliRun run = folder.run(
        {"import-doc", dataPath("hardening/three-pages.fodt"), "--list", folder.path("show.lis")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("were imported, pages 3 to 3 were not.")) << run.err.toStdString();
    EXPECT_EQ(run.outLines().filter(".bmp"), (QStringList{"LC1.bmp", "LC2.bmp"}));
    EXPECT_FALSE(QFileInfo::exists(folder.path("LC3.bmp")));
    PageList pages;
    loadPlayList(folder.path("show.lis"), &pages);
    EXPECT_EQ(pages.PageCount(), PageList::kMaxPages);
    EXPECT_EQ(pages.item(PageList::kMaxPages).FileName, "LC2.bmp");
}

}  // namespace

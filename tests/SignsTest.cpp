// Several signs in one go, near and far: controllers on one pseudo-terminal
// bus and behind ser2net on the loopback, through the real marquee-cli.

#include "tests/SignSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <thread>

namespace {

// A TCP server for the failure paths: it takes one connection and reads
// dropAfter bytes of it, then closes it (never, when negative: it stays
// silent until the test ends).
class Listener {
  public:
    explicit Listener(int dropAfter) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), size);
        ::listen(m_fd, 1);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
        m_thread = std::thread([this, dropAfter] {
            const int client = ::accept(m_fd, nullptr, nullptr);
            char buffer[64];
            for (int taken = 0; client >= 0 && taken < dropAfter;) {
                const ssize_t got = ::read(client, buffer, sizeof buffer);
                taken += got > 0 ? int(got) : dropAfter;
            }
            m_client = client;
            if (dropAfter >= 0 && client >= 0) {
                ::close(client);
                m_client = -1;
            }
        });
    }
    ~Listener() {
        ::shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
        ::close(m_fd);
        if (m_client >= 0) {
            ::close(m_client);
        }
    }
    int port = 0;

  private:
    int m_fd = -1;
    int m_client = -1;
    std::thread m_thread;
};

}  // namespace

TEST(Signs, OneSendProgramsSignsOnABusAndBehindSerialServers) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    writeShowList(folder);
    Background programs;
    // Three controllers on one line (0), one behind raw TCP (1), one behind
    // RFC 2217 at 19200 bit/s while the server starts the line at 9600 (2).
    ASSERT_TRUE(programs.emulate(
        folder, 1, {"--num", "1", "--also-num", "2", "--also-num", "3", "--out", folder + "/bus"}));
    ASSERT_TRUE(programs.emulate(folder, 2, {"--out", folder + "/raw"}));
    ASSERT_TRUE(programs.emulate(folder, 3, {"--bps", "19200", "--out", folder + "/telnet"}));
    const QStringList servers =
        programs.serialServer(folder, {{folder + "/com2", false}, {folder + "/com3", true}});
    ASSERT_EQ(servers.size(), 2);

    SignBook book;
    book.signs = {bookSign("Bus 1", 1),
                  bookSign("Bus 2", 2),
                  bookSign("Bus 3", 3),
                  bookSign("Depot", 1, servers[0]),
                  bookSign("Gate", 1, servers[1], 1),
                  bookSign("Nobody", 4)};
    QString reason;
    ASSERT_TRUE(writeSignBook(folder, book, &reason)) << reason.toStdString();

    const CliRun send =
        runCli({"--folder", folder, "send", folder + "/show.lis", "--all-signs", "--json"});
    EXPECT_EQ(send.exitCode, 1) << send.err.toStdString();
    const QJsonObject report = QJsonDocument::fromJson(send.out.toUtf8()).object();
    const QJsonArray signs = report["signs"].toArray();
    ASSERT_EQ(signs.size(), 6) << send.out.toStdString() << send.err.toStdString();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(signs[i]["outcome"].toString(), "rec success!")
            << signs[i]["name"].toString().toStdString() << ": "
            << signs[i]["reason"].toString().toStdString();
    }
    EXPECT_EQ(signs[3]["port"].toString(), servers[0]);
    EXPECT_EQ(signs[5]["name"].toString(), "Nobody");
    EXPECT_EQ(signs[5]["outcome"].toString(), "no reply");
    EXPECT_TRUE(signs[5]["reason"].toString().startsWith("No reply came within 2000 ms"));
    EXPECT_EQ(report["status"].toInt(), 1);
    // What every sign shows: page 1 with its red line, page 2 dark.
    for (const char* shown :
         {"bus/controller1", "bus/controller2", "bus/controller3", "raw", "telnet"}) {
        SCOPED_TRACE(shown);
        const QString out = folder + "/" + shown;
        EXPECT_EQ(QImage(out + "/page1.png").pixelColor(10, 4), QColor(255, 0, 0));
        EXPECT_EQ(QImage(out + "/page2.png").pixelColor(10, 4), QColor(0, 0, 0));
        EXPECT_EQ(readBytes(out + "/playlist.txt"), kShowTable);
    }
    EXPECT_FALSE(QFileInfo::exists(folder + "/bus/controller4"));
    // The line behind RFC 2217 ran at the rate asked for: no framing errors.
    const QString telnetLog = programs.output(2);
    EXPECT_TRUE(telnetLog.contains("acknowledged 0x01")) << telnetLog.toStdString();
    EXPECT_FALSE(telnetLog.contains("framing errors")) << telnetLog.toStdString();

    // Two named signs, the table for people: which failed and why.
    const CliRun time = runCli({"--folder", folder, "time", "--sign", "Nobody", "--sign", "Gate"});
    EXPECT_EQ(time.exitCode, 1);
    const QStringList lines = time.outLines();
    EXPECT_TRUE(lines.contains("[Gate] time success!")) << time.out.toStdString();
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[lines.size() - 3].startsWith("sign    outcome")) << time.out.toStdString();
    EXPECT_TRUE(lines[lines.size() - 2].startsWith("Nobody  no reply"));
    EXPECT_TRUE(lines[lines.size() - 2].endsWith("(1 byte expected: 02)."));
    EXPECT_TRUE(lines.last().startsWith("Gate    time success!"));

    // READ PARA asks every controller on a line: signs sharing one are refused,
    // the others keep what their controller reports.
    const CliRun read = runCli({"--folder", folder, "read-para", "--all-signs"});
    EXPECT_EQ(read.exitCode, 2);
    EXPECT_TRUE(read.err.contains("[Bus 2] read-para cannot tell the signs on"))
        << read.err.toStdString();
    EXPECT_TRUE(read.out.contains("[Gate] num=1 type=0 width=64 high=16 clock=18432000 bps=19200"))
        << read.out.toStdString();
    ASSERT_TRUE(readSignBook(folder, Settings(), &book).error.isEmpty());
    EXPECT_EQ(book.signs[4].settings.baudRate(), 19200);
    EXPECT_EQ(book.signs[1].settings.NUM, 2);
}

TEST(Signs, NetworkPortFailuresSayWhy) {
    QTemporaryDir dir;
    writeShowList(dir.path());
    Listener silent(-1), dropping(64);
    const int nobody = freeTcpPort();
    struct Case {
        QStringList command;
        QString port;
        int exitCode;
        const char* err;
    };
    const Case cases[] = {
        {{"time"},
         QStringLiteral("tcp://127.0.0.1:%1").arg(nobody),
         3,
         "comm error!\n127.0.0.1:%1 refused the connection"},
        {{"time"},
         QStringLiteral("tcp://127.0.0.1:%1").arg(silent.port),
         1,
         "No reply came within 2000 ms"},
        {{"send", dir.path() + "/show.lis"},
         QStringLiteral("tcp://127.0.0.1:%1").arg(dropping.port),
         3,
         "comm error \nthe connection to 127.0.0.1:%1 was dropped during the write"},
        {{"time"}, QStringLiteral("rfc2217://127.0.0.1"), 3, "is not a network port"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port.toStdString());
        const CliRun run =
            runCli(QStringList{"--folder", dir.path(), "--port", c.port} + c.command);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        QString err = QString::fromUtf8(c.err);
        err = err.contains("%1") ? err.arg(c.port.section(':', -1)) : err;
        EXPECT_TRUE(run.err.contains(err)) << run.err.toStdString();
    }
}

TEST(Signs, TheSignBookFileKeepsWhatItHoldsAndSaysWhatIsWrong) {
    SignBook book;
    book.signs = {bookSign("Shop front", 3, "rfc2217://10.0.0.5:7000", 4), bookSign("Yard", 1)};
    book.signs[1].list = "yard.lis";
    book.signs[1].settings.RG_SWAP = true;
    book.selected = "Yard";
    SignBook read;
    ASSERT_EQ(parseSignBook(formatSignBook(book), &read), QString());
    EXPECT_EQ(formatSignBook(read), formatSignBook(book));
    EXPECT_TRUE(read.signs == book.signs);
    EXPECT_EQ(read.selectedIndex(), 1);
    const std::pair<const char*, const char*> bad[] = {
        {"{", "not JSON at byte"},
        {"{\"signs\": []}", "it holds no sign"},
        {"{\"signs\": [{\"name\": \"A\", \"bps\": 1234}]}", "sign \"A\": bps must be one of"},
        {"{\"signs\": [{\"name\": \"A\", \"width\": \"wide\"}]}", "width must be a number"},
        {"{\"signs\": [{\"name\": \"A\"}, {\"name\": \"A\"}]}", "two signs are called \"A\""},
    };
    for (const auto& [text, problem] : bad) {
        EXPECT_TRUE(parseSignBook(text, &read).contains(problem)) << text;
    }
    // Without a book, ck.ini's settings are its one sign.
    QTemporaryDir dir;
    Settings settings = screenOf(128, 32);
    EXPECT_FALSE(readSignBook(dir.path(), settings, &read).found);
    ASSERT_EQ(read.signs.size(), 1);
    EXPECT_TRUE(read.signs[0].settings == settings);
}

#pragma once

#include "core/SignBook.h"
#include "platform/NetworkPort.h"
#include "tests/TestSupport.h"

#include <QPainter>
#include <QStandardPaths>
#include <QThread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

// A port on the loopback that nobody listens on now.
inline int freeTcpPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Programs that run beside a test (emulators, ser2net), stopped at its end.
class Background {
  public:
    QProcess* start(const QString& program, const QStringList& args) {
        m_processes.push_back(std::make_unique<QProcess>());
        m_processes.back()->setProcessChannelMode(QProcess::MergedChannels);
        m_processes.back()->start(program, args);
        return m_processes.back().get();
    }
    // marquee-cli emulate in folder with options; true once its link is there.
    bool emulate(const QString& folder, int port, const QStringList& options) {
        start(QStringLiteral(MARQUEE_CLI_PATH),
              QStringList{"--folder", folder, "emulate", "--port", QString::number(port),
                          "--timeout", "60"} +
                  options);
        return waitUntil(
            [&] { return QFileInfo::exists(folder + QStringLiteral("/com%1").arg(port)); });
    }
    // ser2net serving each of links (a pseudo-terminal link) on a loopback
    // port of its own: raw TCP, or telnet with RFC 2217 control. The
    // addresses, tcp://... or rfc2217://..., once they answer.
    QStringList serialServer(const QString& folder, const QList<std::pair<QString, bool>>& links) {
        const QString ser2net = QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                                               {"/usr/sbin", "/usr/bin", "/sbin"});
        if (ser2net.isEmpty()) {
            ADD_FAILURE() << "ser2net is missing: scripts/install-deps.sh installs it";
            return {};
        }
        QString config;
        QStringList addresses;
        for (int i = 0; i < links.size(); ++i) {
            const int port = freeTcpPort();
            const bool telnet = links[i].second;
            config += QStringLiteral(
                          "connection: &c%1\n  accepter: %2tcp,127.0.0.1,%3\n"
                          "  connector: serialdev,%4,9600n81,local\n")
                          .arg(i)
                          .arg(telnet ? "telnet(rfc2217)," : "")
                          .arg(port)
                          .arg(links[i].first);
            addresses
                << QStringLiteral("%1://127.0.0.1:%2").arg(telnet ? "rfc2217" : "tcp").arg(port);
        }
        const QString file = folder + QStringLiteral("/ser2net.yaml");
        writeBytes(file, config.toUtf8());
        start(ser2net, {"-n", "-u", "-P", folder + "/ser2net.pid", "-c", file});
        for (const QString& address : addresses) {
            if (!waitUntil([&] {
                    NetworkPort probe;
                    QString error;
                    return probe.open(address, &error);
                })) {
                ADD_FAILURE() << "ser2net does not answer on " << address.toStdString();
            }
        }
        return addresses;
    }
    QString output(int i) {
        m_processes[size_t(i)]->waitForReadyRead(100);
        return QString::fromUtf8(m_processes[size_t(i)]->readAll());
    }
    // Last started, first stopped: a service goes before the emulators it
    // serves, so it never retries a pseudo-terminal another test has got since.
    ~Background() {
        for (auto process = m_processes.rbegin(); process != m_processes.rend(); ++process) {
            (*process)->terminate();
            (*process)->waitForFinished(5000);
        }
    }

    template <typename Ok>
    static bool waitUntil(Ok ok, int ms = 10000) {
        QElapsedTimer clock;
        clock.start();
        while (!ok()) {
            if (clock.elapsed() > ms) {
                return false;
            }
            QThread::msleep(20);
        }
        return true;
    }

  private:
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

// A two-page list for a 64 x 16 sign in folder: show.lis, page 1 a red line
// on the left half of row 4, page 2 dark.
inline void writeShowList(const QString& folder) {
    QImage picture = filled({64, 16}, Qt::black);
    QPainter(&picture).fillRect(0, 4, 32, 1, Qt::red);
    picture.save(folder + "/line.bmp");
    writeBytes(folder + "/show.lis",
               "line.bmp\r\n1\r\n0\r\n0\r\n5\r\n2\r\n\r\n40\r\n0\r\n0\r\n9\r\n3\r\n");
}
inline const QByteArray kShowTable =
    "page 1: effect 1 speed 2 time 5\npage 2: effect 40 speed 3 time 9\n";

// A sign of the book: NUM num on port (a path or address, or empty for
// com1), at 9600 bit/s unless bps (an index) says otherwise.
inline Sign bookSign(const QString& name, int num, const QString& port = {}, int bps = 0) {
    Sign sign;
    sign.name = name;
    sign.settings.NUM = num;
    sign.settings.PORT = port;
    sign.settings.BPS = bps;
    return sign;
}

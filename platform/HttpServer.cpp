#include "platform/HttpServer.h"

#include <QtHttpServer/QAbstractHttpServer>
#include <QtHttpServer/QHttpServerRequest>
#include <QtHttpServer/QHttpServerResponder>

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Room for the request line and headers on top of the largest body.
constexpr qint64 kHeaderRoom = 64 * 1024;
// How long a connection cut off for its size is still read (and dropped)
// so that its client sees the 413 instead of a reset.
constexpr int kDrainMs = 2000;

QByteArray errorBody(const QString& text) {
    return QJsonDocument(
               QJsonObject{{QStringLiteral("ok"), false}, {QStringLiteral("reason"), text}})
        .toJson(QJsonDocument::Compact);
}

// Compares without stopping at the first difference, so the time taken
// says nothing about the token.
bool sameSecret(const QByteArray& a, const QByteArray& b) {
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    for (qsizetype i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
    }
    return difference == 0;
}

// Counts what a connection sends between two answers. Far over the limit,
// it answers 413 itself and drops the rest, so that a huge body is never
// held; the server's own reader then sees nothing more.
class BodyGuard : public QObject {
  public:
    BodyGuard(QTcpSocket* socket, const qint64* maxBody) : QObject(socket), m_maxBody(maxBody) {
        // Connected before the server's reader, so this sees the bytes first.
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readable(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this] { m_received = 0; });
    }

  private:
    void readable(QTcpSocket* socket) {
        if (m_cutOff) {
            socket->readAll();
            return;
        }
        m_received += socket->bytesAvailable();
        if (m_received <= *m_maxBody + kHeaderRoom) {
            return;
        }
        m_cutOff = true;
        socket->readAll();
        const QByteArray body =
            errorBody(QStringLiteral("the body is larger than %1 bytes").arg(*m_maxBody));
        socket->write(
            "HTTP/1.1 413 Payload Too Large\r\nContent-Type: application/json\r\n"
            "Connection: close\r\nContent-Length: " +
            QByteArray::number(body.size()) + "\r\n\r\n" + body);
        QPointer<QTcpSocket> guarded(socket);
        QTimer::singleShot(kDrainMs, socket, [guarded] {
            if (guarded) {
                guarded->disconnectFromHost();
            }
        });
    }

    const qint64* m_maxBody;
    qint64 m_received = 0;
    bool m_cutOff = false;
};

}  // namespace

QByteArray HttpRequest::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return {};
}

// Makes every connection's socket itself, to put a guard on it before the
// HTTP server reads it.
class HttpServer::Listener : public QTcpServer {
  public:
    Listener(const qint64* maxBody, QObject* parent) : QTcpServer(parent), m_maxBody(maxBody) {}

  protected:
    void incomingConnection(qintptr descriptor) override {
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        new BodyGuard(socket, m_maxBody);
        addPendingConnection(socket);
    }

  private:
    const qint64* m_maxBody;
};

class HttpServer::Server : public QAbstractHttpServer {
  public:
    explicit Server(HttpServer* owner) : QAbstractHttpServer(owner), m_owner(owner) {}

  protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        HttpRequest out;
        switch (request.method()) {
            case QHttpServerRequest::Method::Get:
                out.method = "GET";
                break;
            case QHttpServerRequest::Method::Post:
                out.method = "POST";
                break;
            case QHttpServerRequest::Method::Head:
                out.method = "HEAD";
                break;
            default:
                out.method = "OTHER";
                break;
        }
        out.path = request.url().path(QUrl::FullyEncoded);
        out.query = request.query();
        out.headers = request.headers();
        out.body = request.body();
        // The responder is kept until the handler answers; the socket may
        // go meanwhile, and then nothing is written.
        auto responder = std::make_shared<QHttpServerResponder>(makeResponder(request, socket));
        QPointer<QTcpSocket> guarded(socket);
        auto answered = std::make_shared<bool>(false);
        m_owner->dispatch(out, [responder, guarded, answered](const HttpResponse& response) {
            if (*answered || !guarded || guarded->state() != QAbstractSocket::ConnectedState) {
                return;
            }
            *answered = true;
            responder->write(response.body,
                             {{"Content-Type", response.contentType},
                              {"Cache-Control", "no-store"},
                              {"X-Content-Type-Options", "nosniff"}},
                             static_cast<QHttpServerResponder::StatusCode>(response.status));
        });
        return true;
    }
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override {
        makeResponder(request, socket)
            .write(errorBody(QStringLiteral("nothing here")), "application/json",
                   QHttpServerResponder::StatusCode::NotFound);
    }

  private:
    HttpServer* m_owner;
};

HttpServer::HttpServer(QObject* parent)
    : QObject(parent), m_server(new Server(this)), m_listener(new Listener(&m_maxBody, this)) {}

HttpServer::~HttpServer() = default;

void HttpServer::setToken(const QByteArray& token, const QStringList& protectedPrefixes) {
    m_token = token;
    m_protected = protectedPrefixes;
}

bool HttpServer::listen(const QHostAddress& address, quint16 port, QString* error) {
    if (!m_listener->listen(address, port)) {
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(address.toString())
                     .arg(port)
                     .arg(m_listener->errorString());
        return false;
    }
    m_server->bind(m_listener);
    return true;
}

quint16 HttpServer::port() const {
    return m_listener->serverPort();
}

void HttpServer::dispatch(const HttpRequest& request, const HttpResponder& respond) {
    const bool guarded = std::any_of(m_protected.begin(), m_protected.end(),
                                     [&](const QString& p) { return request.path.startsWith(p); });
    if (!m_token.isEmpty() && guarded) {
        const QByteArray given = request.header("Authorization");
        if (!given.startsWith("Bearer ") || !sameSecret(given.mid(7).trimmed(), m_token)) {
            respond({401, "application/json",
                     errorBody(given.isEmpty() ? QStringLiteral("no token: send Authorization: "
                                                                "Bearer TOKEN")
                                               : QStringLiteral("wrong token"))});
            return;
        }
    }
    if (request.body.size() > m_maxBody) {
        respond({413, "application/json",
                 errorBody(QStringLiteral("the body is larger than %1 bytes").arg(m_maxBody))});
        return;
    }
    if (m_handler) {
        m_handler(request, respond);
    }
}

bool parseHttpAddress(const QString& text, QHostAddress* address, quint16* port, QString* error) {
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    QString host = colon > 0 ? text.left(colon) : QString();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
        host = host.mid(1, host.size() - 2);
    }
    bool numeric = false;
    const uint number = colon > 0 ? text.mid(colon + 1).toUInt(&numeric) : 0;
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
        host = QStringLiteral("127.0.0.1");
    }
    QHostAddress parsed;
    if (!numeric || number > 65535 || !parsed.setAddress(host)) {
        *error = QStringLiteral(
                     "--http takes ADDRESS:PORT, as 127.0.0.1:8080 or 0.0.0.0:8080, "
                     "not \"%1\"")
                     .arg(text);
        return false;
    }
    *address = parsed;
    *port = quint16(number);
    return true;
}

bool isLoopbackAddress(const QHostAddress& address) {
    return address.isLoopback();
}

bool readOrMakeToken(const QString& path, QByteArray* token, QString* error) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) {
            *error = QStringLiteral("the token file %1 is not a regular file").arg(path);
            return false;
        }
        if (info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
            *error = QStringLiteral(
                         "the token file %1 must be yours and readable by you only "
                         "(chmod 600)")
                         .arg(path);
            return false;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            *error =
                QStringLiteral("cannot read the token file %1: %2").arg(path, file.errorString());
            return false;
        }
        *token = file.read(4096).trimmed();
        if (token->size() < 16) {
            *error = QStringLiteral("the token in %1 is shorter than 16 characters").arg(path);
            return false;
        }
        return true;
    }
    QByteArray random(32, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(random.data()),
                                          random.size() / 4);
    *token = random.toHex();
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = QStringLiteral("cannot make the token file %1: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const QByteArray line = *token + '\n';
    const bool written = ::write(fd, line.constData(), size_t(line.size())) == line.size();
    ::close(fd);
    if (!written) {
        *error = QStringLiteral("cannot write the token file %1").arg(path);
        return false;
    }
    return true;
}

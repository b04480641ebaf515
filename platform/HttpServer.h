#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrlQuery>

#include <functional>
#include <memory>

// The HTTP transport of the sign service, on Qt HTTP Server: it accepts
// connections, checks the bearer token and the size of every body, and
// hands each request to one handler, which answers when it is ready (a
// command answers once the sign has replied). The routes are not its
// business.

struct HttpRequest {
    QByteArray method;  // "GET", "POST", ...
    QString path;       // percent-encoded, as "/api/signs/Gate%202%2FNorth/text"
    QUrlQuery query;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    // The value of a header, its name in any case; empty when absent.
    QByteArray header(const QByteArray& name) const;
};

struct HttpResponse {
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
};

// Answers a request; called once, on the server's thread. A client that has
// gone meanwhile is not answered.
using HttpResponder = std::function<void(const HttpResponse&)>;
using HttpHandler = std::function<void(const HttpRequest&, const HttpResponder&)>;

class HttpServer : public QObject {
    Q_OBJECT
  public:
    // The largest body taken by default: a list with its pictures.
    static constexpr qint64 kDefaultMaxBodyBytes = 16LL * 1024 * 1024;

    explicit HttpServer(QObject* parent = nullptr);
    ~HttpServer() override;

    // Requests whose path starts with one of protectedPrefixes must carry
    // "Authorization: Bearer TOKEN" (401 otherwise); an empty token asks none.
    void setToken(const QByteArray& token, const QStringList& protectedPrefixes);
    // Bodies larger than this are answered 413 without reaching the
    // handler; a connection that sends far more is answered and closed
    // before the body is held in memory.
    void setMaxBodyBytes(qint64 bytes) { m_maxBody = bytes; }
    qint64 maxBodyBytes() const { return m_maxBody; }
    void setHandler(HttpHandler handler) { m_handler = std::move(handler); }

    // Listens on address:port (0: any free port); false with the reason.
    bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const;

  private:
    class Server;
    class Listener;
    void dispatch(const HttpRequest& request, const HttpResponder& respond);

    Server* m_server;
    Listener* m_listener;
    HttpHandler m_handler;
    QByteArray m_token;
    QStringList m_protected;
    qint64 m_maxBody = kDefaultMaxBodyBytes;
};

// "HOST:PORT" as --http takes it ("127.0.0.1:8080", "[::1]:8080",
// "0.0.0.0:8080"); false with what is wrong.
bool parseHttpAddress(const QString& text, QHostAddress* address, quint16* port, QString* error);
// Whether address reaches only this machine.
bool isLoopbackAddress(const QHostAddress& address);

// The token in path: read when the file exists (it must be the owner's and
// readable by nobody else), else made of 32 random bytes, written as hex
// with mode 0600. False with the reason.
bool readOrMakeToken(const QString& path, QByteArray* token, QString* error);

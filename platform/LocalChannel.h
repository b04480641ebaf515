#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <map>

class QLocalServer;
class QLocalSocket;

// A local socket that carries JSON objects, one a line, between the sign
// service and the programs that ask it things (marquee-cli status, the
// window). It lives in the user's runtime folder and only its owner may
// connect.

// The service's socket for the settings folder (a service a settings
// folder): $XDG_RUNTIME_DIR/marquee/service-HASH, else the same below
// /tmp/marquee-UID, a folder only this user may enter.
QString serviceSocketPath(const QString& settingsFolder);

class LocalChannelServer : public QObject {
    Q_OBJECT
  public:
    explicit LocalChannelServer(QObject* parent = nullptr);
    ~LocalChannelServer() override;
    // Listens at path, taking it over from a service that is gone; false
    // with a reason when another one answers there or it cannot be made.
    bool listen(const QString& path, QString* error);
    // Sends object to client (a no-op once it has gone).
    void reply(int client, const QJsonObject& object);

  signals:
    void request(int client, const QJsonObject& object);
    void clientGone(int client);

  private:
    void accept();
    QLocalServer* m_server;
    std::map<int, QLocalSocket*> m_clients;
    int m_next = 0;
};

// A connection to a channel, for the programs that ask: blocking calls with
// a time limit.
class LocalChannelClient {
  public:
    LocalChannelClient();
    ~LocalChannelClient();
    LocalChannelClient(const LocalChannelClient&) = delete;
    LocalChannelClient& operator=(const LocalChannelClient&) = delete;

    // False with a reason when nobody listens at path.
    bool connect(const QString& path, QString* error);
    bool send(const QJsonObject& object, QString* error);
    bool connected() const;
    // The next object, waiting at most timeoutMs (negative: for ever).
    bool receive(QJsonObject* object, int timeoutMs, QString* error);

  private:
    QLocalSocket* m_socket;
};

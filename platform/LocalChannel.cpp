#include "platform/LocalChannel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Lines longer than this are not a request of ours.
constexpr qint64 kMaxLineBytes = 1024 * 1024;

QByteArray lineOf(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

}  // namespace

QString serviceSocketPath(const QString& settingsFolder) {
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QFileInfo(runtime).isDir() ||
        runtime.contains(QLatin1String("marquee-runtime-"))) {
        runtime = QStringLiteral("/tmp/marquee-%1").arg(::getuid());
        QDir().mkpath(runtime);
        ::chmod(QFile::encodeName(runtime).constData(), 0700);
    }
    const QString folder = runtime + QStringLiteral("/marquee");
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    const QByteArray hash =
        QCryptographicHash::hash(QFileInfo(settingsFolder).absoluteFilePath().toUtf8(),
                                 QCryptographicHash::Sha1)
            .toHex()
            .left(12);
    return folder + QStringLiteral("/service-") + QString::fromLatin1(hash);
}

LocalChannelServer::LocalChannelServer(QObject* parent)
    : QObject(parent), m_server(new QLocalServer(this)) {
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(m_server, &QLocalServer::newConnection, this, &LocalChannelServer::accept);
}

LocalChannelServer::~LocalChannelServer() {
    m_server->close();
}

bool LocalChannelServer::listen(const QString& path, QString* error) {
    if (QFileInfo::exists(path)) {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(500)) {
            *error =
                QStringLiteral("a sign service for these settings runs already (%1)").arg(path);
            return false;
        }
        QLocalServer::removeServer(path);
    }
    if (!m_server->listen(path)) {
        *error = QStringLiteral("cannot listen at %1: %2").arg(path, m_server->errorString());
        return false;
    }
    return true;
}

void LocalChannelServer::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        const int id = ++m_next;
        m_clients[id] = socket;
        QObject::connect(socket, &QLocalSocket::readyRead, this, [this, id, socket] {
            while (socket->canReadLine()) {
                const QJsonObject object = QJsonDocument::fromJson(socket->readLine()).object();
                emit request(id, object);
            }
            if (socket->bytesAvailable() > kMaxLineBytes) {
                socket->abort();
            }
        });
        QObject::connect(socket, &QLocalSocket::disconnected, this, [this, id, socket] {
            m_clients.erase(id);
            socket->deleteLater();
            emit clientGone(id);
        });
    }
}

void LocalChannelServer::reply(int client, const QJsonObject& object) {
    const auto found = m_clients.find(client);
    if (found != m_clients.end()) {
        found->second->write(lineOf(object));
    }
}

LocalChannelClient::LocalChannelClient() : m_socket(new QLocalSocket) {}

LocalChannelClient::~LocalChannelClient() {
    delete m_socket;
}

bool LocalChannelClient::connect(const QString& path, QString* error) {
    m_socket->connectToServer(path);
    if (!m_socket->waitForConnected(2000)) {
        *error = QStringLiteral("no sign service answers at %1").arg(path);
        return false;
    }
    return true;
}

bool LocalChannelClient::send(const QJsonObject& object, QString* error) {
    m_socket->write(lineOf(object));
    if (!m_socket->waitForBytesWritten(2000)) {
        *error = QStringLiteral("the sign service does not take the request");
        return false;
    }
    return true;
}

bool LocalChannelClient::connected() const {
    return m_socket->state() == QLocalSocket::ConnectedState;
}

bool LocalChannelClient::receive(QJsonObject* object, int timeoutMs, QString* error) {
    while (!m_socket->canReadLine()) {
        if (m_socket->state() != QLocalSocket::ConnectedState ||
            !m_socket->waitForReadyRead(timeoutMs)) {
            *error = QStringLiteral("the sign service did not answer");
            return false;
        }
    }
    const QJsonDocument document = QJsonDocument::fromJson(m_socket->readLine());
    if (!document.isObject()) {
        *error = QStringLiteral("the sign service's answer is not JSON");
        return false;
    }
    *object = document.object();
    return true;
}

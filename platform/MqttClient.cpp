#include "platform/MqttClient.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QUrl>

#include <cstring>

#include <mosquitto.h>

#include <algorithm>
#include <chrono>

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kFirstRetryMs = 500;
constexpr int kLastRetryMs = 30'000;

void initLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

QString errorText(int rc) {
    if (rc == MOSQ_ERR_ERRNO) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    return QString::fromUtf8(mosquitto_strerror(rc));
}

}  // namespace

QString parseMqttUrl(const QString& url, MqttEndpoint* endpoint) {
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme();
    if (!parsed.isValid() ||
        (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts"))) {
        return QStringLiteral("%1 is no mqtt://HOST:PORT or mqtts://HOST:PORT").arg(url);
    }
    if (parsed.host().isEmpty() || !parsed.userInfo().isEmpty() ||
        !(parsed.path().isEmpty() || parsed.path() == QLatin1String("/")) || parsed.hasQuery() ||
        parsed.hasFragment()) {
        return QStringLiteral(
                   "%1: only a host and a port may be given (user and password have "
                   "options of their own)")
            .arg(url);
    }
    endpoint->tls = scheme == QLatin1String("mqtts");
    endpoint->host = parsed.host();
    endpoint->port = parsed.port(endpoint->tls ? 8883 : 1883);
    if (endpoint->port < 1 || endpoint->port > 65535) {
        return QStringLiteral("%1: no port").arg(url);
    }
    return {};
}

MqttClient::MqttClient(const MqttEndpoint& endpoint, const QString& clientId, bool cleanSession,
                       QObject* parent)
    : QObject(parent), m_endpoint(endpoint) {
    initLibrary();
    m_mosq = mosquitto_new(clientId.toUtf8().constData(), cleanSession, this);
    if (m_mosq) {
        mosquitto_threaded_set(m_mosq, true);
        mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnect);
        mosquitto_message_callback_set(m_mosq, &MqttClient::onMessage);
    }
}

MqttClient::~MqttClient() {
    stop();
    if (m_mosq) {
        mosquitto_destroy(m_mosq);
    }
}

void MqttClient::setWill(const QString& topic, const QByteArray& payload, bool retain) {
    if (m_mosq) {
        const QByteArray name = topic.toUtf8();
        mosquitto_will_set(m_mosq, name.constData(), int(payload.size()), payload.constData(), 1,
                           retain);
    }
}

void MqttClient::addSubscription(const QString& pattern, int qos) {
    m_subscriptions << pattern;
    m_qos << qos;
}

bool MqttClient::start(QString* error) {
    if (!m_mosq) {
        *error = QStringLiteral("the MQTT library could not make a client");
        return false;
    }
    if (m_endpoint.tls) {
        if (!m_endpoint.caFile.isEmpty() && !QFileInfo(m_endpoint.caFile).isReadable()) {
            *error = QStringLiteral("cannot read the CA file %1").arg(m_endpoint.caFile);
            return false;
        }
        const QByteArray ca = m_endpoint.caFile.toLocal8Bit();
        const int rc =
            m_endpoint.caFile.isEmpty()
                ? mosquitto_int_option(m_mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                : mosquitto_tls_set(m_mosq, ca.constData(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            *error = QStringLiteral("TLS cannot be set up: %1").arg(errorText(rc));
            return false;
        }
    }
    if (!m_endpoint.user.isEmpty()) {
        const QByteArray user = m_endpoint.user.toUtf8();
        const QByteArray password = m_endpoint.password.toUtf8();
        mosquitto_username_pw_set(m_mosq, user.constData(),
                                  m_endpoint.password.isEmpty() ? nullptr : password.constData());
    }
    m_stop = false;
    m_thread = std::thread([this] { run(); });
    return true;
}

bool MqttClient::publish(const QString& topic, const QByteArray& payload, int qos, bool retain) {
    if (!m_mosq || !m_connected) {
        return false;
    }
    const QByteArray name = topic.toUtf8();
    return mosquitto_publish(m_mosq, nullptr, name.constData(), int(payload.size()),
                             payload.constData(), qos, retain) == MOSQ_ERR_SUCCESS;
}

void MqttClient::stop() {
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void MqttClient::onConnect(mosquitto* mosq, void* self, int rc) {
    auto* client = static_cast<MqttClient*>(self);
    if (rc != 0) {
        client->lost(QStringLiteral("the broker refused the connection: %1")
                         .arg(QString::fromUtf8(mosquitto_connack_string(rc))));
        return;
    }
    for (int i = 0; i < client->m_subscriptions.size(); ++i) {
        const QByteArray pattern = client->m_subscriptions[i].toUtf8();
        mosquitto_subscribe(mosq, nullptr, pattern.constData(), client->m_qos[i]);
    }
    client->m_connected = true;
    client->m_reportedDown = false;
    QMetaObject::invokeMethod(
        client, [client] { emit client->connected(); }, Qt::QueuedConnection);
}

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* client = static_cast<MqttClient*>(self);
    const QString topic = QString::fromUtf8(message->topic);
    const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
    QMetaObject::invokeMethod(
        client, [client, topic, payload] { emit client->message(topic, payload); },
        Qt::QueuedConnection);
}

void MqttClient::lost(const QString& reason) {
    m_connected = false;
    if (m_reportedDown) {
        return;
    }
    m_reportedDown = true;
    QMetaObject::invokeMethod(
        this, [this, reason] { emit disconnected(reason); }, Qt::QueuedConnection);
}

// The network thread: connect, serve the connection until it fails, wait,
// connect again. The waits are cut short by stop().
void MqttClient::run() {
    const QByteArray host = m_endpoint.host.toUtf8();
    int retryMs = kFirstRetryMs;
    bool first = true;
    while (!m_stop) {
        int rc = first ? mosquitto_connect_async(m_mosq, host.constData(), m_endpoint.port,
                                                 kKeepAliveSeconds)
                       : mosquitto_reconnect_async(m_mosq);
        first = false;
        bool served = false;
        if (rc == MOSQ_ERR_SUCCESS) {
            while (!m_stop && (rc = mosquitto_loop(m_mosq, 200, 1)) == MOSQ_ERR_SUCCESS) {
                served = served || m_connected;
            }
        }
        if (m_stop) {
            break;
        }
        if (served) {
            retryMs = kFirstRetryMs;
        }
        lost(rc == MOSQ_ERR_SUCCESS ? QStringLiteral("connection closed") : errorText(rc));
        const int wait = int(retryMs * (0.8 + 0.4 * QRandomGenerator::global()->generateDouble()));
        retryMs = std::min(retryMs * 2, kLastRetryMs);
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::milliseconds(wait), [this] { return m_stop.load(); });
    }
    if (m_connected) {
        // What is queued goes out before the goodbye, within a second.
        for (int i = 0; i < 5 && mosquitto_want_write(m_mosq); ++i) {
            mosquitto_loop(m_mosq, 200, 1);
        }
        mosquitto_disconnect(m_mosq);
        for (int i = 0; i < 5 && mosquitto_loop(m_mosq, 200, 1) == MOSQ_ERR_SUCCESS; ++i) {
        }
    }
    m_connected = false;
}

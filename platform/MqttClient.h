#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

struct mosquitto;

// Where a broker is: mqtt://HOST[:PORT] (1883) or mqtts://HOST[:PORT] (8883,
// TLS checked against caFile, else the system's certificates).
struct MqttEndpoint {
    QString host;
    int port = 1883;
    bool tls = false;
    QString caFile;
    QString user;
    QString password;
};

// Reads url into *endpoint (keeping its other fields); empty when good, else
// what is wrong.
QString parseMqttUrl(const QString& url, MqttEndpoint* endpoint);

// A connection to an MQTT broker through libmosquitto (MQTT 3.1.1). Its
// network loop runs on a thread of its own, which connects, reconnects
// with back-off (half a second doubling to half a minute) whenever the
// broker goes away, and subscribes again each time; what arrives is
// delivered as signals on the thread that made the client. Publishing may
// be done from that thread at any time.
class MqttClient : public QObject {
    Q_OBJECT
  public:
    // cleanSession false: the broker keeps the subscriptions of clientId and
    // holds QoS 1 messages for it while it is away.
    MqttClient(const MqttEndpoint& endpoint, const QString& clientId, bool cleanSession,
               QObject* parent = nullptr);
    ~MqttClient() override;
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // What the broker publishes for this client when it goes without saying
    // goodbye (set before start).
    void setWill(const QString& topic, const QByteArray& payload, bool retain);
    // Subscribed at every connection (set before start).
    void addSubscription(const QString& pattern, int qos);
    // Starts the network thread; false with a reason when the client cannot
    // be set up (a CA file missing, TLS refused by the library).
    bool start(QString* error);
    // Queues a message; false when the client is not connected now (nothing
    // is kept for later).
    bool publish(const QString& topic, const QByteArray& payload, int qos, bool retain);
    // Sends what is queued, says goodbye (no will) and ends the thread.
    void stop();
    bool isConnected() const { return m_connected.load(); }

  signals:
    void connected();
    void disconnected(const QString& reason);
    void message(const QString& topic, const QByteArray& payload);

  private:
    static void onConnect(mosquitto* mosq, void* self, int rc);
    static void onMessage(mosquitto* mosq, void* self, const struct mosquitto_message* message);
    void run();
    void lost(const QString& reason);

    MqttEndpoint m_endpoint;
    mosquitto* m_mosq = nullptr;
    QStringList m_subscriptions;
    QList<int> m_qos;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_connected{false};
    bool m_reportedDown = false;  // the network thread's: "disconnected" said once a spell
};

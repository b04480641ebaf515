#pragma once

#include "platform/MqttClient.h"
#include "service/CommandMemory.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QString>

#include <deque>
#include <map>
#include <memory>
#include <set>

class SignService;

// The sign service on an MQTT broker, for a site of a fleet (the topics are
// in service/MqttTopics.h). A command {"id": ..., "command": ..., ...} on a
// sign's cmd topic runs through the service as every face's command does
// (service/CommandJson.h), one after the other for a sign, and its result
// goes to the sign's result topic with its id. An id seen in the last day
// is answered again from its result and not carried out twice. A send may
// bring its list and pictures along: "files": {"NAME": base64, ...}, checked
// as SEND checks them and written below .mqtt/ in the sign folder.
//
// Each sign's status is published, retained, whenever its health changes.
// Besides the connection that carries all this, each sign has a quiet one
// whose last will is that sign's status with state "offline", so that a
// service that dies leaves every one of its signs marked offline; the main
// connection's will marks the site's $service topic "offline".

struct MqttFaceOptions {
    QString site;
    // Home Assistant's discovery prefix; empty: no discovery configs.
    QString discovery = QStringLiteral("homeassistant");
    QString journal;  // the file the command memory is kept in
};

inline constexpr qint64 kMaxMqttCommandBytes = 4 * 1024 * 1024;
inline constexpr int kMaxInlineFiles = 256;
inline constexpr int kMaxCommandIdChars = 128;
inline constexpr size_t kMaxWaitingCommands = 64;  // a sign's, beyond the one running

class MqttFace : public QObject {
    Q_OBJECT
  public:
    MqttFace(SignService& service, const MqttEndpoint& endpoint, const MqttFaceOptions& options,
             QObject* parent = nullptr);
    ~MqttFace() override;

    // Reads the command memory and starts connecting; false with a reason
    // when the memory cannot be kept or the client cannot be set up.
    bool start(QString* error);
    // After the sign book was read again: new signs are announced, gone
    // ones cleared from the broker.
    void refreshSigns();
    // Marks every sign offline and says goodbye.
    void stop();

  signals:
    void logLine(const QString& line);

  private:
    struct Pending {
        QString key;
        QJsonValue id;
        QJsonObject body;
    };
    void connected();
    void handle(const QString& topic, const QByteArray& payload);
    void take(const QString& sign, const QJsonValue& id, const QJsonObject& body);
    void pump(const QString& sign);
    void run(const QString& sign, const Pending& pending);
    void done(const QString& sign, const Pending& pending, const QJsonObject& result);
    void publish(const QString& topic, const QByteArray& payload, bool retain, bool keep);
    void publishResult(const QString& topicSign, const QJsonValue& id, QJsonObject result);
    void publishStatus(const QString& sign, bool force);
    void announce(const QString& sign);
    void withdraw(const QString& sign);
    void addLifeline(const QString& sign);
    QString writeInlineFiles(const QString& sign, const QString& id, const QJsonObject& files,
                             QString* list);
    QString discoveryNode(const QString& sign) const;
    void log(const QString& text);

    SignService& m_service;
    MqttEndpoint m_endpoint;
    MqttFaceOptions m_options;
    CommandMemory m_memory;
    std::unique_ptr<MqttClient> m_client;
    std::map<QString, std::unique_ptr<MqttClient>> m_lifelines;
    std::map<QString, std::deque<Pending>> m_waiting;
    std::set<QString> m_running;
    std::map<QString, QByteArray> m_lastStatus;
    std::set<QString> m_announced;
    std::deque<std::pair<QString, QByteArray>> m_outbox;  // results held while away
    bool m_stopped = false;
};

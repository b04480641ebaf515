#include "app/ServiceLink.h"

#include "platform/LocalChannel.h"

#include <QCoreApplication>
#include <QFileInfo>

QJsonObject askServiceStatus(const QString& settingsFolder) {
    const QString path = serviceSocketPath(settingsFolder);
    if (!QFileInfo::exists(path)) {
        return {};
    }
    LocalChannelClient client;
    QString error;
    QJsonObject answer;
    if (!client.connect(path, &error) ||
        !client.send({{QStringLiteral("request"), QStringLiteral("status")}}, &error) ||
        !client.receive(&answer, 1000, &error)) {
        return {};
    }
    return answer.value(QStringLiteral("status")).toObject();
}

ServicePortHold::ServicePortHold() = default;
ServicePortHold::~ServicePortHold() = default;

bool ServicePortHold::take(const QString& settingsFolder, const QString& sign,
                           OperatorSurface& surface, const std::atomic<bool>& cancel) {
    const QString path = serviceSocketPath(settingsFolder);
    if (sign.isEmpty() || !QFileInfo::exists(path)) {
        return true;
    }
    auto client = std::make_unique<LocalChannelClient>();
    QString error;
    if (!client->connect(path, &error) ||
        !client->send(
            {{QStringLiteral("request"), QStringLiteral("hold")}, {QStringLiteral("sign"), sign}},
            &error)) {
        return true;  // no service listens there any more
    }
    bool said = false;
    for (;;) {
        QJsonObject answer;
        if (client->receive(&answer, 250, &error)) {
            if (answer.contains(QStringLiteral("held"))) {
                m_client = std::move(client);
            }
            return true;  // held, or a sign the service does not serve
        }
        if (!client->connected()) {
            return true;  // the service has gone
        }
        if (cancel.load()) {
            return false;
        }
        if (!said) {
            surface.note(QCoreApplication::translate(
                             "ServicePortHold",
                             "The sign service is using the port of %1: waiting until it is done")
                             .arg(sign));
            said = true;
        }
    }
}

#include "service/ServiceChannel.h"

#include "platform/LocalChannel.h"
#include "service/CommandJson.h"
#include "service/SignService.h"

#include <QJsonObject>
#include <QPointer>

ServiceChannel::ServiceChannel(SignService& service, LocalChannelServer& server, QObject* parent)
    : QObject(parent), m_service(service), m_server(server) {
    connect(&server, &LocalChannelServer::request, this, &ServiceChannel::handle);
    connect(&server, &LocalChannelServer::clientGone, this, [this](int client) {
        for (const auto& [sign, hold] : m_holds[client]) {
            m_service.release(hold);
        }
        m_holds.erase(client);
    });
}

void ServiceChannel::handle(int client, const QJsonObject& request) {
    const QString what = request.value(QStringLiteral("request")).toString();
    auto answer = [this, client](const QString& key, const QJsonValue& value) {
        QJsonObject out;
        out.insert(key, value);
        m_server.reply(client, out);
    };
    if (what == QLatin1String("status")) {
        answer(QStringLiteral("status"), m_service.statusJson());
    } else if (what == QLatin1String("run")) {
        ServiceCommand command;
        command.origin = QStringLiteral("local socket");
        QJsonObject body = request;
        body.remove(QStringLiteral("request"));
        const QString problem = parseServiceCommand(body, &command);
        if (!problem.isEmpty()) {
            answer(QStringLiteral("error"), problem);
            return;
        }
        QPointer<ServiceChannel> self(this);
        m_service.submit(command, [self, answer](const ServiceResult& result) {
            if (self) {
                answer(QStringLiteral("result"), result.toJson());
            }
        });
    } else if (what == QLatin1String("hold")) {
        const QString sign = request.value(QStringLiteral("sign")).toString();
        if (m_holds[client].count(sign)) {
            answer(QStringLiteral("held"), sign);
            return;
        }
        QPointer<ServiceChannel> self(this);
        const int hold = m_service.hold(sign, [self, answer, sign] {
            if (self) {
                answer(QStringLiteral("held"), sign);
            }
        });
        if (hold == 0) {
            answer(QStringLiteral("error"), QStringLiteral("no sign called \"%1\"").arg(sign));
        } else {
            m_holds[client][sign] = hold;
        }
    } else if (what == QLatin1String("release")) {
        const QString sign = request.value(QStringLiteral("sign")).toString();
        const auto found = m_holds[client].find(sign);
        if (found != m_holds[client].end()) {
            m_service.release(found->second);
            m_holds[client].erase(found);
        }
        answer(QStringLiteral("released"), sign);
    } else {
        answer(QStringLiteral("error"),
               QStringLiteral("unknown request (status, run, hold, release)"));
    }
}

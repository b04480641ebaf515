#include "cli/ServeCommand.h"

#include "cli/HttpOptions.h"
#include "cli/MqttOptions.h"
#include "core/TextColumns.h"

#include "platform/HttpServer.h"
#include "platform/LocalChannel.h"
#include "platform/SignalNotifier.h"
#include "service/HttpRoutes.h"
#include "service/ServiceChannel.h"
#include "service/SignService.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <memory>

int runServe(const CliContext& context, const QStringList& args) {
    bool mqtt = false;
    MqttEndpoint endpoint;
    MqttFaceOptions mqttOptions;
    bool http = false;
    HttpFaceOptions httpOptions;
    QString problem = readMqttOptions(args, context.folders, &mqtt, &endpoint, &mqttOptions);
    if (problem.isEmpty()) {
        problem = readHttpOptions(args, &http, &httpOptions);
    }
    if (!problem.isEmpty()) {
        printError(QStringLiteral("marquee-cli serve: %1").arg(problem));
        return kExitBadInput;
    }
    ServiceOptions options;
    options.folders = context.folders;
    SignalNotifier signals_;
    SignService service(options);
    QObject::connect(&service, &SignService::logLine, [](const QString& line) {
        writeLine(stdout, line);
        std::fflush(stdout);
    });
    LocalChannelServer server;
    QString error;
    if (!server.listen(serviceSocketPath(context.folders.settings), &error)) {
        printError(QStringLiteral("marquee-cli serve: %1").arg(error));
        return kExitBadInput;
    }
    ServiceChannel channel(service, server);
    HttpServer httpServer;
    HttpRoutes routes(service, httpServer);
    if (http) {
        httpServer.setToken(httpOptions.token, {QStringLiteral("/api/")});
        if (httpOptions.maxBody > 0) {
            httpServer.setMaxBodyBytes(httpOptions.maxBody);
        }
        if (!httpServer.listen(httpOptions.address, httpOptions.port, &error)) {
            printError(QStringLiteral("marquee-cli serve: %1").arg(error));
            return kExitBadInput;
        }
        writeLine(stdout, QStringLiteral("HTTP on http://%1:%2/")
                              .arg(httpOptions.address.protocol() == QAbstractSocket::IPv6Protocol
                                       ? QStringLiteral("[%1]").arg(httpOptions.address.toString())
                                       : httpOptions.address.toString())
                              .arg(httpServer.port()));
        std::fflush(stdout);
    }
    if (!service.start(&error)) {
        printError(QStringLiteral("marquee-cli serve: %1").arg(error));
        return kExitBadInput;
    }
    std::unique_ptr<MqttFace> face;
    if (mqtt) {
        face = std::make_unique<MqttFace>(service, endpoint, mqttOptions);
        QObject::connect(face.get(), &MqttFace::logLine, [](const QString& line) {
            writeLine(stdout, line);
            std::fflush(stdout);
        });
        if (!face->start(&error)) {
            printError(QStringLiteral("marquee-cli serve: %1").arg(error));
            return kExitBadInput;
        }
        QObject::connect(&service, &SignService::finished, face.get(), &MqttFace::stop);
    }
    QObject::connect(&signals_, &SignalNotifier::hangUp, &service, [&service, &face] {
        QString problem;
        if (service.reload(&problem)) {
            if (face) {
                face->refreshSigns();
            }
            writeLine(stdout, QStringLiteral("sign book read again"));
        } else {
            printError(QStringLiteral("the sign book was left as it was: %1").arg(problem));
        }
        std::fflush(stdout);
    });
    QObject::connect(&signals_, &SignalNotifier::terminate, &service, &SignService::stop);
    QObject::connect(&service, &SignService::finished, QCoreApplication::instance(),
                     &QCoreApplication::quit);
    QCoreApplication::exec();
    return kExitOk;
}

namespace {

QString shortTime(const QString& iso) {
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODate);
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("MM-dd HH:mm:ss"))
                          : QStringLiteral("-");
}

}  // namespace

int runStatus(const CliContext& context) {
    LocalChannelClient client;
    QString error;
    QJsonObject answer;
    if (!client.connect(serviceSocketPath(context.folders.settings), &error) ||
        !client.send({{QStringLiteral("request"), QStringLiteral("status")}}, &error) ||
        !client.receive(&answer, 5000, &error)) {
        printError(
            QStringLiteral("marquee-cli status: %1 (start it with marquee-cli serve)").arg(error));
        return kExitPortError;
    }
    const QJsonObject status = answer.value(QStringLiteral("status")).toObject();
    if (context.json) {
        writeLine(stdout, QString::fromUtf8(QJsonDocument(status).toJson(QJsonDocument::Compact)));
        return kExitOk;
    }
    QList<QStringList> rows = {{QStringLiteral("sign"), QStringLiteral("state"),
                                QStringLiteral("list"), QStringLiteral("last success"),
                                QStringLiteral("bytes today"), QStringLiteral("last failure")}};
    for (const QJsonValue& value : status.value(QStringLiteral("signs")).toArray()) {
        const QJsonObject sign = value.toObject();
        QString failure = shortTime(sign.value(QStringLiteral("lastFailure")).toString());
        if (failure != QLatin1String("-")) {
            failure += QStringLiteral(" ") + sign.value(QStringLiteral("reason")).toString();
        }
        rows.append({sign.value(QStringLiteral("name")).toString(),
                     sign.value(QStringLiteral("state")).toString() +
                         (sign.value(QStringLiteral("busy")).toBool() ? QStringLiteral(" (busy)")
                                                                      : QString()),
                     sign.value(QStringLiteral("list")).toString(),
                     shortTime(sign.value(QStringLiteral("lastSuccess")).toString()),
                     QString::number(sign.value(QStringLiteral("bytesToday")).toInteger()),
                     failure});
    }
    for (const QString& line : alignColumns(rows)) {
        writeLine(stdout, line);
    }
    return kExitOk;
}

#include "cli/ServeCommand.h"

#include "cli/MqttOptions.h"

#include "platform/LocalChannel.h"
#include "platform/SignalNotifier.h"
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
    const QString problem = readMqttOptions(args, context.folders, &mqtt, &endpoint, &mqttOptions);
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
    std::vector<int> widths(6, 0);
    for (const QStringList& row : rows) {
        for (int c = 0; c < 5; ++c) {
            widths[size_t(c)] = std::max(widths[size_t(c)], int(row[c].size()));
        }
    }
    for (const QStringList& row : rows) {
        QString line;
        for (int c = 0; c < 5; ++c) {
            line += row[c].leftJustified(widths[size_t(c)]) + QStringLiteral("  ");
        }
        writeLine(stdout, (line + row[5]).trimmed());
    }
    return kExitOk;
}

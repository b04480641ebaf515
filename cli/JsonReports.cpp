#include "cli/JsonReports.h"

#include "platform/SerialDevice.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString compact(const QJsonDocument& document) {
    return QString::fromUtf8(document.toJson(QJsonDocument::Compact));
}

// "num=1 type=0 ... on=8:00:00": numbers as numbers, times as text.
QJsonObject parameterObject(const ControllerParameters& parameters) {
    QJsonObject object;
    for (const QString& pair : describeParameters(parameters).split(QLatin1Char(' '))) {
        const QString name = pair.section(QLatin1Char('='), 0, 0);
        const QString value = pair.section(QLatin1Char('='), 1);
        bool numeric = false;
        const qint64 number = value.toLongLong(&numeric);
        object.insert(name, numeric ? QJsonValue(number) : QJsonValue(value));
    }
    return object;
}

}  // namespace

QString settingsJson(const CliContext& context, const Settings& settings) {
    QJsonObject object;
    const auto& defs = settingDefs();
    const auto values = settingValues(settings);
    for (size_t i = 0; i < defs.size(); ++i) {
        object.insert(QString::fromLatin1(defs[i].label), values[i]);
    }
    object.insert(QStringLiteral("TYPE-TEXT"), typeTexts().value(settings.TYPE));
    object.insert(QStringLiteral("BAUD"), settings.baudRate());
    object.insert(QStringLiteral("PORT"), settings.PORT);
    object.insert(QStringLiteral("port-path"),
                  settings.PORT.isEmpty() ? serialPortPath(context.folders.sign, settings.COMM)
                                          : settings.PORT);
    object.insert(QStringLiteral("settings-folder"), context.folders.settings);
    object.insert(QStringLiteral("sign-folder"), context.folders.sign);
    return compact(QJsonDocument(object));
}

QString readParaJson(const ReadParaResult& result, const QString& portPath) {
    QJsonObject object;
    object.insert(QStringLiteral("port"), portPath);
    object.insert(QStringLiteral("received"), result.received);
    if (result.exchange.stage == ExchangeResult::Stage::PortError) {
        object.insert(QStringLiteral("error"), result.exchange.reason);
    }
    if (result.apply) {
        object.insert(QStringLiteral("defaults"), result.defaultsReply);
        object.insert(QStringLiteral("parameters"), parameterObject(result.parameters));
    }
    return compact(QJsonDocument(object));
}

QString portsJson(const QList<SerialPortInfo>& ports, const QString& chosen) {
    QJsonArray array;
    for (const SerialPortInfo& port : ports) {
        array.append(QJsonObject{{QStringLiteral("path"), port.path},
                                 {QStringLiteral("device"), port.device},
                                 {QStringLiteral("description"), port.description()},
                                 {QStringLiteral("manufacturer"), port.manufacturer},
                                 {QStringLiteral("product"), port.product},
                                 {QStringLiteral("serial"), port.serialNumber},
                                 {QStringLiteral("vendor-id"), port.vendorId},
                                 {QStringLiteral("product-id"), port.productId},
                                 {QStringLiteral("chosen"), port.path == chosen}});
    }
    return compact(QJsonDocument(array));
}

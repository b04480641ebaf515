#include "cli/MqttOptions.h"

#include "platform/AtomicFile.h"
#include "service/MqttTopics.h"

#include <QDir>
#include <QStandardPaths>

QString readMqttOptions(const QStringList& args, const Folders& folders, bool* wanted,
                        MqttEndpoint* endpoint, MqttFaceOptions* options) {
    QString url;
    QString passwordFile;
    for (int i = 0; i + 1 < args.size(); i += 2) {
        const QString& name = args[i];
        const QString& value = args[i + 1];
        if (name == QLatin1String("--mqtt")) {
            url = value;
        } else if (name == QLatin1String("--site")) {
            options->site = value;
        } else if (name == QLatin1String("--mqtt-ca")) {
            endpoint->caFile = value;
        } else if (name == QLatin1String("--mqtt-user")) {
            endpoint->user = value;
        } else if (name == QLatin1String("--mqtt-password-file")) {
            passwordFile = value;
        } else if (name == QLatin1String("--discovery")) {
            options->discovery = value == QLatin1String("none") ? QString() : value;
        }
    }
    *wanted = !url.isEmpty();
    if (url.isEmpty()) {
        return options->site.isEmpty() ? QString() : QStringLiteral("--site goes with --mqtt");
    }
    QString problem = parseMqttUrl(url, endpoint);
    if (!problem.isEmpty()) {
        return problem;
    }
    if (!validSiteName(options->site)) {
        return QStringLiteral("--mqtt needs --site NAME: 1 to 64 letters, digits, '-', '_', '.'");
    }
    if (!endpoint->caFile.isEmpty() && !endpoint->tls) {
        return QStringLiteral("--mqtt-ca goes with mqtts://");
    }
    if (!options->discovery.isEmpty() && !validSiteName(options->discovery)) {
        return QStringLiteral("--discovery PREFIX: letters, digits, '-', '_', '.'; or none");
    }
    if (!passwordFile.isEmpty() && endpoint->user.isEmpty()) {
        return QStringLiteral("--mqtt-password-file goes with --mqtt-user");
    }
    if (!passwordFile.isEmpty()) {
        ReadableFile file;
        QByteArray text;
        if (!file.open(passwordFile, 4096, &problem) ||
            !file.readAt(0, file.size(), &text, &problem)) {
            return QStringLiteral("cannot read the password file %1: %2")
                .arg(passwordFile, problem);
        }
        endpoint->password = QString::fromUtf8(text.split('\n').first()).trimmed();
    }
    const QString data =
        !folders.data.isEmpty()
            ? folders.data
            : QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                  .filePath(QStringLiteral("marquee"));
    options->journal =
        QDir(data).filePath(QStringLiteral("mqtt-commands-%1.jsonl").arg(options->site));
    return {};
}

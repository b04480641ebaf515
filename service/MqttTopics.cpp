#include "service/MqttTopics.h"

#include <QByteArray>
#include <QRegularExpression>

namespace {

bool escaped(unsigned char byte) {
    return byte < 0x20 || byte == 0x7f || byte == '/' || byte == '+' || byte == '#' ||
           byte == '*' || byte == '$' || byte == '%' || byte == ' ';
}

}  // namespace

QString topicLevel(const QString& sign) {
    QByteArray out;
    for (const char c : sign.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (escaped(byte)) {
            out += '%';
            out += QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
        } else {
            out += c;
        }
    }
    return QString::fromUtf8(out);
}

bool signOfLevel(const QString& level, QString* sign) {
    const QByteArray bytes = level.toUtf8();
    QByteArray out;
    for (int i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte != '%') {
            if (escaped(byte)) {
                return false;
            }
            out += bytes[i];
            continue;
        }
        bool ok = false;
        const int value = bytes.mid(i + 1, 2).toInt(&ok, 16);
        if (!ok || i + 2 >= bytes.size() || !escaped(static_cast<unsigned char>(value))) {
            return false;
        }
        out += char(value);
        i += 2;
    }
    *sign = QString::fromUtf8(out);
    return !sign->isEmpty() && topicLevel(*sign) == level;
}

bool validSiteName(const QString& site) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_.-]{1,64}$"));
    return pattern.match(site).hasMatch();
}

QString signTopic(const QString& site, const QString& sign, const QString& leaf) {
    return QStringLiteral("marquee/%1/%2/%3").arg(site, topicLevel(sign), leaf);
}

QString serviceTopic(const QString& site) {
    return QStringLiteral("marquee/%1/$service").arg(site);
}

QString commandPattern(const QString& site) {
    return QStringLiteral("marquee/%1/+/cmd").arg(site);
}

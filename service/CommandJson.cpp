#include "service/CommandJson.h"

#include "core/ProgramFolder.h"

#include <QJsonDocument>

namespace {

struct NamedKind {
    const char* name;
    ServiceCommandKind kind;
};
constexpr NamedKind kKinds[] = {{"send", ServiceCommandKind::Send},
                                {"mode", ServiceCommandKind::Mode},
                                {"time", ServiceCommandKind::Time},
                                {"read-para", ServiceCommandKind::ReadPara},
                                {"text", ServiceCommandKind::Text}};

// The keys every command may carry besides its own.
const QStringList& envelopeKeys() {
    static const QStringList keys = {QStringLiteral("command"), QStringLiteral("sign"),
                                     QStringLiteral("id")};
    return keys;
}

}  // namespace

QString commandName(ServiceCommandKind kind) {
    for (const NamedKind& named : kKinds) {
        if (named.kind == kind) {
            return QLatin1String(named.name);
        }
    }
    return {};
}

QString parseServiceCommand(const QJsonObject& object, ServiceCommand* command) {
    const QString word = object.value(QStringLiteral("command")).toString();
    const NamedKind* found = nullptr;
    for (const NamedKind& named : kKinds) {
        if (word == QLatin1String(named.name)) {
            found = &named;
        }
    }
    if (!found) {
        return QStringLiteral("\"command\" is none of send, mode, time, read-para, text");
    }
    ServiceCommand out;
    out.kind = found->kind;
    out.sign = command->sign;
    out.origin = command->origin;
    if (out.sign.isEmpty()) {
        const QJsonValue sign = object.value(QStringLiteral("sign"));
        if (!sign.isString() || sign.toString().isEmpty()) {
            return QStringLiteral("no \"sign\" named");
        }
        out.sign = sign.toString();
    }
    QStringList own;
    switch (out.kind) {
        case ServiceCommandKind::Send:
            own = {QStringLiteral("list"), QStringLiteral("full"), QStringLiteral("for")};
            break;
        case ServiceCommandKind::Mode:
            own = {QStringLiteral("list")};
            break;
        case ServiceCommandKind::Time:
        case ServiceCommandKind::ReadPara:
            break;
        case ServiceCommandKind::Text:
            own = {QStringLiteral("for")};
            break;
    }
    QJsonObject message;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (envelopeKeys().contains(it.key()) || own.contains(it.key())) {
            continue;
        }
        if (out.kind != ServiceCommandKind::Text) {
            return QStringLiteral("%1 takes no \"%2\"").arg(word, it.key());
        }
        message.insert(it.key(), it.value());  // the composer's options: checked when composed
    }
    if (object.contains(QStringLiteral("list"))) {
        out.list = object.value(QStringLiteral("list")).toString();
        if (!insideFolder(out.list) ||
            !out.list.endsWith(QLatin1String(".lis"), Qt::CaseInsensitive)) {
            return QStringLiteral("\"list\" must name a .lis file inside the sign folder");
        }
    }
    if (object.contains(QStringLiteral("full"))) {
        if (!object.value(QStringLiteral("full")).isBool()) {
            return QStringLiteral("\"full\" must be true or false");
        }
        out.full = object.value(QStringLiteral("full")).toBool();
    }
    if (object.contains(QStringLiteral("for"))) {
        const QJsonValue value = object.value(QStringLiteral("for"));
        const double seconds = value.toDouble(-1);
        if (!value.isDouble() || seconds < 1 || seconds > kMaxHoldSeconds ||
            seconds != double(qint64(seconds))) {
            return QStringLiteral("\"for\" must be whole seconds from 1 to %1")
                .arg(kMaxHoldSeconds);
        }
        out.forSeconds = int(seconds);
    }
    if (out.kind == ServiceCommandKind::Text) {
        const QJsonValue text = message.value(QStringLiteral("text"));
        if (!text.isString() || text.toString().trimmed().isEmpty()) {
            return QStringLiteral("no \"text\" to show");
        }
        if (text.toString().size() > kMaxMessageChars) {
            return QStringLiteral("the text is longer than %1 characters").arg(kMaxMessageChars);
        }
        out.message = QJsonDocument(message).toJson(QJsonDocument::Compact);
    }
    *command = out;
    return {};
}

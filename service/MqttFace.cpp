#include "service/MqttFace.h"

#include "core/JsonText.h"
#include "core/ProgramFolder.h"
#include "service/CommandJson.h"
#include "service/MqttTopics.h"
#include "service/SentFiles.h"
#include "service/SignService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTimer>

namespace {

constexpr size_t kMaxOutbox = 10000;
inline constexpr char kInlineFolder[] = ".mqtt";

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// The id as part of the memory's key: strings and numbers kept apart.
QString idKey(const QJsonValue& id) {
    return id.isString() ? QStringLiteral("s:") + id.toString()
                         : QStringLiteral("n:") + QString::number(id.toInteger());
}

// An id is a short string or a whole number; empty when good.
QString checkId(const QJsonValue& id) {
    if (id.isString() && !id.toString().isEmpty() && id.toString().size() <= kMaxCommandIdChars) {
        return {};
    }
    if (id.isDouble() && id.toDouble() == double(id.toInteger())) {
        return {};
    }
    return QStringLiteral("\"id\" must be a string of 1 to %1 characters or a whole number")
        .arg(kMaxCommandIdChars);
}

QJsonObject refusal(const QString& failure, const QString& reason) {
    return {{QStringLiteral("ok"), false},
            {QStringLiteral("failure"), failure},
            {QStringLiteral("outcome"), QStringLiteral("refused")},
            {QStringLiteral("status"), QJsonArray()},
            {QStringLiteral("reason"), reason}};
}

}  // namespace

MqttFace::MqttFace(SignService& service, const MqttEndpoint& endpoint,
                   const MqttFaceOptions& options, QObject* parent)
    : QObject(parent),
      m_service(service),
      m_endpoint(endpoint),
      m_options(options),
      m_memory(options.journal) {}

MqttFace::~MqttFace() {
    stop();
}

bool MqttFace::start(QString* error) {
    if (!m_memory.load(m_service.now(), error)) {
        *error = QStringLiteral("cannot keep the commands taken: %1").arg(*error);
        return false;
    }
    // One session a site: the broker keeps its subscription and its
    // commands while it is away.
    m_client = std::make_unique<MqttClient>(
        m_endpoint, QStringLiteral("marquee-%1").arg(m_options.site), false);
    m_client->setWill(serviceTopic(m_options.site), "offline", true);
    m_client->addSubscription(commandPattern(m_options.site), 1);
    connect(m_client.get(), &MqttClient::connected, this, &MqttFace::connected);
    connect(m_client.get(), &MqttClient::disconnected, this, [this](const QString& reason) {
        log(QStringLiteral("away from the broker (%1): trying again").arg(reason));
    });
    connect(m_client.get(), &MqttClient::message, this, &MqttFace::handle);
    connect(&m_service, &SignService::healthChanged, this,
            [this](const QString& sign) { publishStatus(sign, false); });
    if (!m_client->start(error)) {
        return false;
    }
    for (const Sign& sign : m_service.book().signs) {
        addLifeline(sign.name);
    }
    return true;
}

void MqttFace::addLifeline(const QString& sign) {
    auto lifeline = std::make_unique<MqttClient>(
        m_endpoint,
        QStringLiteral("marquee-%1-will-%2").arg(m_options.site, shortHash(sign.toUtf8())), true);
    lifeline->setWill(signTopic(m_options.site, sign, QStringLiteral("status")),
                      compact({{QStringLiteral("name"), sign},
                               {QStringLiteral("state"), QStringLiteral("offline")}}),
                      true);
    // Its will may have been published when it was last away: say it again.
    connect(lifeline.get(), &MqttClient::connected, this,
            [this, sign] { publishStatus(sign, true); });
    QString error;
    if (!lifeline->start(&error)) {
        log(QStringLiteral("[%1] no offline mark: %2").arg(sign, error));
    }
    m_lifelines[sign] = std::move(lifeline);
}

void MqttFace::refreshSigns() {
    std::set<QString> names;
    for (const Sign& sign : m_service.book().signs) {
        names.insert(sign.name);
        if (!m_lifelines.count(sign.name)) {
            addLifeline(sign.name);
            publishStatus(sign.name, true);
            announce(sign.name);
        }
    }
    for (auto it = m_lifelines.begin(); it != m_lifelines.end();) {
        if (names.count(it->first)) {
            ++it;
            continue;
        }
        it->second->stop();
        withdraw(it->first);
        it = m_lifelines.erase(it);
    }
}

void MqttFace::stop() {
    if (m_stopped || !m_client) {
        return;
    }
    m_stopped = true;
    for (const SignHealth& health : m_service.health()) {
        QJsonObject status = health.toJson();
        status.insert(QStringLiteral("state"), QStringLiteral("offline"));
        publish(signTopic(m_options.site, health.name, QStringLiteral("status")), compact(status),
                true, false);
    }
    publish(serviceTopic(m_options.site), "offline", true, false);
    for (auto& [sign, lifeline] : m_lifelines) {
        lifeline->stop();
    }
    m_client->stop();
    log(QStringLiteral("left the broker"));
}

void MqttFace::log(const QString& text) {
    emit logLine(QStringLiteral("%1  mqtt: %2")
                     .arg(m_service.now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), text));
}

void MqttFace::connected() {
    log(QStringLiteral("connected to %1:%2 as site %3")
            .arg(m_endpoint.host)
            .arg(m_endpoint.port)
            .arg(m_options.site));
    publish(serviceTopic(m_options.site), "online", true, false);
    for (const Sign& sign : m_service.book().signs) {
        publishStatus(sign.name, true);
        announce(sign.name);
    }
    std::deque<std::pair<QString, QByteArray>> held;
    held.swap(m_outbox);
    for (const auto& [topic, payload] : held) {
        publish(topic, payload, false, true);
    }
}

void MqttFace::publish(const QString& topic, const QByteArray& payload, bool retain, bool keep) {
    if (m_client && m_client->publish(topic, payload, 1, retain)) {
        return;
    }
    if (keep && m_outbox.size() < kMaxOutbox) {
        m_outbox.emplace_back(topic, payload);
    }
}

void MqttFace::publishStatus(const QString& sign, bool force) {
    for (const SignHealth& health : m_service.health()) {
        if (health.name != sign) {
            continue;
        }
        const QByteArray payload = compact(health.toJson());
        if (!force && m_lastStatus[sign] == payload) {
            return;
        }
        m_lastStatus[sign] = payload;
        publish(signTopic(m_options.site, sign, QStringLiteral("status")), payload, true, false);
        return;
    }
}

QString MqttFace::discoveryNode(const QString& sign) const {
    return QStringLiteral("marquee_%1_%2")
        .arg(QString(m_options.site).replace(QLatin1Char('.'), QLatin1Char('_')),
             shortHash(sign.toUtf8()));
}

// Home Assistant: a device a sign, with its state (the status as its
// attributes) and a text entity whose value is shown on the sign.
void MqttFace::announce(const QString& sign) {
    if (m_options.discovery.isEmpty()) {
        return;
    }
    const QString node = discoveryNode(sign);
    const QString status = signTopic(m_options.site, sign, QStringLiteral("status"));
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{node}},
        {QStringLiteral("name"), QStringLiteral("%1 (%2)").arg(sign, m_options.site)},
        {QStringLiteral("manufacturer"), QStringLiteral("Marquee")},
        {QStringLiteral("model"), QStringLiteral("LED sign")}};
    const QJsonArray availability{
        QJsonObject{{QStringLiteral("topic"), serviceTopic(m_options.site)}}};
    const QJsonObject state{
        {QStringLiteral("name"), QStringLiteral("State")},
        {QStringLiteral("unique_id"), node + QStringLiteral("_state")},
        {QStringLiteral("state_topic"), status},
        {QStringLiteral("value_template"), QStringLiteral("{{ value_json.state }}")},
        {QStringLiteral("json_attributes_topic"), status},
        {QStringLiteral("availability"), availability},
        {QStringLiteral("device"), device}};
    const QJsonObject text{
        {QStringLiteral("name"), QStringLiteral("Message")},
        {QStringLiteral("unique_id"), node + QStringLiteral("_message")},
        {QStringLiteral("command_topic"), signTopic(m_options.site, sign, QStringLiteral("cmd"))},
        {QStringLiteral("command_template"),
         QStringLiteral("{\"id\": \"ha-{{ now().timestamp() }}\", \"command\": \"text\", "
                        "\"text\": {{ value | tojson }}}")},
        {QStringLiteral("max"), 255},
        {QStringLiteral("availability"), availability},
        {QStringLiteral("device"), device}};
    publish(QStringLiteral("%1/sensor/%2/state/config").arg(m_options.discovery, node),
            compact(state), true, false);
    publish(QStringLiteral("%1/text/%2/message/config").arg(m_options.discovery, node),
            compact(text), true, false);
    m_announced.insert(sign);
}

void MqttFace::withdraw(const QString& sign) {
    publish(signTopic(m_options.site, sign, QStringLiteral("status")), {}, true, false);
    if (!m_options.discovery.isEmpty()) {
        const QString node = discoveryNode(sign);
        publish(QStringLiteral("%1/sensor/%2/state/config").arg(m_options.discovery, node), {},
                true, false);
        publish(QStringLiteral("%1/text/%2/message/config").arg(m_options.discovery, node), {},
                true, false);
    }
    m_lastStatus.erase(sign);
    m_announced.erase(sign);
}

void MqttFace::publishResult(const QString& topicSign, const QJsonValue& id, QJsonObject result) {
    result.insert(QStringLiteral("id"), id);
    if (!result.contains(QStringLiteral("reason"))) {
        result.insert(QStringLiteral("reason"), QString());
    }
    const QString topic = topicSign.isEmpty()
                              ? QStringLiteral("marquee/%1/*/result").arg(m_options.site)
                              : signTopic(m_options.site, topicSign, QStringLiteral("result"));
    publish(topic, compact(result), false, true);
}

void MqttFace::handle(const QString& topic, const QByteArray& payload) {
    const QStringList levels = topic.split(QLatin1Char('/'));
    if (levels.size() != 4 || levels[3] != QLatin1String("cmd") || m_stopped) {
        return;
    }
    const bool every = levels[2] == QLatin1String("*");
    QString sign;
    if (!every && !signOfLevel(levels[2], &sign)) {
        log(QStringLiteral("a command for %1, which names no sign").arg(levels[2]));
        return;
    }
    // Refusals before a command is known to be one go where it came.
    const QString answerTo = every ? QString() : sign;
    if (payload.size() > kMaxMqttCommandBytes) {
        publishResult(answerTo, QJsonValue::Null,
                      refusal(QStringLiteral("bad input"),
                              QStringLiteral("the command is %1 bytes; at most %2 are read")
                                  .arg(payload.size())
                                  .arg(kMaxMqttCommandBytes)));
        return;
    }
    QJsonDocument document;
    QString problem = parseJsonText(payload, &document);
    if (problem.isEmpty() && !document.isObject()) {
        problem = QStringLiteral("a command is a JSON object");
    }
    const QJsonObject body = document.object();
    const QJsonValue id = body.value(QStringLiteral("id"));
    if (problem.isEmpty()) {
        problem = checkId(id);
    }
    if (!problem.isEmpty()) {
        publishResult(answerTo, id.isUndefined() ? QJsonValue::Null : id,
                      refusal(QStringLiteral("bad input"), problem));
        return;
    }
    if (!every) {
        take(sign, id, body);
        return;
    }
    for (const Sign& each : m_service.book().signs) {
        take(each.name, id, body);
    }
}

void MqttFace::take(const QString& sign, const QJsonValue& id, const QJsonObject& body) {
    const QList<Sign>& signs = m_service.book().signs;
    if (std::none_of(signs.begin(), signs.end(),
                     [&sign](const Sign& each) { return each.name == sign; })) {
        publishResult(
            sign, id,
            refusal(QStringLiteral("unknown sign"),
                    QStringLiteral("no sign called \"%1\" at site %2").arg(sign, m_options.site)));
        return;
    }
    const QString key = sign + QLatin1Char('\n') + idKey(id);
    QJsonObject recorded;
    switch (m_memory.lookup(key, &recorded)) {
        case CommandMemory::Seen::Done:
            recorded.insert(QStringLiteral("repeat"), true);
            publishResult(sign, id, recorded);
            return;
        case CommandMemory::Seen::Running:
            return;  // its result follows once it is done
        case CommandMemory::Seen::New:
            break;
    }
    std::deque<Pending>& waiting = m_waiting[sign];
    if (waiting.size() >= kMaxWaitingCommands) {
        publishResult(sign, id,
                      refusal(QStringLiteral("busy"),
                              QStringLiteral("the sign has %1 commands waiting already")
                                  .arg(kMaxWaitingCommands)));
        return;
    }
    m_memory.begin(key, m_service.now());
    waiting.push_back({key, id, body});
    pump(sign);
}

void MqttFace::pump(const QString& sign) {
    const auto found = m_waiting.find(sign);
    if (m_running.count(sign) || found == m_waiting.end()) {
        return;
    }
    const Pending pending = found->second.front();
    found->second.pop_front();
    if (found->second.empty()) {
        m_waiting.erase(found);
    }
    m_running.insert(sign);
    run(sign, pending);
}

void MqttFace::run(const QString& sign, const Pending& pending) {
    ServiceCommand command;
    command.sign = sign;
    command.origin = QStringLiteral("mqtt");
    QJsonObject body = pending.body;
    const QJsonValue files = body.take(QStringLiteral("files"));
    QString problem = parseServiceCommand(body, &command);
    if (problem.isEmpty() && !files.isUndefined()) {
        if (command.kind != ServiceCommandKind::Send || !files.isObject()) {
            problem = QStringLiteral("\"files\" go with send, as an object of names and base64");
        } else {
            problem = writeInlineFiles(sign, idKey(pending.id), files.toObject(), &command.list);
        }
    }
    if (!problem.isEmpty()) {
        done(sign, pending, refusal(QStringLiteral("bad input"), problem));
        return;
    }
    QPointer<MqttFace> self(this);
    m_service.submit(command, [self, sign, pending](const ServiceResult& result) {
        if (self) {
            self->done(sign, pending, result.toJson());
        }
    });
}

void MqttFace::done(const QString& sign, const Pending& pending, const QJsonObject& result) {
    m_memory.finish(pending.key, result, m_service.now());
    publishResult(sign, pending.id, result);
    m_running.erase(sign);
    QTimer::singleShot(0, this, [this, sign] { pump(sign); });
}

// The files of a send that brings its list along, base64 in the command,
// kept below .mqtt/ of the sign folder; *list names the kept list then.
QString MqttFace::writeInlineFiles(const QString& sign, const QString& id, const QJsonObject& files,
                                   QString* list) {
    const int index = m_service.book().indexOf(sign);
    if (index < 0) {
        return QStringLiteral("no sign called \"%1\" in the sign book").arg(sign);
    }
    if (!files.contains(*list)) {
        return QStringLiteral("\"list\" must name one of \"files\"");
    }
    SentFiles contents;
    for (auto it = files.begin(); it != files.end(); ++it) {
        const auto decoded = QByteArray::fromBase64Encoding(
            it.value().toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!it.value().isString() || !decoded) {
            return QStringLiteral("\"%1\" is not base64").arg(it.key().left(100));
        }
        contents[it.key()] = *decoded;
    }
    return keepSentFiles(m_service.book().signs[index], m_service.folders().sign,
                         QLatin1String(kInlineFolder), id, contents, list);
}

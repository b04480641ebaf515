#include "service/CommandMemory.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <vector>

namespace {

constexpr qint64 kMaxJournalBytes = 256LL * 1024 * 1024;

QByteArray line(const QString& key, qint64 taken, bool done, const QJsonObject& result) {
    QJsonObject object{{QStringLiteral("key"), key}, {QStringLiteral("taken"), taken}};
    if (done) {
        object.insert(QStringLiteral("result"), result);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

// The result of a command that was running when its service went.
QJsonObject interrupted() {
    return {{QStringLiteral("ok"), false},
            {QStringLiteral("failure"), QStringLiteral("interrupted")},
            {QStringLiteral("status"), QJsonArray()},
            {QStringLiteral("reason"),
             QStringLiteral("the service stopped while the command ran: whether the sign got it "
                            "is not known")}};
}

}  // namespace

CommandMemory::CommandMemory(const QString& path, int maxEntries)
    : m_path(path), m_maxEntries(maxEntries) {}

bool CommandMemory::load(const QDateTime& now, QString* error) {
    m_entries.clear();
    QFile file(m_path);
    if (QFileInfo(m_path).isFile() && QFileInfo(m_path).size() <= kMaxJournalBytes &&
        file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd()) {
            const QJsonObject object = QJsonDocument::fromJson(file.readLine()).object();
            const QString key = object.value(QStringLiteral("key")).toString();
            if (key.isEmpty()) {
                continue;  // a line cut short by a crash
            }
            Entry entry;
            entry.taken = qint64(object.value(QStringLiteral("taken")).toDouble());
            entry.done = object.contains(QStringLiteral("result"));
            entry.result = object.value(QStringLiteral("result")).toObject();
            m_entries[key] = entry;
        }
    }
    for (auto& [key, entry] : m_entries) {
        if (!entry.done) {
            entry.done = true;
            entry.result = interrupted();
        }
    }
    prune(now.toMSecsSinceEpoch());
    return rewrite(error);
}

CommandMemory::Seen CommandMemory::lookup(const QString& key, QJsonObject* result) const {
    const auto found = m_entries.find(key);
    if (found == m_entries.end()) {
        return Seen::New;
    }
    if (!found->second.done) {
        return Seen::Running;
    }
    *result = found->second.result;
    return Seen::Done;
}

void CommandMemory::begin(const QString& key, const QDateTime& now) {
    Entry entry;
    entry.taken = now.toMSecsSinceEpoch();
    m_entries[key] = entry;
    append(key, entry);
}

void CommandMemory::finish(const QString& key, const QJsonObject& result, const QDateTime& now) {
    Entry& entry = m_entries[key];
    if (entry.taken == 0) {
        entry.taken = now.toMSecsSinceEpoch();
    }
    entry.done = true;
    entry.result = result;
    append(key, entry);
    if (int(m_entries.size()) > m_maxEntries || m_lines > 2 * m_maxEntries + 1000) {
        prune(now.toMSecsSinceEpoch());
        QString error;
        rewrite(&error);
    }
}

void CommandMemory::append(const QString& key, const Entry& entry) {
    QFile file(m_path);
    if (file.open(QIODevice::Append)) {
        file.write(line(key, entry.taken, entry.done, entry.result));
        ++m_lines;
    }
}

void CommandMemory::prune(qint64 nowMs) {
    const qint64 oldest = nowMs - kKeepSeconds * 1000;
    std::vector<std::pair<qint64, QString>> kept;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second.done && it->second.taken < oldest) {
            it = m_entries.erase(it);
        } else {
            kept.emplace_back(it->second.taken, it->first);
            ++it;
        }
    }
    if (int(kept.size()) <= m_maxEntries) {
        return;
    }
    // The oldest finished ones go first.
    std::sort(kept.begin(), kept.end());
    for (size_t i = 0; i < kept.size() && int(m_entries.size()) > m_maxEntries; ++i) {
        const auto found = m_entries.find(kept[i].second);
        if (found->second.done) {
            m_entries.erase(found);
        }
    }
}

bool CommandMemory::rewrite(QString* error) {
    QByteArray text;
    for (const auto& [key, entry] : m_entries) {
        text += line(key, entry.taken, entry.done, entry.result);
    }
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (!writeFileAtomically(m_path, text, error)) {
        return false;
    }
    m_lines = int(m_entries.size());
    return true;
}

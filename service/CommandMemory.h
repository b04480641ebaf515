#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <map>

// The commands a face has taken by their id, so that one delivered again
// (a broker sends a QoS 1 message anew after a lost acknowledgement, a
// client repeats itself) is answered from its result instead of being
// carried out twice. Kept for a day and at most maxEntries of them, in a
// journal file: a line of JSON an event, read back and compacted at start,
// so a service started again keeps them.
class CommandMemory {
  public:
    static constexpr qint64 kKeepSeconds = 24 * 3600;
    static constexpr int kMaxEntries = 20000;

    explicit CommandMemory(const QString& path, int maxEntries = kMaxEntries);

    // Reads the journal and writes it anew with what is still kept; false
    // with a reason when it cannot be written (a missing one is no fault).
    bool load(const QDateTime& now, QString* error);

    enum class Seen { New, Running, Done };
    // What is known of key; Done fills *result.
    Seen lookup(const QString& key, QJsonObject* result) const;
    // A command is taken, then done.
    void begin(const QString& key, const QDateTime& now);
    void finish(const QString& key, const QJsonObject& result, const QDateTime& now);
    int size() const { return int(m_entries.size()); }

  private:
    struct Entry {
        qint64 taken = 0;  // ms since the epoch
        bool done = false;
        QJsonObject result;
    };
    void append(const QString& key, const Entry& entry);
    void prune(qint64 nowMs);
    bool rewrite(QString* error);

    QString m_path;
    int m_maxEntries;
    std::map<QString, Entry> m_entries;
    int m_lines = 0;  // in the journal now
};

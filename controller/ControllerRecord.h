#pragma once

#include "core/Settings.h"
#include "transfer/ChangedPages.h"

#include <QDateTime>
#include <QString>

#include <optional>

// Which controller a record is for, and the settings its memory was
// written with: a record is used only when all of them are the same.
struct ControllerKey {
    QString port;  // the port under one name (links resolved)
    int NUM = 0;
    int TYPE = 0;
    int WIDTH = 0;
    int HEIGHT = 0;
    int SCAN = 0;
    bool RG_SWAP = false;
    bool COLOR_SWAP = false;
    bool ADJUST = false;

    bool operator==(const ControllerKey& other) const;
    bool operator!=(const ControllerKey& other) const { return !(*this == other); }
};

// The key of the controller the settings reach; folder resolves comN.
ControllerKey controllerKey(const Settings& settings, const QString& folder);

// What one controller held after the last transfer it acknowledged.
struct ControllerRecord {
    ControllerKey key;
    QDateTime time;
    ControllerContent content;
};

// The records, one small JSON file a controller (port and NUM) in a folder.
// Every change is written in one step; a record that cannot be read is as
// good as none (the next transfer is a whole one). Safe to use from several
// threads for different controllers.
class ControllerRecords {
  public:
    explicit ControllerRecords(const QString& folder = QString()) : m_folder(folder) {}

    // The records' folder in the programs' data folder (Folders::data):
    // ~/.local/share/marquee/controllers, or DIR/controllers for
    // `--folder DIR`.
    static QString folderFor(const QString& dataFolder);

    const QString& folder() const { return m_folder; }
    // The file of the controller at port with number num.
    QString pathFor(const QString& port, int num) const;

    // The record for exactly this key; none when missing, unreadable or
    // written for other settings.
    std::optional<ControllerRecord> find(const ControllerKey& key) const;
    bool store(const ControllerRecord& record, QString* reason) const;
    // Forgets what the controller at port with number num holds.
    void drop(const QString& port, int num) const;

  private:
    QString m_folder;
};

// The record file's text, and back (false when it is not one).
QByteArray formatControllerRecord(const ControllerRecord& record);
bool parseControllerRecord(const QByteArray& data, ControllerRecord* record);

#pragma once

#include "core/ProgramFolder.h"
#include "core/Settings.h"
#include "core/SignSchedule.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// One sign of the book: its name, the ten settings and the port that reach
// it, and the play list it shows (optional).
struct Sign {
    QString name;
    Settings settings;
    QString list;                        // a .lis file; relative names resolve in the sign folder
    QList<ScheduleRule> schedule;        // the first rule in force wins, else list
    int setClock = kDefaultClockMinute;  // minute of the day, or kClockNever
    // SEND writes only the pages that differ from what the controller's
    // record says it holds. A controller that lost its memory since then
    // shows old or empty pages until a whole SEND.
    bool sendChangesOnly = false;

    bool operator==(const Sign& other) const {
        return name == other.name && settings == other.settings && list == other.list &&
               schedule == other.schedule && setClock == other.setClock &&
               sendChangesOnly == other.sendChangesOnly;
    }
};

// The signs a user runs, kept in signs.json in the settings folder; the
// selected one is the sign the window's settings row shows, whose settings
// ck.ini holds as before.
struct SignBook {
    QList<Sign> signs;
    QString selected;

    // The position of the sign called name, or -1.
    int indexOf(const QString& name) const;
    // The selected sign's position (the first when the name is unknown).
    int selectedIndex() const;
};

inline constexpr char kSignBookFileName[] = "signs.json";

struct SignBookReadResult {
    bool found = false;  // signs.json exists
    QString error;       // why it could not be read, naming the file
};

// Reads folders.settings/signs.json. Without one, the book holds one sign
// made from settings (ck.ini as read at start), named "Sign 1" (in the
// user's language). A file that
// cannot be read or is not a sign book leaves that sign, with the error.
SignBookReadResult readSignBook(const QString& folder, const Settings& settings, SignBook* book);

// The file's text: indented JSON, one object a sign.
QByteArray formatSignBook(const SignBook& book);
// Reads the text of a sign book; empty when it is one, else what is wrong.
QString parseSignBook(const QByteArray& data, SignBook* book);

// One sign as the file holds it.
QJsonObject signObject(const Sign& sign);

// Writes folder/signs.json in one step; false with *reason naming the file.
bool writeSignBook(const QString& folder, const SignBook& book, QString* reason);

// What is wrong with the book: names empty or used twice. Empty when good.
QString checkSignBook(const SignBook& book);

#pragma once

#include <QString>

// The folder of the running executable.
QString executableFolder();

// Where the programs keep their files.
struct Folders {
    Folders() = default;
    // One folder for everything, as `--folder DIR` names it.
    Folders(const QString& folder)  // NOLINT: implicit
        : settings(folder), sign(folder), data(folder) {}

    QString settings;  // ck.ini and marquee.conf (the chosen port, the sign folder)
    QString sign;      // pages, lists, port links comN, setup files
    // What the programs keep for themselves: the transfer log and the
    // records of what each controller holds; empty: the user's data folder
    // (~/.local/share/marquee).
    QString data;
    // An old ck.ini's folder, read when the settings folder has none yet
    // (beside an installed executable, where nothing may be written).
    QString oldSettings;
};

// The folders of this run. chosen (`--folder DIR`) holds everything when
// given. Otherwise a ck.ini beside the executable that may be written wins,
// so a portable folder works as it always did; else the settings live in
// the user's configuration folder ($XDG_CONFIG_HOME/marquee, normally
// ~/.config/marquee) and the pages in the sign folder chosen there
// (~/Marquee by default). The folders are made when missing.
Folders locateFolders(const QString& chosen);

// $XDG_CONFIG_HOME/marquee (~/.config/marquee).
QString userSettingsFolder();
// ~/Marquee.
QString defaultSignFolder();

// A picture name as stored in a page, resolved against the program folder
// when it is not absolute.
QString resolveInFolder(const QString& folder, const QString& fileName);
// Whether a relative name stays inside the folder it is resolved in: not
// empty, not absolute, no "..".
bool insideFolder(const QString& name);

// The first length hex digits of data's SHA-1: a short name for files and
// folders (and broker client ids) made from data that may not be a name.
QString shortHash(const QByteArray& data, int length = 12);

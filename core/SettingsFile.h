#pragma once

#include "core/ProgramFolder.h"
#include "core/Settings.h"

#include <QString>

// The settings file: ten decimal lines, NUM .. BPS, each ended by CR LF.
inline constexpr char kSettingsFileName[] = "ck.ini";
inline constexpr char kInvalidNumericInput[] = "Invalid numeric input";
inline constexpr char kCannotSaveParameter[] = "CAN NOT SAVE PARAMETER";

struct SettingsReadResult {
    bool found = false;  // ck.ini exists
    int valuesRead = 0;  // values applied, in file order
    QString error;       // empty, "Invalid numeric input" or why it could not be read
    int errorLine = 0;   // line of the bad value
};

// Applies the values of ck.ini's text to *settings, as readSettingsFile does.
SettingsReadResult parseSettings(const QByteArray& data, Settings* settings);

// Reads folder/ck.ini into *settings. A missing file keeps *settings as it is;
// a value that is not a number stops reading there and keeps what was read
// before it; missing values keep their current setting; values out of range
// are clamped.
SettingsReadResult readSettingsFile(const QString& folder, Settings* settings);

// The exact bytes of ck.ini for these settings.
QByteArray formatSettings(const Settings& settings);

// Writes folder/ck.ini, replacing the old file in one step. Returns false
// when it could not be written (the old file is then untouched); the operator
// is told "CAN NOT SAVE PARAMETER".
bool writeSettingsFile(const QString& folder, const Settings& settings, QString* reason = nullptr);

// The settings of a run: ck.ini from the settings folder (an old one when
// that folder has none yet) and the chosen port from marquee.conf.
SettingsReadResult readSettings(const Folders& folders, Settings* settings);

// Keeps the chosen port (empty: "com" + COMM) in folder/marquee.conf.
bool writePortChoice(const QString& folder, const QString& port, QString* reason);

// "CAN NOT SAVE PARAMETER" and, under it, which file and why.
QString cannotSaveText(const QString& folder, const QString& reason);

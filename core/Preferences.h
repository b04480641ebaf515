#pragma once

#include <QString>

// marquee.conf, beside ck.ini: what the ten settings have no line for, one
// NAME=VALUE a line in UTF-8. Names: "port" (the chosen port's device path)
// and "folder" (the sign folder).
inline constexpr char kPreferencesFileName[] = "marquee.conf";

// The value of name in folder/marquee.conf; empty when it has none.
QString readPreference(const QString& folder, const QString& name);

// Sets name to value (an empty value removes it), replacing the file in one
// step. False with *reason naming the file and why when it cannot be written.
bool writePreference(const QString& folder, const QString& name, const QString& value,
                     QString* reason);

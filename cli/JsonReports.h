#pragma once

#include "cli/Commands.h"
#include "controller/ControllerCommands.h"
#include "platform/SerialPorts.h"

#include <QList>
#include <QString>

// What `settings`, `read-para` and `ports` print with --json: one JSON
// object (or array) on one line.

// The ten settings by their ck.ini labels, the chosen port, the port a
// command opens now and the folders.
QString settingsJson(const CliContext& context, const Settings& settings);

// The outcome in status panel 2, whether the values were received, and the
// parameter block by its save-para names.
QString readParaJson(const ReadParaResult& result, const QString& portPath);

// Each port with its USB details; chosen marks the one in the settings.
QString portsJson(const QList<SerialPortInfo>& ports, const QString& chosen);

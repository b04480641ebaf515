#pragma once

#include <QString>
#include <QStringList>

// marquee-cli emulate [options]: plays the controller on a pseudo-terminal
// linked as comN in folder until stopped. Returns the exit status.
int runEmulator(const QString& folder, const QStringList& args);

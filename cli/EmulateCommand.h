#pragma once

#include "core/ProgramFolder.h"

#include <QString>
#include <QStringList>

// marquee-cli emulate [options]: plays the controller on a pseudo-terminal
// linked as comN in folder until stopped. Returns the exit status.
int runEmulator(const Folders& folders, const QStringList& args);

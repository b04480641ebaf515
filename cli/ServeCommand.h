#pragma once

#include "cli/Commands.h"

#include <QStringList>

// serve: runs the sign service until SIGTERM or SIGINT. Exit status 0 once
// stopped; 2 when the sign book cannot be read or another service for the
// same settings runs.
int runServe(const CliContext& context, const QStringList& args);

// status [--json]: the health of the running service's signs. Exit status
// 3 when none runs.
int runStatus(const CliContext& context);

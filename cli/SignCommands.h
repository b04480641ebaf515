#pragma once

#include "cli/Commands.h"

#include <QString>

// send, mode, time or read-para to the signs of the sign book that
// --sign NAME and --all-signs name. listPath (send, mode): the list for
// every sign; empty: each sign's own. Per-sign status lines go out with the
// sign's name in brackets, then a table of the results (or, with --json, one
// line of JSON). Exit status: the worst of the signs'.
int runOnSignBook(const CliContext& context, const QString& command, const QString& listPath);

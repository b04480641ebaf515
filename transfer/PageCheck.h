#pragma once

#include "core/Settings.h"
#include "pages/PageList.h"

#include <QString>
#include <QStringList>

// The cheap check of every page a transfer would send, made before the port
// is opened: each page's picture is a regular file of a sane size, of an
// accepted kind (BMP, JPEG, PNG), whose header parses and whose size is
// within the pixel budget. Only headers are read; nothing is decoded. The
// pages checked are those that fit the controller's memory (all of them
// when none fits). Returns one finding per page that fails, "page 3:
// cannot load x.bmp: it is a FIFO (named pipe), not a file"; empty when
// every page can be sent.
QStringList checkPages(const Settings& settings, const PageList& pages, const QString& folder);

// The refusal shown for findings: "Nothing was sent: these pages have no
// usable picture." and one finding a line.
QString unusablePagesMessage(const QStringList& findings);

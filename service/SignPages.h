#pragma once

#include "controller/SignRun.h"
#include "core/SignBook.h"
#include "import/LivePage.h"
#include "pages/PageList.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// The pages one sign is to get, made the way every face makes them.

struct SignPages {
    PageList pages;
    QString problem;       // why nothing can go (empty: the pages can go)
    QStringList messages;  // what went wrong with live pages that were left as they were
    LiveWatch watch;       // when the live pages may next render differently
};

// The pages of list (resolved in folder; empty: the sign's own list) for
// SEND or MODE, checked as the single commands check them: for SEND the live
// pages are rendered at now, every picture is checked and the module type
// must be one that can be sent; MODE checks only the play entries.
SignPages prepareSignPages(SignCommand command, const Sign& sign, const QString& list,
                           const QString& folder, const QDateTime& now);

// A message for a sign: {"text": "...", ...} with the composer's options as
// a live page takes them ("layout" also as "one-line" or "many-line"); the
// text is taken as it stands. Its pages are written into the sign folder's
// .messages/ and make a list of their own with the default page values;
// SEND's checks then run on it.
SignPages composeMessage(const Sign& sign, const QByteArray& json, const QString& folder);

// The hidden folder of the sign folder that holds the messages' pages.
inline constexpr char kMessageFolder[] = ".messages";

// Whether two lists would put the same bytes on the line.
bool samePages(const PageList& a, const PageList& b);

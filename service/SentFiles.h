#pragma once

#include "core/SignBook.h"

#include <QByteArray>
#include <QString>

#include <map>

// The files a face brings along with a send (MQTT's base64 "files", an
// HTTP form's uploads): plain names and their bytes.
using SentFiles = std::map<QString, QByteArray>;

inline constexpr int kMaxSentFiles = 256;

// Checks the files of a send that brings its list along and keeps them in
// a folder of their own, SIGNFOLDER/FACE/SIGN-HASH/BATCH-HASH, the list's
// pages rewritten to point there. Names are plain (no folder, not hidden)
// of a .lis or a picture kind; pictures pass the header and pixel checks
// before anything is written; the list's pages name a file sent along or
// one inside the sign folder. *list names the list among files; empty when
// a single picture comes alone, which becomes a list of one page. The
// sign's two newest batches are kept, older ones removed. On success *list
// names the kept list relative to the sign folder; else the problem.
QString keepSentFiles(const Sign& sign, const QString& signFolder, const QString& face,
                      const QString& batch, const SentFiles& files, QString* list);

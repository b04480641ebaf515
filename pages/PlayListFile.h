#pragma once

#include "pages/PageList.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// The play list file (".lis"): for each page six lines, each ended by CR LF:
//   FileName       the name as stored (empty for a blank page)
//   InMode         decimal 0..255
//   OutMode        decimal 0..255
//   AddMode        decimal 0..255
//   DispTime       decimal 0..255
//   DispSpeed      decimal 0..255
// No header, count or trailer. Names are written in UTF-8; a name line that
// is not valid UTF-8 (a list written elsewhere in a legacy 8-bit character
// set) is read as Latin-1, so no byte is lost.

inline constexpr char kListFilter[] = "LIST|*.lis";
inline constexpr char kDefaultListName[] = "qzrn.lis";

// The chosen name with its extension replaced by ".lis" (added if none).
QString withListExtension(const QString& path);

// The bytes of a list of pages 1 .. PageCount.
QByteArray formatPlayList(const PlayList& list, int pageCount);

struct PlayListParse {
    std::vector<PlayItem> pages;  // whole pages read, at most 255
    QString error;                // why reading stopped early ("Invalid numeric input", ...)
    QStringList notes;            // pages left out beyond 255, a last page cut short
};

// Reads pages until the end of the data: a name line, then five numbers,
// each kept to its low 8 bits.
PlayListParse parsePlayList(const QByteArray& data);

// SAVE LIST to the given path (extension forced to ".lis"). Returns the
// message for the operator, empty on success; the old file is untouched on
// failure.
QString savePlayList(const QString& path, const PageList& pages);

struct LoadListOutcome {
    bool loaded = false;   // the list was replaced
    QStringList messages;  // for the operator, in order
};

// LOADLIST from the given path into the page list. The pages read before an
// error stay loaded; a file with no whole page leaves the list as it was.
LoadListOutcome loadPlayList(const QString& path, PageList* pages);

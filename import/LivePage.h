#pragma once

#include "core/Settings.h"
#include "import/TextComposer.h"
#include "pages/PageList.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

// A live page: a page whose picture is a .live file, a small JSON text
//   {"text": "{weekday} {time}\nNext: {file:next.txt}", "size": 16,
//    "colour": "yellow", "layout": "one line", "refresh": 10}
// rendered by the text composer at the sign's size at the moment of
// sending. Fields: {date}, {time}, {weekday} and {file:PATH}, the first line
// of a file (PATH relative to the sign folder, for scripts to write).

inline constexpr char kLiveSuffix[] = ".live";
// The hidden folder of the sign folder that holds the renderings.
inline constexpr char kLiveFolder[] = ".live";
inline constexpr qint64 kMaxLiveFileBytes = 64 * 1024;
// A {file:...} file is read only when it is at most this large; its first
// line is cut at kMaxLiveLineBytes.
inline constexpr qint64 kMaxFieldFileBytes = 1024 * 1024;
inline constexpr qint64 kMaxLiveLineBytes = 4096;

// Whether a page's picture name is a live page.
bool isLivePage(const QString& fileName);

// A .live file as read.
struct LivePage {
    QString text;
    ComposeOptions options;  // layout, CENTER, lines a page, colours, font
    int refresh = 0;         // seconds between renderings; 0: when a field changes
    QString dateFormat = QStringLiteral("yyyy-MM-dd");
    QString timeFormat = QStringLiteral("HH:mm");
    QLocale locale = QLocale::c();  // of {weekday} and the formats' names
};

// Reads the text of a .live file; empty when good, else what is wrong.
QString parseLivePage(const QByteArray& data, LivePage* page);

// A file a rendering depends on, with its modification time when rendered
// (invalid: it was missing).
struct WatchedFile {
    QString path;
    QDateTime modified;
    bool operator==(const WatchedFile& other) const {
        return path == other.path && modified == other.modified;
    }
};

// When the live pages of a list may next render differently.
struct LiveWatch {
    QDateTime next;            // the first field change or refresh; invalid: none
    QList<WatchedFile> files;  // the .live files and the files their fields read
    // Whether a file has changed (or appeared, or gone) since.
    bool filesChanged() const;
};

// The text with its fields replaced at now. PATHs read are added to *files;
// an unreadable one gives *error and a null text.
QString expandLiveText(const LivePage& page, const QString& folder, const QDateTime& now,
                       QList<WatchedFile>* files, QString* error);

struct LiveRendering {
    PageList pages;        // the list to send: each live page names its rendering
    QStringList messages;  // one for each live page not rendered now
    QList<int> unusable;   // pages (1..) left without any rendering; they keep the .live name
    LiveWatch watch;
};

// The newest rendering of the live page fileName at screen, resolved in
// folder; empty when it was never rendered. Reads only the folder.
QString lastLiveRendering(const QString& folder, const QString& fileName, QSize screen);

// Renders every live page of pages at now, at the sign's size, into
// folder/.live/ (one file per rendering, named by the live file, the size
// and the picture's bytes, written in one step). A page whose .live file
// cannot be read, or whose fields name a file that cannot be read, keeps
// its last rendering when there is one; the message says why. Other pages
// are left as they are.
LiveRendering renderLivePages(const Settings& settings, const PageList& pages,
                              const QString& folder, const QDateTime& now);

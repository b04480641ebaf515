#pragma once

#include "emulator/EmulatedController.h"

#include <QByteArray>
#include <QImage>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTime>

#include <future>
#include <vector>

// Writes what the sign shows into a folder, drawn by the sign view's
// renderer zoom screen pixels a LED: page1.png .. pageN.png and playlist.txt
// (one line a page: effect, speed, time), clock.png, and, when asked,
// playlist.png: the list in motion with approximate entry effects.
class SignOutput {
  public:
    SignOutput(const QString& folder, int zoom, bool animate)
        : folder_(folder), zoom_(zoom), animate_(animate) {}
    ~SignOutput() { collectAnimation(); }
    SignOutput(const SignOutput&) = delete;
    SignOutput& operator=(const SignOutput&) = delete;

    // The pages, with the glyph table and the time of the controller's clock
    // for the animation. Pictures of pages past the end, left from a longer
    // list that this output wrote, are removed. The animation is drawn
    // beside the caller at low priority. Returns what could not be written.
    QStringList showPages(const std::vector<ShownPage>& pages, const QByteArray& glyphs,
                          QTime clock);
    // The controller's clock as its screen shows it.
    QStringList showClock(QSize screen, const QByteArray& glyphs, QTime clock);
    // Waits for the animation being written; what went wrong with it.
    QStringList collectAnimation();

  private:
    bool write(const QString& name, const QImage& picture, QStringList* problems);

    QString folder_;
    int zoom_;
    bool animate_;
    QSet<int> writtenPages_;
    std::future<QString> animation_;  // playlist.png being written: the error, if any
};

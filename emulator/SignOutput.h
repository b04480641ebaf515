#pragma once

#include "emulator/EmulatedController.h"

#include <QByteArray>
#include <QImage>
#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

// The clock as the sign shows it, drawn with the glyph cells the controller
// holds (816 bytes: 19 cells of 8 x 16, then 16 of 16 x 16), in yellow on a
// dual-colour sign and red on a monochrome one, two lines of 16 pixels:
//   normal          2026年12月05日 / 星期六 13:47:42
//   English format  2026-12-05 / 13:47:42
QImage clockPicture(const QByteArray& glyphTable, const ControllerClock& clock, bool english,
                    Depth depth);

// The play list as an animated PNG: each page for its display time in
// seconds (0: a tenth of a second). The sign view that plays the entry
// effects takes the place of this one function.
QByteArray playListAnimation(const std::vector<ShownPage>& pages);

// Writes what the sign shows into a folder: page1.png .. pageN.png and
// playlist.txt (one line a page: effect, speed, time), playlist.png (the
// animation) when asked, and clock.png.
class SignOutput {
  public:
    SignOutput(const QString& folder, bool animate) : folder_(folder), animate_(animate) {}

    // Pictures of pages past the end, left from a longer list that this
    // output wrote, are removed. Returns what could not be written.
    QStringList showPages(const std::vector<ShownPage>& pages);
    QStringList showClock(const QImage& clock);

  private:
    bool write(const QString& name, const QByteArray& bytes, QStringList* problems);

    QString folder_;
    bool animate_;
    QSet<int> writtenPages_;
};

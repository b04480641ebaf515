#pragma once

#include <QByteArray>
#include <QImage>
#include <QTime>

#include <array>
#include <functional>
#include <vector>

// The entry effects in motion, drawn at one pixel a LED. How the controller
// plays its effects is its own; these are plausible renderings of what each
// effect's name says, and every view that shows them says "approximate".

// What one frame of an entry effect is drawn from.
struct EffectScene {
    QImage from;        // what the sign showed before (a dark sign at the start)
    QImage to;          // the LEDs of the page coming in, the size of from
    QByteArray glyphs;  // the controller's clock characters (the glyph table)
    QTime clock;        // the time its clock shows
};

// The frame of an effect at progress t, 0 (it starts) to 1 (the page is in).
using EffectFrame = QImage (*)(const EffectScene& scene, double t);

constexpr int kEntryEffectCount = 41;
// Effect code to its animation, in code order.
const std::array<EffectFrame, kEntryEffectCount>& entryAnimations();
// The frame of effect code at t; a code beyond the table shows the page at
// once, as "immediately manifestation" does.
QImage effectFrame(int code, const EffectScene& scene, double t);
// How long effect code runs at a display speed (0 fastest): nothing for
// showing at once and for the clock; the flicker blinks six times.
int effectMs(int code, int speed);

// The controller's clock, "HH:MM:SS" (or "HH:MM" on a narrower sign) in the
// glyph table's 8 x 16 characters, red, centred on a dark sign.
QImage clockFace(QSize screen, const QByteArray& glyphs, QTime clock);

// One page of a play list as the sign plays it: its effect code, display
// speed and display time (seconds).
struct PlayedPage {
    int effect = 0;
    int speed = 0;
    int time = 0;
};

// Where a show is: the page (index into the list) and how far its entry
// effect has come; page -1 once the show is over.
struct ShowMoment {
    int page = -1;
    double progress = 1.0;
};

// A play list shown once through: each page's effect, then the page for
// its display time.
class ShowTimeline {
  public:
    explicit ShowTimeline(std::vector<PlayedPage> pages);
    const std::vector<PlayedPage>& pages() const { return m_pages; }
    qint64 totalMs() const { return m_total; }
    ShowMoment at(qint64 ms) const;

  private:
    std::vector<PlayedPage> m_pages;
    qint64 m_total = 0;
};

// Every frame of a show, in order, with how long it stays: each page's
// effect in steps of at least 40 ms (longer when the show would need more
// than maxFrames), from what the sign showed before (page 1 from a dark
// sign), then the page for its display time. leds holds each page's LEDs.
void forEachShowFrame(const std::vector<QImage>& leds, const ShowTimeline& show,
                      const QByteArray& glyphs, QTime clock, int maxFrames,
                      const std::function<void(const QImage& frame, int ms)>& take);

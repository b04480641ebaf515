#include "transfer/EntryEffects.h"

#include "transfer/GlyphTable.h"

#include <QPoint>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kBlindWidth = 8;  // the slats of the "100 page windows"
constexpr int kMinFrameMs = 40;
constexpr int kClockEffect = 39;
constexpr int kFlickerEffect = 40;
constexpr QRgb kDark = 0xff000000;
constexpr QRgb kClockColour = 0xffff0000;
// The glyph table starts with 19 cells of 8 x 16, one byte a row: the digits
// and ":" of the clock are among them.
constexpr int kNarrowCells = 19;
constexpr int kNarrowCellBytes = kNarrowCells * kGlyphCellHeight;

QRgb at(const QImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) {
        return kDark;
    }
    return reinterpret_cast<const QRgb*>(image.constScanLine(y))[x];
}

// A frame whose every LED is pick(x, y).
template <typename Pick>
QImage compose(QSize size, Pick pick) {
    QImage frame(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(frame.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            line[x] = pick(x, y);
        }
    }
    return frame;
}

// The new page where shows(x, y), the old one elsewhere.
template <typename Shows>
QImage reveal(const EffectScene& s, Shows shows) {
    return compose(s.to.size(),
                   [&](int x, int y) { return shows(x, y) ? at(s.to, x, y) : at(s.from, x, y); });
}

// Where the new page comes from: the way it travels.
enum class Dir { Right, Left, Down, Up };

// Positions along the way the page travels, 0 where it enters.
struct Axis {
    Dir dir;
    QSize size;
    bool horizontal() const { return dir == Dir::Right || dir == Dir::Left; }
    bool reversed() const { return dir == Dir::Left || dir == Dir::Up; }
    int length() const { return horizontal() ? size.width() : size.height(); }
    int along(int x, int y) const {
        const int a = horizontal() ? x : y;
        return reversed() ? length() - 1 - a : a;
    }
    // The LED at position a along the way, in the row or column of (x, y).
    QPoint point(int x, int y, int a) const {
        const int c = reversed() ? length() - 1 - a : a;
        return horizontal() ? QPoint(c, y) : QPoint(x, c);
    }
};

int steps(double t, int length) {
    return static_cast<int>(std::lround(t * length));
}

// "shift go into", "draw in": the new page pushes the old one out.
QImage shift(const EffectScene& s, double t, Dir dir) {
    const Axis axis{dir, s.to.size()};
    const int len = axis.length();
    const int moved = steps(t, len);
    return compose(s.to.size(), [&](int x, int y) {
        const int a = axis.along(x, y);
        const QPoint p =
            a < moved ? axis.point(x, y, a + len - moved) : axis.point(x, y, a - moved);
        return at(a < moved ? s.to : s.from, p.x(), p.y());
    });
}

// "launch": the new page is uncovered from one edge.
QImage wipe(const EffectScene& s, double t, Dir dir) {
    const Axis axis{dir, s.to.size()};
    const int edge = steps(t, axis.length());
    return reveal(s, [&](int x, int y) { return axis.along(x, y) < edge; });
}

// "100 page windows": blinds, every slat uncovered from the same side.
QImage blinds(const EffectScene& s, double t, Dir dir) {
    const Axis axis{dir, s.to.size()};
    const int slat = std::min(kBlindWidth, axis.length());
    const int edge = steps(t, slat);
    return reveal(s, [&](int x, int y) { return axis.along(x, y) % slat < edge; });
}

// Curtains: uncovered from both edges to the centre, or from the centre out.
QImage curtain(const EffectScene& s, double t, bool horizontal, bool inward) {
    const int len = horizontal ? s.to.width() : s.to.height();
    const double half = len / 2.0;
    return reveal(s, [&](int x, int y) {
        const int a = horizontal ? x : y;
        const double fromCentre = std::abs(a + 0.5 - half);
        return inward ? fromCentre >= half * (1 - t) : fromCentre < half * t;
    });
}

// "move": the two halves of the new page slide in from the edges to meet in
// the centre, or come out of the centre to the edges.
QImage halves(const EffectScene& s, double t, bool horizontal, bool inward) {
    const int len = horizontal ? s.to.width() : s.to.height();
    const int half = len / 2;
    const int first = steps(1 - t, half);
    const int second = steps(1 - t, len - half);
    return compose(s.to.size(), [&](int x, int y) {
        const int a = horizontal ? x : y;
        const bool low = a < half;
        int source = 0;
        if (inward) {
            source = low ? a + first : a - second;
        } else {
            source = low ? a - first : a + second;
        }
        const bool inPlace = low ? source >= 0 && source < half : source >= half && source < len;
        if (!inPlace) {
            return at(s.from, x, y);
        }
        return horizontal ? at(s.to, source, y) : at(s.to, x, source);
    });
}

// "pursue": lines of the new page fly in one after another and stack up
// from the far edge, onto a cleared sign.
QImage pursue(const EffectScene& s, double t, Dir dir) {
    const Axis axis{dir, s.to.size()};
    const int len = axis.length();
    const double done = t * len;
    const int placed = std::min(len, static_cast<int>(done));
    const int flying = len - 1 - placed;  // where the line in flight lands
    const int position = static_cast<int>((done - placed) * flying);
    return compose(s.to.size(), [&](int x, int y) {
        const int a = axis.along(x, y);
        if (a > flying) {
            return at(s.to, x, y);
        }
        if (a == position && flying >= 0) {
            const QPoint p = axis.point(x, y, flying);
            return at(s.to, p.x(), p.y());
        }
        return kDark;
    });
}

// Uncovered by a distance of each LED from corners or the centre, given in
// fractions u = x / width, v = y / height; the LEDs whose distance is below
// t show the new page.
template <typename Distance>
QImage spread(const EffectScene& s, double t, Distance distance) {
    const double w = s.to.width();
    const double h = s.to.height();
    return reveal(s, [&](int x, int y) { return distance((x + 0.5) / w, (y + 0.5) / h) < t; });
}

// A fan sweeping round its centre: from the top-left corner across the
// quarter, or from the centre round the whole sign, clockwise from 12.
QImage fan(const EffectScene& s, double t, bool fromCorner) {
    const double cx = fromCorner ? 0 : s.to.width() / 2.0;
    const double cy = fromCorner ? 0 : s.to.height() / 2.0;
    return reveal(s, [&](int x, int y) {
        const double dx = x + 0.5 - cx;
        const double dy = y + 0.5 - cy;
        if (fromCorner) {
            return std::atan2(dy, dx) <= t * kPi / 2;
        }
        double angle = std::atan2(dx, -dy);
        if (angle < 0) {
            angle += 2 * kPi;
        }
        return angle < t * 2 * kPi;
    });
}

// A circle round the centre growing out, or closing in from the edges.
QImage circle(const EffectScene& s, double t, bool outward) {
    const double cx = s.to.width() / 2.0;
    const double cy = s.to.height() / 2.0;
    const double reach = std::hypot(cx, cy);
    return reveal(s, [&](int x, int y) {
        const double r = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
        return outward ? r < t * reach : r >= (1 - t) * reach;
    });
}

QImage flicker(const EffectScene& s, double t) {
    const bool lit = t >= 1 || static_cast<int>(t * 6) % 2 == 0;
    if (lit) {
        return s.to;
    }
    QImage dark(s.to.size(), QImage::Format_RGB32);
    dark.fill(kDark);
    return dark;
}

QImage clockPage(const EffectScene& s, double) {
    return s.glyphs.size() < kNarrowCellBytes ? s.to : clockFace(s.to.size(), s.glyphs, s.clock);
}

}  // namespace

const std::array<EffectFrame, kEntryEffectCount>& entryAnimations() {
    using S = const EffectScene&;
    static const std::array<EffectFrame, kEntryEffectCount> table = {
        [](S s, double) { return s.to; },                           // immediately
        [](S s, double t) { return shift(s, t, Dir::Left); },       // right to left shift
        [](S s, double t) { return shift(s, t, Dir::Right); },      // left rightwards move
        [](S s, double t) { return shift(s, t, Dir::Up); },         // bottom draw in upward
        [](S s, double t) { return shift(s, t, Dir::Down); },       // top get down to draw in
        [](S s, double t) { return wipe(s, t, Dir::Right); },       // left rightwards launch
        [](S s, double t) { return wipe(s, t, Dir::Left); },        // right to left launch
        [](S s, double t) { return wipe(s, t, Dir::Down); },        // top get down to launch
        [](S s, double t) { return wipe(s, t, Dir::Up); },          // bottom launch upward
        [](S s, double t) { return curtain(s, t, true, true); },    // both sides to centre
        [](S s, double t) { return curtain(s, t, true, false); },   // centre to both sides
        [](S s, double t) { return curtain(s, t, false, true); },   // top and bottom to centre
        [](S s, double t) { return curtain(s, t, false, false); },  // centre up and down
        [](S s, double t) { return blinds(s, t, Dir::Right); },     // blinds rightwards
        [](S s, double t) { return blinds(s, t, Dir::Left); },      // blinds leftwards
        [](S s, double t) { return blinds(s, t, Dir::Down); },      // blinds down
        [](S s, double t) { return blinds(s, t, Dir::Up); },        // blinds up
        [](S s, double t) { return halves(s, t, true, true); },     // both sides move in
        [](S s, double t) { return halves(s, t, true, false); },    // centre moves out
        [](S s, double t) { return halves(s, t, false, true); },    // top and bottom move in
        [](S s, double t) { return halves(s, t, false, false); },   // centre moves up and down
        [](S s, double t) { return pursue(s, t, Dir::Left); },      // right to left pursue
        [](S s, double t) { return pursue(s, t, Dir::Right); },     // left rightwards pursue
        [](S s, double t) { return pursue(s, t, Dir::Up); },        // bottom pursue upward
        [](S s, double t) { return pursue(s, t, Dir::Down); },      // top get down to pursue
        [](S s, double t) {                                         // from the top-left corner
            return spread(s, t, [](double u, double v) { return (u + v) / 2; });
        },
        [](S s, double t) {  // from the bottom-left corner
            return spread(s, t, [](double u, double v) { return (u + 1 - v) / 2; });
        },
        [](S s, double t) {  // from the top-right corner
            return spread(s, t, [](double u, double v) { return (1 - u + v) / 2; });
        },
        [](S s, double t) {  // from the bottom-right corner
            return spread(s, t, [](double u, double v) { return (2 - u - v) / 2; });
        },
        [](S s, double t) {  // top-left and bottom-right corners to the centre
            return spread(s, t, [](double u, double v) { return std::min(u + v, 2 - u - v); });
        },
        [](S s, double t) {  // bottom-left and top-right corners to the centre
            return spread(s, t, [](double u, double v) { return std::min(u + 1 - v, 1 - u + v); });
        },
        [](S s, double t) {  // four corners to the centre
            return spread(s, t, [](double u, double v) {
                return std::min({u + v, 2 - u - v, u + 1 - v, 1 - u + v});
            });
        },
        [](S s, double t) {  // centre to the top-left and bottom-right corners
            return spread(s, t, [](double u, double v) { return std::abs(u + v - 1); });
        },
        [](S s, double t) {  // centre to the bottom-left and top-right corners
            return spread(s, t, [](double u, double v) { return std::abs(u - v); });
        },
        [](S s, double t) {  // centre to the four corners
            return spread(s, t,
                          [](double u, double v) { return std::abs(u - 0.5) + std::abs(v - 0.5); });
        },
        [](S s, double t) { return fan(s, t, true); },      // fan from the top-left corner
        [](S s, double t) { return fan(s, t, false); },     // fan round the centre
        [](S s, double t) { return circle(s, t, true); },   // circle out from the centre
        [](S s, double t) { return circle(s, t, false); },  // circle in from all sides
        clockPage,                                          // time
        flicker,                                            // flicker
    };
    return table;
}

QImage effectFrame(int code, const EffectScene& scene, double t) {
    if (code <= 0 || code >= kEntryEffectCount || t >= 1.0) {
        return code == kClockEffect ? clockPage(scene, t) : scene.to;
    }
    return entryAnimations()[static_cast<size_t>(code)](scene, std::max(0.0, t));
}

int effectMs(int code, int speed) {
    if (code <= 0 || code >= kEntryEffectCount || code == kClockEffect) {
        return 0;
    }
    if (code == kFlickerEffect) {
        return 6 * (120 + 30 * speed);
    }
    const int move = 600 + 150 * speed;
    return code >= 21 && code <= 24 ? 2 * move : move;  // lines flying in one by one
}

QImage clockFace(QSize screen, const QByteArray& glyphs, QTime now) {
    QImage face(screen, QImage::Format_RGB32);
    face.fill(kDark);
    const QString text =
        now.toString(screen.width() >= 64 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
    const int left = (screen.width() - 8 * static_cast<int>(text.size())) / 2;
    const int top = (screen.height() - kGlyphCellHeight) / 2;
    for (int i = 0; i < text.size(); ++i) {
        const int cell = static_cast<int>(glyphCharacters().indexOf(QString(text[i])));
        if (cell < 0 || cell >= kNarrowCells) {
            continue;
        }
        for (int row = 0; row < kGlyphCellHeight; ++row) {
            const qsizetype index = cell * kGlyphCellHeight + row;
            const int bits = index < glyphs.size() ? static_cast<uint8_t>(glyphs[index]) : 0;
            for (int bit = 0; bit < 8; ++bit) {
                const int x = left + 8 * i + bit;
                const int y = top + row;
                if ((bits & (0x80 >> bit)) && x >= 0 && y >= 0 && x < screen.width() &&
                    y < screen.height()) {
                    face.setPixel(x, y, kClockColour);
                }
            }
        }
    }
    return face;
}

ShowTimeline::ShowTimeline(std::vector<PlayedPage> pages) : m_pages(std::move(pages)) {
    for (const PlayedPage& page : m_pages) {
        m_total += effectMs(page.effect, page.speed) + qint64(page.time) * 1000;
    }
}

ShowMoment ShowTimeline::at(qint64 ms) const {
    qint64 start = 0;
    for (size_t i = 0; i < m_pages.size(); ++i) {
        const PlayedPage& page = m_pages[i];
        const int effect = effectMs(page.effect, page.speed);
        const qint64 end = start + effect + qint64(page.time) * 1000;
        if (ms < end) {
            const double progress = ms - start < effect ? double(ms - start) / effect : 1.0;
            return {static_cast<int>(i), std::max(0.0, progress)};
        }
        start = end;
    }
    return {};
}

void forEachShowFrame(const std::vector<QImage>& leds, const ShowTimeline& show,
                      const QByteArray& glyphs, QTime now, int maxFrames,
                      const std::function<void(const QImage& frame, int ms)>& take) {
    const std::vector<PlayedPage>& pages = show.pages();
    if (pages.empty() || leds.size() < pages.size()) {
        return;
    }
    qint64 effects = 0;
    for (const PlayedPage& page : pages) {
        effects += effectMs(page.effect, page.speed);
    }
    const qint64 frameMs = std::max<qint64>(
        kMinFrameMs, (effects + std::max(1, maxFrames) - 1) / std::max(1, maxFrames));
    QImage before(leds.front().size(), QImage::Format_RGB32);
    before.fill(kDark);
    for (size_t i = 0; i < pages.size(); ++i) {
        const EffectScene scene{before, leds[i], glyphs, now};
        const int code = pages[i].effect;
        const qint64 effect = effectMs(code, pages[i].speed);
        const qint64 frames = effect / frameMs;
        for (qint64 k = 0; k < frames; ++k) {
            const int ms = static_cast<int>((k + 1) * effect / frames - k * effect / frames);
            take(effectFrame(code, scene, double(k) / frames), ms);
        }
        before = effectFrame(code, scene, 1.0);
        const qint64 hold = qint64(pages[i].time) * 1000 + (frames == 0 ? effect : 0);
        take(before, static_cast<int>(std::max(hold, frameMs)));
    }
}

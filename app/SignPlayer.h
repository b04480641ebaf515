#pragma once

#include "transfer/EntryEffects.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <map>

// Plays pages with their entry effects in real time: each page's effect,
// then the page for its display time, one after another, once through.
class SignPlayer : public QObject {
    Q_OBJECT
  public:
    // The LEDs of a page of the list (by its number).
    using PageLeds = std::function<QImage(int page)>;

    explicit SignPlayer(QObject* parent = nullptr);

    // pages: the page numbers to play, in order, with their effects;
    // before: what the sign shows when the first effect starts.
    void play(const std::vector<int>& pageNumbers, const std::vector<PlayedPage>& pages,
              const QImage& before, PageLeds leds, const QByteArray& glyphs);
    void stop();
    bool playing() const { return m_timer.isActive(); }

    // The LEDs now, and which page plays.
    const QImage& frame() const { return m_frame; }
    int page() const;

    // Moves the show to a moment, as the timer does (for a look at a frame).
    void showAt(qint64 ms);

  signals:
    void frameChanged();
    void finished();

  private:
    void tick();
    QImage ledsOf(size_t index);

    QTimer m_timer;
    QElapsedTimer m_clock;
    ShowTimeline m_show{{}};
    std::vector<int> m_numbers;
    PageLeds m_leds;
    QByteArray m_glyphs;
    std::map<size_t, QImage> m_cache;
    size_t m_index = 0;  // the page whose effect m_before leads into
    QImage m_before;
    QImage m_frame;
};

#include "app/SignPlayer.h"

namespace {

constexpr int kFrameMs = 40;

}  // namespace

SignPlayer::SignPlayer(QObject* parent) : QObject(parent) {
    m_timer.setInterval(kFrameMs);
    connect(&m_timer, &QTimer::timeout, this, &SignPlayer::tick);
}

void SignPlayer::play(const std::vector<int>& pageNumbers, const std::vector<PlayedPage>& pages,
                      const QImage& before, PageLeds leds, const QByteArray& glyphs) {
    m_numbers = pageNumbers;
    m_show = ShowTimeline(pages);
    m_leds = std::move(leds);
    m_glyphs = glyphs;
    m_cache.clear();
    m_index = 0;
    m_before = before;
    m_clock.start();
    m_timer.start();
    showAt(0);
}

void SignPlayer::stop() {
    const bool was = playing();
    m_timer.stop();
    m_cache.clear();
    if (was) {
        emit finished();
    }
}

int SignPlayer::page() const {
    return m_index < m_numbers.size() ? m_numbers[m_index] : 0;
}

QImage SignPlayer::ledsOf(size_t index) {
    auto found = m_cache.find(index);
    if (found == m_cache.end()) {
        // Only the pages around the one playing are kept.
        m_cache.erase(m_cache.begin(), m_cache.lower_bound(index > 0 ? index - 1 : 0));
        found = m_cache.emplace(index, m_leds(m_numbers[index])).first;
    }
    return found->second;
}

void SignPlayer::tick() {
    showAt(m_clock.elapsed());
}

void SignPlayer::showAt(qint64 ms) {
    const ShowMoment moment = m_show.at(ms);
    if (moment.page < 0 || m_numbers.empty()) {
        stop();
        return;
    }
    const std::vector<PlayedPage>& pages = m_show.pages();
    const QTime now = QTime::currentTime();
    // Pages whose time is over lead into the next: it starts from what the
    // sign showed at their end.
    while (m_index < static_cast<size_t>(moment.page)) {
        const EffectScene done{m_before, ledsOf(m_index), m_glyphs, now};
        m_before = effectFrame(pages[m_index].effect, done, 1.0);
        ++m_index;
    }
    const EffectScene scene{m_before, ledsOf(m_index), m_glyphs, now};
    m_frame = effectFrame(pages[m_index].effect, scene, moment.progress);
    emit frameChanged();
}

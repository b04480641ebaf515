#include "emulator/VirtualSign.h"

#include "transfer/SignView.h"

#include <QPainter>

#include <algorithm>

namespace {

std::vector<PlayedPage> playedPages(const SignPlay& play) {
    std::vector<PlayedPage> played;
    for (const ShownPage& page : play.pages) {
        played.push_back({page.effect, page.speed, page.time});
    }
    return played;
}

QImage darkSign(QSize screen) {
    QImage dark(screen.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    dark.fill(Qt::black);
    return dark;
}

constexpr int kFootHeight = 30;  // the line of text under the sign
constexpr int kFrameMs = 40;

}  // namespace

SignLoop::SignLoop(SignPlay play) : m_play(std::move(play)), m_show(playedPages(m_play)) {}

QImage SignLoop::ledsAt(qint64 ms, int* page) const {
    const std::vector<ShownPage>& pages = m_play.pages;
    if (page) {
        *page = pages.empty() ? -1 : 0;
    }
    if (pages.empty()) {
        return darkSign(m_play.screen);
    }
    if (m_show.totalMs() <= 0) {
        return pages.front().image;  // nothing moves: the first page stays
    }
    const bool firstPass = ms < m_show.totalMs();
    const ShowMoment moment = m_show.at(ms % m_show.totalMs());
    const int index = std::max(0, moment.page);
    if (page) {
        *page = index;
    }
    const ShownPage& shown = pages[static_cast<size_t>(index)];
    EffectScene scene;
    scene.from = index > 0   ? pages[static_cast<size_t>(index - 1)].image
                 : firstPass ? darkSign(shown.image.size())
                             : pages.back().image;
    scene.to = shown.image;
    scene.glyphs = m_play.glyphs;
    scene.clock = clockAt(ms);
    return effectFrame(shown.effect, scene, moment.progress);
}

VirtualSignWindow::VirtualSignWindow(const QString& where) : m_where(where) {
    setTitle(QStringLiteral("Virtual sign — %1").arg(where));
    m_since.start();
    m_frames.setInterval(kFrameMs);
    connect(&m_frames, &QTimer::timeout, this, [this] { update(); });
    m_frames.start();
}

void VirtualSignWindow::showPlay(const SignPlay& play) {
    QMetaObject::invokeMethod(
        this, [this, play] { setPlay(play); }, Qt::QueuedConnection);
}

void VirtualSignWindow::setPlay(const SignPlay& play) {
    const bool sized = m_loop.play().screen.isValid();
    m_loop = SignLoop(play);
    m_since.restart();
    if (!sized) {
        // A first size that shows the sign large on an ordinary desktop.
        const QSize screen = play.screen.expandedTo(QSize(1, 1));
        const int zoom = std::clamp(std::min(1000 / screen.width(), 560 / screen.height()), 1, 24);
        resize(screen.width() * zoom + 40, screen.height() * zoom + 40 + kFootHeight);
    }
    update();
}

QImage VirtualSignWindow::render(QSize size, qint64 ms) const {
    QImage canvas(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    canvas.fill(QColor(0x10, 0x10, 0x10));
    QPainter painter(&canvas);
    int page = -1;
    const QImage leds = m_loop.ledsAt(ms, &page);
    const QRect area(0, 0, canvas.width(), std::max(1, canvas.height() - kFootHeight));
    // Whole screen pixels a LED while it fits; a sign larger than the window
    // is shown scaled down.
    const int fits = std::min(area.width() / std::max(1, leds.width()),
                              area.height() / std::max(1, leds.height()));
    const int zoom = std::clamp(fits, 1, maxZoom(leds.size(), 64));
    QImage view = zoomView(leds, zoom, ViewStyle::Dots);
    if (view.width() > area.width() || view.height() > area.height()) {
        view = view.scaled(area.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    painter.drawImage(area.center() - view.rect().center(), view);

    const SignPlay& play = m_loop.play();
    const int count = static_cast<int>(play.pages.size());
    QString foot = count == 0
                       ? QStringLiteral("%1 × %2 · waiting for a list on %3")
                             .arg(play.screen.width())
                             .arg(play.screen.height())
                             .arg(m_where)
                       : QStringLiteral("%1 × %2 · page %3 of %4 · clock %5 · effects approximate")
                             .arg(play.screen.width())
                             .arg(play.screen.height())
                             .arg(page + 1)
                             .arg(count)
                             .arg(m_loop.clockAt(ms).toString(QStringLiteral("HH:mm:ss")));
    painter.setPen(QColor(0xd0, 0xd0, 0xd0));
    painter.drawText(QRect(10, canvas.height() - kFootHeight, canvas.width() - 20, kFootHeight),
                     Qt::AlignVCenter | Qt::AlignLeft, foot);
    return canvas;
}

void VirtualSignWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, render(size(), m_since.elapsed()));
}

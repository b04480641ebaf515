#include "app/PagePreview.h"

#include "app/DisplayNames.h"
#include "app/PictureLoader.h"
#include "app/PreviewStage.h"
#include "app/SignPlayer.h"
#include "app/SignViewBar.h"
#include "core/ProgramFolder.h"
#include "pages/EffectCatalogue.h"
#include "transfer/GlyphTable.h"
#include "transfer/PagePreparation.h"
#include "transfer/SignView.h"

namespace {

QSize screenOf(const Settings& s) {
    return {s.WIDTH, s.HEIGHT};
}

}  // namespace

PagePreview::PagePreview(const QString& folder, const PageList& pages,
                         std::function<Settings()> settings, SignViewBar* bar, PreviewStage* stage,
                         QObject* parent)
    : QObject(parent),
      m_folder(folder),
      m_pages(pages),
      m_settings(std::move(settings)),
      m_bar(bar),
      m_stage(stage),
      m_player(new SignPlayer(this)),
      m_loader(new PictureLoader(this)) {
    connect(m_loader, &PictureLoader::loaded, this, &PagePreview::redraw);
    m_stage->surface()->setRenderer([this] { return render(); });
    m_bar->setShownZoom([this] { return m_stage->shownZoom(); });
    m_bar->watchWheel(m_stage->viewport());
    connect(m_bar, &SignViewBar::zoomChanged, this, &PagePreview::relayout);
    connect(m_stage, &PreviewStage::areaResized, this, &PagePreview::relayout);
    connect(m_bar, &SignViewBar::modeChanged, this, &PagePreview::redraw);
    connect(m_bar, &SignViewBar::playPageClicked, this, [this] { play(false); });
    connect(m_bar, &SignViewBar::playListClicked, this, [this] { play(true); });
    connect(m_player, &SignPlayer::frameChanged, this, [this] {
        const int page = m_player->page();
        const int code = m_pages.item(page).InMode;
        m_bar->showPlaying(true, m_wholeList, tr("page %1, %2").arg(page).arg(effectName(code)));
        m_stage->surface()->repaint();
    });
    connect(m_player, &SignPlayer::finished, this, [this] {
        m_bar->showPlaying(false, false, QString());
        redraw();
    });
}

void PagePreview::redraw() {
    m_stage->surface()->update();
}

void PagePreview::relayout() {
    const QSize screen = screenOf(m_settings());
    m_bar->setZoomLimit(maxZoom(screen, SignViewBar::kMaxZoom));
    m_stage->relayout(screen, m_bar->chosenZoom());
    redraw();
}

void PagePreview::pageChanged() {
    m_player->stop();
    m_ownPixels = false;
    redraw();
}

QString PagePreview::shownFile(const QString& file) {
    if (!isLivePage(file)) {
        return resolveInFolder(m_folder, file);
    }
    const Settings s = m_settings();
    const QString key =
        QStringLiteral("%1|%2x%3").arg(resolveInFolder(m_folder, file)).arg(s.WIDTH).arg(s.HEIGHT);
    const QDateTime now = QDateTime::currentDateTime();
    auto kept = m_live.find(key);
    if (kept == m_live.end() || (kept->watch.next.isValid() && kept->watch.next <= now) ||
        kept->watch.filesChanged()) {
        PageList one;
        one.setPagePicture(file);
        const LiveRendering rendering = renderLivePages(s, one, m_folder, now);
        kept = m_live.insert(key, {resolveInFolder(m_folder, rendering.pages.item(1).FileName),
                                   rendering.messages.value(0), rendering.watch});
    }
    return kept->file;
}

QString PagePreview::pictureError(const QString& file) {
    const QString shown = shownFile(file);
    const QString error = m_loader->wait(shown, screenOf(m_settings())).error;
    const auto live = m_live.constFind(QStringLiteral("%1|%2x%3")
                                           .arg(resolveInFolder(m_folder, file))
                                           .arg(m_settings().WIDTH)
                                           .arg(m_settings().HEIGHT));
    if (isLivePage(file) && live != m_live.constEnd() && !live->message.isEmpty()) {
        return live->message;
    }
    return error;
}

QString PagePreview::click() {
    const QString file = m_pages.item(m_pages.currentPage()).FileName;
    if (file.isEmpty()) {
        return {};
    }
    const PictureLoad picture = m_ownSize.load(shownFile(file), QSize());
    if (!picture.error.isEmpty()) {
        return picture.error;
    }
    m_player->stop();
    m_ownPixels = !m_ownPixels;
    redraw();
    return {};
}

void PagePreview::finishLoading() {
    const QString file = m_pages.item(m_pages.currentPage()).FileName;
    if (!file.isEmpty()) {
        m_loader->find(shownFile(file), screenOf(m_settings()));  // asked for, if it was not
    }
    m_loader->finish();
}

void PagePreview::showSending(const QImage& page) {
    m_sending = page;
    m_stage->surface()->repaint();
}

QImage PagePreview::pageLeds(int page, bool sign) {
    const Settings s = m_settings();
    const QSize screen = screenOf(s);
    const QString file = m_pages.item(page).FileName;
    if (file.isEmpty()) {
        return previewImage(nullptr, screen);  // black, lit nowhere whatever the settings
    }
    const PictureLoad picture = m_pictures.load(shownFile(file), screen);
    return ledsOf(&picture, sign);
}

QImage PagePreview::ledsOf(const PictureLoad* picture, bool sign) const {
    const Settings s = m_settings();
    const QSize screen = screenOf(s);
    if (!picture) {
        return previewImage(nullptr, screen);
    }
    if (!picture->error.isEmpty() || !sign) {
        return previewImage(picture, screen);
    }
    return pictureLeds(picture->image, s);
}

SurfacePicture PagePreview::render() {
    const Settings s = m_settings();
    const QSize screen = screenOf(s);
    const bool sign = m_bar->mode() == SignViewBar::Mode::Sign;
    const ViewStyle style = sign ? ViewStyle::Dots : ViewStyle::Squares;
    if (m_player->playing()) {
        return {m_player->frame(), ViewStyle::Dots};
    }
    if (!m_sending.isNull()) {
        const Depth depth = typeFamily(s.TYPE).depth;
        return {sign ? signLeds(m_sending, depth, screen, {s.RG_SWAP, s.COLOR_SWAP}) : m_sending,
                style};
    }
    const int page = m_pages.currentPage();
    const QString file = m_pages.item(page).FileName;
    if (m_ownPixels && !file.isEmpty()) {
        const PictureLoad picture = m_ownSize.load(shownFile(file), QSize());
        return {previewImage(&picture, screen, true), ViewStyle::Squares};
    }
    // The picture comes from the worker; until it has, the view stays as it
    // was (black at first or for another screen).
    const PictureLoad* picture = file.isEmpty() ? nullptr : m_loader->find(shownFile(file), screen);
    if (!file.isEmpty() && !picture) {
        if (m_lastShown.leds.size() != screen) {
            m_lastShown = {previewImage(nullptr, screen), style};
        }
        return m_lastShown;
    }
    if (!sign) {
        m_lastShown = {ledsOf(picture, false), style};
        return m_lastShown;
    }
    // The sign is decoded again only when its picture or the settings change.
    const QString key = QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                            .arg(picture ? picture->image.cacheKey() : 0)
                            .arg(file.isEmpty())
                            .arg(s.WIDTH)
                            .arg(s.HEIGHT)
                            .arg(s.TYPE)
                            .arg(int(s.RG_SWAP) * 4 + int(s.COLOR_SWAP) * 2 + int(s.ADJUST))
                            .arg(picture ? picture->error : QString());
    if (key != m_signKey) {
        m_signLeds = ledsOf(picture, true);
        m_signKey = key;
    }
    const bool broken = picture && !picture->error.isEmpty();
    m_lastShown = {m_signLeds, broken ? ViewStyle::Squares : style};
    return m_lastShown;
}

void PagePreview::play(bool wholeList) {
    if (m_player->playing()) {
        m_player->stop();
        return;
    }
    std::vector<int> numbers;
    std::vector<PlayedPage> played;
    const int first = wholeList ? 1 : m_pages.currentPage();
    const int last = wholeList ? m_pages.PageCount() : m_pages.currentPage();
    for (int page = std::max(1, first); page <= last; ++page) {
        const PlayItem& item = m_pages.item(page);
        numbers.push_back(page);
        played.push_back({item.InMode, item.DispSpeed, item.DispTime});
    }
    if (numbers.empty()) {
        return;
    }
    // One page plays from the page before it; the list from a dark sign.
    const Settings s = m_settings();
    QImage before(screenOf(s), QImage::Format_RGB32);
    before.fill(Qt::black);
    if (!wholeList && first > 1) {
        before = pageLeds(first - 1, true);
    }
    static const QByteArray glyphs = glyphTable();
    m_ownPixels = false;
    m_wholeList = wholeList;
    m_player->play(
        numbers, played, before, [this](int page) { return pageLeds(page, true); }, glyphs);
}

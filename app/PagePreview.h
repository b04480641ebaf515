#pragma once

#include "app/PreviewSurface.h"
#include "core/Settings.h"
#include "import/LivePage.h"
#include "pages/PageList.h"
#include "pages/Preview.h"

#include <QHash>
#include <QObject>

#include <functional>

class PictureLoader;
class PreviewStage;
class SignPlayer;
class SignViewBar;

// What the preview shows of the current page, and the sign view's controls:
//  - sign: the LEDs decoded from the bytes SEND would write for the page
//    (round dots when zoomed);
//  - picture: the page's picture stretched to the sign;
//  - after a click: the picture's own pixels, decoded at full size, at the
//    top left, until the page changes or the next click;
//  - while sending: the page being prepared; while playing: the effect.
class PagePreview : public QObject {
    Q_OBJECT
  public:
    PagePreview(const QString& folder, const PageList& pages, std::function<Settings()> settings,
                SignViewBar* bar, PreviewStage* stage, QObject* parent = nullptr);

    // Picture names resolve in folder from now on.
    void setFolder(const QString& folder) { m_folder = folder; }
    // Another page, list or screen: the page drawn anew, scaled, not playing.
    void pageChanged();
    // The click: the picture's own pixels, or back to the page. The reason
    // when the picture cannot be loaded (nothing changes then).
    QString click();
    // The page being prepared for sending; a null image when sending ends.
    void showSending(const QImage& page);
    // Why a page's picture cannot be loaded; empty when it can.
    QString pictureError(const QString& file);
    // Lays the frame out for the screen and the zoom.
    void relayout();
    // Waits for the current page's picture to be decoded for the view.
    void finishLoading();

    SignPlayer* player() const { return m_player; }

  private:
    SurfacePicture render();
    // The LEDs page lights (a picture that cannot be loaded shows its cross).
    QImage pageLeds(int page, bool sign);
    QImage ledsOf(const PictureLoad* picture, bool sign) const;
    void play(bool wholeList);
    void redraw();
    // The picture a page shows, resolved: a live page's rendering at this
    // moment (rendered again when a field or a file it reads has changed).
    QString shownFile(const QString& file);

    QString m_folder;
    const PageList& m_pages;
    std::function<Settings()> m_settings;
    SignViewBar* m_bar;
    PreviewStage* m_stage;
    SignPlayer* m_player;
    // Decoded at no less than the screen's size: for the view by a worker,
    // for the effects played here.
    PictureLoader* m_loader;
    PictureCache m_pictures;
    PictureCache m_ownSize;  // decoded at full size, for the click
    bool m_ownPixels = false;
    bool m_wholeList = false;
    QImage m_sending;
    // The last sign decoded, kept while its picture and settings stay.
    QImage m_signLeds;
    QString m_signKey;
    // Shown while the current page's picture is being decoded.
    SurfacePicture m_lastShown;
    // Live pages rendered, by file and screen.
    struct LiveShown {
        QString file;     // the rendering, or the .live file when there is none
        QString message;  // why it could not be rendered now
        LiveWatch watch;
    };
    QHash<QString, LiveShown> m_live;
};

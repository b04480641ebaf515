#include "emulator/SignOutput.h"

#include "platform/AnimatedPng.h"
#include "platform/AtomicFile.h"
#include "transfer/EntryEffects.h"
#include "transfer/SignView.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// An animated list is drawn in coarser steps rather than with more frames.
constexpr int kMaxAnimationFrames = 1500;
// The PNG quality that means zlib's fastest compression (level 1).
constexpr int kFastPng = 80;

// The list in motion as an animated PNG, each page's effect drawn by the
// same approximate animations as the window's play. Says what went wrong.
QString writeAnimation(const std::vector<QImage>& leds, const std::vector<PlayedPage>& played,
                       const QByteArray& glyphs, QTime clock, int zoom, const QString& path) {
    // At the lowest priority: the controller's answers come first.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
    AnimatedPngWriter writer;
    forEachShowFrame(leds, ShowTimeline(played), glyphs, clock, kMaxAnimationFrames,
                     [&](const QImage& frame, int ms) {
                         writer.addFrame(zoomView(frame, zoom, ViewStyle::Dots), ms);
                     });
    QString error;
    if (!writeFileAtomically(path, writer.finish(), &error)) {
        return QStringLiteral("cannot write %1: %2").arg(path, error);
    }
    return {};
}

}  // namespace

bool SignOutput::write(const QString& name, const QImage& picture, QStringList* problems) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    // Zoomed pictures are large: the fastest compression keeps the reply on time.
    zoomView(picture, zoom_, ViewStyle::Dots).save(&buffer, "PNG", zoom_ > 1 ? kFastPng : -1);
    QString error;
    const QString path = QDir(folder_).filePath(name);
    // The acknowledgement waits for the pictures: they are not flushed to
    // disk, which under a busy disk would make a long list's reply late.
    if (replaceFileUnflushed(path, png, &error)) {
        return true;
    }
    *problems << QStringLiteral("cannot write %1: %2").arg(path, error);
    return false;
}

QStringList SignOutput::showPages(const std::vector<ShownPage>& pages, const QByteArray& glyphs,
                                  QTime clock) {
    QStringList problems;
    const int count = static_cast<int>(pages.size());
    // Once for all the pictures: left by an emulator that was killed.
    removeStaleTemporaryFiles(folder_, QStringLiteral("playlist.txt"));
    QString list;
    for (int page = 1; page <= count; ++page) {
        const ShownPage& shown = pages[static_cast<size_t>(page - 1)];
        if (write(QStringLiteral("page%1.png").arg(page), shown.image, &problems)) {
            writtenPages_.insert(page);
        }
        list += QStringLiteral("page %1: effect %2 speed %3 time %4\n")
                    .arg(page)
                    .arg(shown.effect)
                    .arg(shown.speed)
                    .arg(shown.time);
    }
    // Pictures left from a longer earlier list would show pages the
    // controller no longer plays; only pictures this output wrote go.
    for (auto it = writtenPages_.begin(); it != writtenPages_.end();) {
        if (*it > count) {
            QFile::remove(QDir(folder_).filePath(QStringLiteral("page%1.png").arg(*it)));
            it = writtenPages_.erase(it);
        } else {
            ++it;
        }
    }
    QString error;
    const QString listPath = QDir(folder_).filePath(QStringLiteral("playlist.txt"));
    if (!replaceFileUnflushed(listPath, list.toUtf8(), &error)) {
        problems << QStringLiteral("cannot write %1: %2").arg(listPath, error);
    }
    if (animate_ && count > 0) {
        problems += collectAnimation();
        std::vector<QImage> leds;
        std::vector<PlayedPage> played;
        for (const ShownPage& page : pages) {
            leds.push_back(page.image);
            played.push_back({page.effect, page.speed, page.time});
        }
        animation_ = std::async(std::launch::async, writeAnimation, leds, played, glyphs, clock,
                                zoom_, QDir(folder_).filePath(QStringLiteral("playlist.png")));
    }
    return problems;
}

QStringList SignOutput::showClock(QSize screen, const QByteArray& glyphs, QTime clock) {
    QStringList problems;
    removeStaleTemporaryFiles(folder_, QStringLiteral("clock.png"));
    write(QStringLiteral("clock.png"), clockFace(screen, glyphs, clock), &problems);
    return problems;
}

QStringList SignOutput::collectAnimation() {
    if (!animation_.valid()) {
        return {};
    }
    const QString error = animation_.get();
    return error.isEmpty() ? QStringList() : QStringList(error);
}

#include "emulator/Emulator.h"

#include "platform/AnimatedPng.h"
#include "platform/AtomicFile.h"
#include "transfer/EntryEffects.h"
#include "transfer/SignView.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

constexpr char kExtraByte = '\xEE';
// A frame still incomplete after this pause is dropped: the sender writes a
// whole transmission at once, so a pause means it gave up on that one.
constexpr qint64 kFrameGapMs = 1000;
// An animated list is drawn in coarser steps rather than with more frames.
constexpr int kMaxAnimationFrames = 1500;
// The PNG quality that means zlib's fastest compression (level 1).
constexpr int kFastPng = 80;

QString hexByte(int value) {
    return QStringLiteral("0x%1").arg(value, 2, 16, QLatin1Char('0'));
}

QString pageFileName(int page) {
    return QStringLiteral("page%1.png").arg(page);
}

// The list in motion as an animated PNG, each page's effect drawn by the
// same approximate animations as the window's play, the clock in the glyph
// table the controller received. Says what went wrong, if anything.
QString writeAnimation(const std::vector<QImage>& leds, const std::vector<PlayedPage>& played,
                       const QByteArray& glyphs, int zoom, const QString& path) {
    // At the lowest priority: the controller's answers come first.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
    AnimatedPngWriter writer;
    forEachShowFrame(leds, ShowTimeline(played), glyphs, QTime::currentTime(), kMaxAnimationFrames,
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

Emulator::Emulator(const EmulatorOptions& options, LogSink log)
    : options_(options), log_(std::move(log)), controller_(options.controller) {
    // Made at once, so that a signal handler can stop the emulator even
    // while it starts; start() reports when this failed.
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        wake_[0] = wake_[1] = -1;
    }
}

Emulator::~Emulator() {
    collectAnimation();
    terminal_.close();
    for (int& fd : wake_) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

bool Emulator::start(const QString& folder, QString* error) {
    if (wake_[0] < 0) {
        if (error) {
            *error = QStringLiteral("cannot make a pipe");
        }
        return false;
    }
    if (!terminal_.open(error) || !terminal_.linkAs(folder, options_.port, error)) {
        terminal_.close();
        return false;
    }
    log(QStringLiteral("controller %1 on %2 (%3)")
            .arg(options_.controller.number)
            .arg(terminal_.linkPath(), terminal_.devicePath()));
    return true;
}

void Emulator::stop() {
    const char byte = 1;
    if (wake_[1] >= 0 && ::write(wake_[1], &byte, 1) < 0) {
        // The pipe is full: a stop is already pending.
    }
}

void Emulator::log(const QString& line) {
    if (log_) {
        log_(line);
        return;
    }
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

Emulator::Outcome Emulator::run() {
    if (!terminal_.isOpen()) {
        return Outcome::Failed;
    }
    QElapsedTimer clock;
    clock.start();
    qint64 lastTraffic = 0;
    for (;;) {
        qint64 now = clock.elapsed();
        while (!pending_.empty() && pending_.front().dueMs <= now) {
            QString error;
            if (!terminal_.writeAll(pending_.front().bytes, 2000, &error)) {
                log(QStringLiteral("reply not sent: %1").arg(error));
            }
            finished_ = finished_ || pending_.front().finishes;
            pending_.erase(pending_.begin());
        }
        if (finished_ && pending_.empty()) {
            // Closing now would hang up the port under the program before it
            // has read the reply.
            terminal_.waitUntilRead(2000);
            return Outcome::Done;
        }
        if (parser_.inFrame() && now - lastTraffic >= kFrameGapMs) {
            parser_.abandonFrame();
            log(QStringLiteral("incomplete frame dropped after a pause"));
        }
        const qint64 idleMs = qint64(options_.idleTimeoutSec) * 1000;
        if (idleMs > 0 && pending_.empty() && now - lastTraffic >= idleMs) {
            log(QStringLiteral("no traffic for %1 s: stopping").arg(options_.idleTimeoutSec));
            return Outcome::IdleTimeout;
        }

        qint64 waitMs = -1;
        const auto until = [&](qint64 due) {
            const qint64 left = std::max<qint64>(0, due - now);
            waitMs = waitMs < 0 ? left : std::min(waitMs, left);
        };
        if (!pending_.empty()) {
            until(pending_.front().dueMs);
        }
        if (parser_.inFrame()) {
            until(lastTraffic + kFrameGapMs);
        }
        if (idleMs > 0) {
            until(lastTraffic + idleMs);
        }
        pollfd entries[2] = {{terminal_.masterHandle(), POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(entries, 2, static_cast<int>(waitMs)) < 0 && errno != EINTR) {
            return Outcome::Failed;
        }
        if (entries[1].revents & POLLIN) {
            return Outcome::Stopped;
        }
        if (entries[0].revents & POLLIN) {
            const QByteArray bytes = terminal_.read(0);
            if (bytes.isEmpty()) {
                continue;
            }
            now = lastTraffic = clock.elapsed();
            const uint64_t skippedBefore = parser_.skippedBytes();
            parser_.feed(bytes.constData(), static_cast<size_t>(bytes.size()));
            if (parser_.skippedBytes() > skippedBefore) {
                log(QStringLiteral("skipped %1 bytes outside any frame")
                        .arg(parser_.skippedBytes() - skippedBefore));
            }
            for (const ReceivedFrame& frame : parser_.takeFrames()) {
                handle(frame, now);
            }
        } else if (entries[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            log(QStringLiteral("the pseudo-terminal failed"));
            return Outcome::Failed;
        }
    }
}

void Emulator::handle(const ReceivedFrame& frame, qint64 nowMs) {
    const FrameResponse response = controller_.handle(frame);
    if (response.endOfData) {
        // The pictures are there before the acknowledgement goes out.
        writePictures();
    }
    if (response.form == FrameResponse::Form::None) {
        log(response.log);
        return;
    }
    log(response.log + answer(response, nowMs));
}

// Queues the reply to a response, as the options say, and tells what was done.
QString Emulator::answer(const FrameResponse& response, qint64 nowMs) {
    if (options_.silent) {
        finished_ = finished_ || options_.once;
        return QStringLiteral("no reply (silent)");
    }
    const bool framed = response.form == FrameResponse::Form::Framed;
    QByteArray bytes = replyBytes(response);
    QString text;
    if (framed) {
        if (options_.wrongReply) {
            // The order the program itself sends.
            bytes[0] = '\x55';
            bytes[1] = '\xAA';
        }
        text = QStringLiteral("replied %1 bytes").arg(bytes.size());
        if (options_.wrongReply) {
            text += QStringLiteral(" starting 55 AA");
        }
    } else if (options_.wrongReply) {
        bytes[0] = '\0';
        text = QStringLiteral("replied %1 instead of %2").arg(hexByte(0), hexByte(response.code));
    } else {
        text = QStringLiteral("acknowledged %1").arg(hexByte(response.code));
    }
    if (options_.delayMs > 0) {
        text += QStringLiteral(" after %1 ms").arg(options_.delayMs);
    }
    if (!framed && options_.extraBytes > 0) {
        text += QStringLiteral(" with %1 extra bytes 0xee").arg(options_.extraBytes);
    }
    bytes.append(QByteArray(options_.extraBytes, kExtraByte));
    pending_.push_back({nowMs + options_.delayMs, bytes, options_.once});
    return text;
}

// Writes the pages of the play table as pictures plus playlist.txt.
void Emulator::writePictures() {
    if (options_.outDir.isEmpty() || !controller_.pageCount()) {
        return;
    }
    const std::vector<ShownPage> pages = controller_.shownPages();
    const int count = static_cast<int>(pages.size());
    const QDir dir(options_.outDir);
    QString list;
    QString error;
    for (int page = 1; page <= count; ++page) {
        const ShownPage& shown = pages[static_cast<size_t>(page - 1)];
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        // Zoomed pages are large: the fastest compression keeps the reply on time.
        zoomView(shown.image, options_.zoom, ViewStyle::Dots)
            .save(&buffer, "PNG", options_.zoom > 1 ? kFastPng : -1);
        const QString path = dir.filePath(pageFileName(page));
        if (writeFileAtomically(path, png, &error)) {
            written_.insert(path);
        } else {
            log(QStringLiteral("cannot write %1: %2").arg(path, error));
        }
        list += QStringLiteral("page %1: effect %2 speed %3 time %4\n")
                    .arg(page)
                    .arg(shown.effect)
                    .arg(shown.speed)
                    .arg(shown.time);
    }
    // Pictures left from a longer earlier transfer would show pages the
    // controller no longer plays; only files this emulator wrote are removed.
    for (auto it = written_.begin(); it != written_.end();) {
        const QString name = QFileInfo(*it).fileName();
        const int page = name.mid(4, name.size() - 8).toInt();
        if (page > count) {
            QFile::remove(*it);
            it = written_.erase(it);
        } else {
            ++it;
        }
    }
    const QString listPath = dir.filePath(QStringLiteral("playlist.txt"));
    if (!writeFileAtomically(listPath, list.toUtf8(), &error)) {
        log(QStringLiteral("cannot write %1: %2").arg(listPath, error));
    }
    if (options_.animate) {
        // Drawn beside the loop, so that the acknowledgement is not held up.
        collectAnimation();
        std::vector<QImage> leds;
        std::vector<PlayedPage> played;
        for (const ShownPage& page : pages) {
            leds.push_back(page.image);
            played.push_back({page.effect, page.speed, page.time});
        }
        animation_ = std::async(std::launch::async, writeAnimation, leds, played,
                                controller_.memory().read(kTableBank, kGlyphAddress, kGlyphBytes),
                                options_.zoom, dir.filePath(QStringLiteral("playlist.png")));
    }
}

void Emulator::collectAnimation() {
    if (animation_.valid()) {
        const QString error = animation_.get();
        if (!error.isEmpty()) {
            log(error);
        }
    }
}

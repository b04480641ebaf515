#include "emulator/Emulator.h"

#include "platform/AtomicFile.h"

#include <QDir>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

constexpr char kExtraByte = '\xEE';
constexpr char kNoiseByte = '\xFE';
constexpr qint64 kMs = 1'000'000;
// A frame still incomplete after this pause is dropped: the sender writes a
// whole transmission at once, so a pause means it gave up on that one.
constexpr qint64 kFrameGapNs = 1000 * kMs;
// Bytes on a paced line are taken at most this often.
constexpr qint64 kReadEveryNs = 2 * kMs;
constexpr int kReadChunk = 65536;

// With several controllers on the line, each writes into its own folder.
QString outFolder(const EmulatorOptions& options, qint64 number) {
    if (options.alsoNumbers.empty() || options.outDir.isEmpty()) {
        return options.outDir;
    }
    return options.outDir + QStringLiteral("/controller%1").arg(number);
}

QString hexByte(int value) {
    return QStringLiteral("0x%1").arg(value, 2, 16, QLatin1Char('0'));
}

}  // namespace

QStringList controllerOptionsFor(const Settings& s) {
    return {QStringLiteral("--num"),     QString::number(s.NUM),
            QStringLiteral("--type"),    QString::number(s.TYPE),
            QStringLiteral("--width"),   QString::number(s.WIDTH),
            QStringLiteral("--height"),  QString::number(s.HEIGHT),
            QStringLiteral("--scan"),    QString::number(s.SCAN),
            QStringLiteral("--bps"),     QString::number(s.baudRate()),
            QStringLiteral("--datacom"), s.COLOR_SWAP ? QStringLiteral("1") : QStringLiteral("0"),
            QStringLiteral("--rg-swap"), s.RG_SWAP ? QStringLiteral("1") : QStringLiteral("0")};
}

Emulator::Emulator(const EmulatorOptions& options, LogSink log)
    : options_(options),
      log_(std::move(log)),
      controller_(options.controller),
      output_(outFolder(options, options.controller.parameters.num), options.zoom,
              options.animate) {
    clock_.start();
    for (const int number : options.alsoNumbers) {
        ControllerSetup setup = options.controller;
        setup.parameters.num = number;
        neighbours_.push_back({std::make_unique<EmulatedController>(setup),
                               std::make_unique<SignOutput>(outFolder(options, number),
                                                            options.zoom, options.animate)});
    }
    // Made at once, so that a signal handler can stop the emulator even
    // while it starts; start() reports when this failed.
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        wake_[0] = wake_[1] = -1;
    }
}

Emulator::~Emulator() {
    for (const QString& problem : output_.collectAnimation()) {
        log(problem);
    }
    terminal_.close();
    for (int& fd : wake_) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

QString Emulator::describeSetup() const {
    return QStringLiteral("%1%2; %3, answers %4 ms after the last byte")
        .arg(describeSign(controller_.parameters()))
        .arg(options_.controller.rgSwap ? ", red and green swapped" : "")
        .arg(options_.pace ? "paced" : "not paced")
        .arg(options_.processingMs);
}

bool Emulator::start(const QString& folder, QString* error) {
    if (wake_[0] < 0) {
        if (error) {
            *error = QStringLiteral("cannot make a pipe");
        }
        return false;
    }
    if (!options_.recordFile.isEmpty()) {
        record_.setFileName(options_.recordFile);
        if (!record_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            if (error) {
                *error = QStringLiteral("cannot write %1: %2")
                             .arg(options_.recordFile, record_.errorString());
            }
            return false;
        }
    }
    if (!terminal_.open(error) || !terminal_.linkAs(folder, options_.port, error)) {
        terminal_.close();
        return false;
    }
    QString numbers = QString::number(controller_.parameters().num);
    for (const Neighbour& neighbour : neighbours_) {
        numbers += QStringLiteral(", %1").arg(neighbour.controller->parameters().num);
    }
    if (!options_.outDir.isEmpty()) {
        for (const int number : options_.alsoNumbers) {
            QDir().mkpath(outFolder(options_, number));
        }
        QDir().mkpath(outFolder(options_, controller_.parameters().num));
    }
    log(QStringLiteral("%1 %2 on %3 (%4): %5")
            .arg(neighbours_.empty() ? "controller" : "controllers", numbers)
            .arg(terminal_.linkPath(), terminal_.devicePath(), describeSetup()));
    publish();
    return true;
}

void Emulator::publish() {
    if (!options_.show) {
        return;
    }
    const ControllerParameters& p = controller_.parameters();
    options_.show({controller_.shownPages(), controller_.glyphTable(),
                   controller_.clockAt(nowNs() / kMs).time.time(),
                   QSize(static_cast<int>(p.width), static_cast<int>(p.height))});
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
    for (;;) {
        if (hungUp_) {
            return Outcome::HungUp;
        }
        qint64 now = nowNs();
        sendDue(now);
        if (finished_ && outgoing_.empty()) {
            // Closing now would hang up the port under the program before it
            // has read the reply.
            terminal_.waitUntilRead(2000);
            return Outcome::Done;
        }
        if (parser_.inFrame() && !inBurst_ && now - lastTrafficNs_ >= kFrameGapNs) {
            parser_.abandonFrame();
            log(QStringLiteral("incomplete frame dropped after a pause"));
        }
        const qint64 idleNs = qint64(options_.idleTimeoutSec) * 1000 * kMs;
        if (idleNs > 0 && outgoing_.empty() && !inBurst_ && now - lastTrafficNs_ >= idleNs) {
            log(QStringLiteral("no traffic for %1 s: stopping").arg(options_.idleTimeoutSec));
            return Outcome::IdleTimeout;
        }

        qint64 waitNs = -1;
        const auto until = [&](qint64 due) {
            const qint64 left = std::max<qint64>(0, due - now);
            waitNs = waitNs < 0 ? left : std::min(waitNs, left);
        };
        if (!outgoing_.empty()) {
            const Outgoing& next = outgoing_.front();
            until(next.startNs + (next.sent + 1) * next.byteNs);
        }
        if (inBurst_) {
            until(std::max(burstStartNs_ + (burstBytes_ + 1) * burstByteNs_,
                           now + (burstByteNs_ > 0 ? kReadEveryNs : 0)));
        } else if (parser_.inFrame()) {
            until(lastTrafficNs_ + kFrameGapNs);
        }
        if (idleNs > 0) {
            until(lastTrafficNs_ + idleNs);
        }
        // The line is watched only between bursts: within one, bytes are
        // taken as their time comes.
        const bool watchLine = reading_ && !inBurst_;
        pollfd entries[2] = {{terminal_.masterHandle(), short(watchLine ? POLLIN : 0), 0},
                             {wake_[0], POLLIN, 0}};
        const int waitMs = waitNs < 0 ? -1 : static_cast<int>((waitNs + kMs - 1) / kMs);
        if (poll(entries, 2, waitMs) < 0 && errno != EINTR) {
            return Outcome::Failed;
        }
        if (entries[1].revents & POLLIN) {
            return Outcome::Stopped;
        }
        if (watchLine && !(entries[0].revents & POLLIN) &&
            (entries[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
            log(QStringLiteral("the pseudo-terminal failed"));
            return Outcome::Failed;
        }
        readLine(nowNs(), (entries[0].revents & POLLIN) != 0);
    }
}

void Emulator::readLine(qint64 now, bool readable) {
    if (!reading_) {
        return;
    }
    if (!inBurst_) {
        if (!readable) {
            return;
        }
        // A burst begins: its bytes arrive one after another at the rate the
        // program set, the first a byte time from now.
        inBurst_ = true;
        burstStartNs_ = now;
        burstBytes_ = 0;
        burstReceived_ = 0;
        const int ownBps = static_cast<int>(controller_.parameters().bps);
        burstBps_ = terminal_.lineSpeed();
        if (burstBps_ <= 0) {
            burstBps_ = ownBps;
        }
        burstByteNs_ = options_.pace ? byteNanoseconds(burstBps_) : 0;
        uart_ = std::make_unique<UartReceiver>(burstBps_, ownBps);
        if (burstByteNs_ > 0) {
            return;
        }
    }
    qint64 due = burstByteNs_ > 0 ? (now - burstStartNs_) / burstByteNs_ - burstBytes_ : kReadChunk;
    if (due <= 0) {
        return;
    }
    const std::optional<qint64> limit =
        options_.hangUpAfter ? options_.hangUpAfter : options_.stopReadingAfter;
    qint64 want = std::min<qint64>(due, kReadChunk);
    if (limit) {
        want = std::min(want, *limit - received_);
    }
    const QByteArray raw = want > 0 ? terminal_.read(0, static_cast<int>(want)) : QByteArray();
    burstBytes_ += raw.size();
    if (!raw.isEmpty()) {
        take(raw, burstByteNs_ > 0 ? burstStartNs_ + burstBytes_ * burstByteNs_ : now);
    }
    if (limit && received_ >= *limit) {
        endBurst();
        if (options_.hangUpAfter) {
            log(QStringLiteral("hanging up after %1 bytes").arg(received_));
            terminal_.close();
            hungUp_ = true;
        } else {
            log(QStringLiteral("reading no more after %1 bytes").arg(received_));
            reading_ = false;
        }
    } else if (raw.size() < due) {
        endBurst();  // the line went quiet
    }
}

void Emulator::take(const QByteArray& raw, qint64 arrivalNs) {
    received_ += raw.size();
    if (record_.isOpen() && record_.write(raw) != raw.size()) {
        log(QStringLiteral("cannot write %1: %2").arg(record_.fileName(), record_.errorString()));
        record_.close();
    }
    lastTrafficNs_ = nowNs();
    const QByteArray bytes = uart_ ? uart_->receive(raw) : raw;
    burstReceived_ += bytes.size();
    parser_.feed(bytes.constData(), static_cast<size_t>(bytes.size()));
    for (const ReceivedFrame& frame : parser_.takeFrames()) {
        handle(frame, arrivalNs);
    }
}

void Emulator::endBurst() {
    inBurst_ = false;
    if (uart_ && !uart_->matched()) {
        const QByteArray rest = uart_->idle();
        burstReceived_ += rest.size();
        parser_.feed(rest.constData(), static_cast<size_t>(rest.size()));
        for (const ReceivedFrame& frame : parser_.takeFrames()) {
            handle(frame, nowNs());
        }
        log(QStringLiteral("%1 bytes at %2 bit/s reached a controller at %3 bit/s as %4 bytes "
                           "and %5 framing errors")
                .arg(burstBytes_)
                .arg(burstBps_)
                .arg(controller_.parameters().bps)
                .arg(burstReceived_)
                .arg(uart_->framingErrors()));
    }
    uart_.reset();
    // Counted over the burst: one line, not one for each piece read.
    const uint64_t skipped = parser_.skippedBytes() - skippedReported_;
    if (skipped > 0) {
        log(QStringLiteral("skipped %1 bytes outside any frame").arg(skipped));
        skippedReported_ = parser_.skippedBytes();
    }
}

void Emulator::handle(const ReceivedFrame& frame, qint64 arrivalNs) {
    // A frame goes to the controller with its number; number 0 (read and
    // save parameters, download) to the first alone, as two answers at
    // once would garble each other on a real bus.
    EmulatedController* target = &controller_;
    SignOutput* output = &output_;
    for (Neighbour& neighbour : neighbours_) {
        if (frame.controller != 0 && frame.controller == neighbour.controller->parameters().num) {
            target = neighbour.controller.get();
            output = neighbour.output.get();
        }
    }
    const FrameResponse response = target->handle(frame, arrivalNs / kMs);
    // The clock the sign shows: the one it was set to, running on.
    const QTime clock = target->clockAt(nowNs() / kMs).time.time();
    const QSize screen(static_cast<int>(target->parameters().width),
                       static_cast<int>(target->parameters().height));
    QStringList problems;
    if (response.endOfData && !options_.outDir.isEmpty()) {
        // The pictures are there before the acknowledgement goes out.
        problems += output->showPages(target->shownPages(), target->glyphTable(), clock);
    }
    if ((response.endOfData || response.clockSet) && !options_.outDir.isEmpty()) {
        problems += output->showClock(screen, target->glyphTable(), clock);
    }
    const QString prefix =
        neighbours_.empty() ? QString() : QStringLiteral("[%1] ").arg(target->parameters().num);
    log(prefix + (response.form == FrameResponse::Form::None
                      ? response.log
                      : response.log + answer(response, arrivalNs)));
    if (response.parametersSaved) {
        QString error;
        if (!options_.stateFile.isEmpty() &&
            !writeFileAtomically(options_.stateFile,
                                 (describeParameters(controller_.parameters()) + '\n').toUtf8(),
                                 &error)) {
            problems << QStringLiteral("cannot keep the parameters in %1: %2")
                            .arg(options_.stateFile, error);
        }
    }
    for (const QString& problem : problems) {
        log(problem);
    }
    if (response.endOfData || response.clockSet || response.parametersSaved) {
        publish();
    }
}

// Queues the reply to a response, as the options say, and tells what was done.
QString Emulator::answer(const FrameResponse& response, qint64 arrivalNs) {
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
    if (options_.noiseBytes > 0) {
        text += QStringLiteral(" after %1 noise bytes 0xfe").arg(options_.noiseBytes);
        bytes.prepend(QByteArray(options_.noiseBytes, kNoiseByte));
    }
    if (options_.extraBytes > 0) {
        text += QStringLiteral(" with %1 extra bytes 0xee").arg(options_.extraBytes);
        bytes.append(QByteArray(options_.extraBytes, kExtraByte));
    }
    const qint64 byteNs =
        options_.pace ? byteNanoseconds(static_cast<int>(controller_.parameters().bps)) : 0;
    const qint64 startNs = arrivalNs + (options_.processingMs + options_.delayMs) * kMs;
    outgoing_.push_back({startNs, bytes, byteNs, options_.once});
    return text;
}

void Emulator::sendDue(qint64 now) {
    while (!outgoing_.empty()) {
        Outgoing& next = outgoing_.front();
        if (now < next.startNs) {
            return;
        }
        const qint64 due = next.byteNs > 0 ? std::min<qint64>(next.bytes.size(),
                                                              (now - next.startNs) / next.byteNs)
                                           : next.bytes.size();
        if (due > next.sent) {
            QString error;
            if (!terminal_.writeAll(next.bytes.mid(next.sent, due - next.sent), 2000, &error)) {
                log(QStringLiteral("reply not sent: %1").arg(error));
            }
            next.sent = static_cast<int>(due);
        }
        if (next.sent < next.bytes.size()) {
            return;
        }
        finished_ = finished_ || next.finishes;
        outgoing_.pop_front();
    }
}

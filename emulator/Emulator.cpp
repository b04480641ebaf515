#include "emulator/Emulator.h"

#include "transfer/ParameterBlock.h"

#include "core/Settings.h"
#include "core/SettingsFile.h"
#include "platform/AtomicFile.h"
#include "transfer/MemoryMap.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>

namespace {

constexpr uint8_t kWriteBlock = 0x00;
constexpr uint8_t kEndOfData = 0x01;
constexpr uint8_t kSetClock = 0x02;
constexpr uint8_t kSetupDownload = 0x03;
constexpr uint8_t kSaveParameters = 0x04;
constexpr uint8_t kReadParameters = 0x05;
// Parameters and setup images arrive in bank 0 at 0x8000, sent to
// controller number 0, which every controller on the line takes.
constexpr int kSetupAddress = 0x8000;
constexpr int kSetupImageSize = 16384;
constexpr uint8_t kWrongReply = 0x00;
constexpr char kExtraByte = '\xEE';
// A frame still incomplete after this pause is dropped: the sender writes a
// whole transmission at once, so a pause means it gave up on that one.
constexpr qint64 kFrameGapMs = 1000;

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kDark = qRgb(0, 0, 0);

QString hexByte(int value) {
    return QStringLiteral("0x%1").arg(value, 2, 16, QLatin1Char('0'));
}

int byteAt(const QByteArray& bytes, int index) {
    return index < bytes.size() ? static_cast<uint8_t>(bytes[index]) : 0;
}

QString pageFileName(int page) {
    return QStringLiteral("page%1.png").arg(page);
}

}  // namespace

QImage decodePage(const QByteArray& bytes, Depth depth, int width, int height, bool colorSwap,
                  bool rgSwap) {
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    image.fill(kDark);
    const int rowLength = rowBytes(depth, width);
    const int invert = colorSwap ? 0xFF : 0x00;
    for (int y = 0; y < height; ++y) {
        for (int g = 0; g < rowLength; ++g) {
            const int byte = byteAt(bytes, y * rowLength + g) ^ invert;
            if (depth == Depth::DualColour) {
                for (int j = 0; j < 4; ++j) {
                    const bool high = byte & (0x80 >> (2 * j));
                    const bool low = byte & (0x40 >> (2 * j));
                    const bool red = rgSwap ? low : high;
                    const bool green = rgSwap ? high : low;
                    const QRgb colour = red ? (green ? kYellow : kRed) : (green ? kGreen : kDark);
                    image.setPixel(4 * g + j, y, colour);
                }
            } else {
                for (int j = 0; j < 8; ++j) {
                    if (byte & (0x80 >> j)) {
                        image.setPixel(8 * g + j, y, kRed);
                    }
                }
            }
        }
    }
    return image;
}

Emulator::Emulator(const EmulatorOptions& options, LogSink log)
    : options_(options), log_(std::move(log)) {
    // Made at once, so that a signal handler can stop the emulator even
    // while it starts; start() reports when this failed.
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        wake_[0] = wake_[1] = -1;
    }
    // The controller's own parameters: its number and screen, the rest at
    // their defaults.
    ControllerParameters parameters = defaultParameters(options_.type);
    parameters.num = options_.number;
    parameters.width = options_.width;
    parameters.height = options_.height;
    parameters.scanMode = options_.scan;
    parameters.light =
        lightMaximum(parameters.clock, parameters.scanMode, parameters.scanFrequency);
    parameters_ = encodeParameterBlock(parameters);
    if (options_.reportDefaults) {
        parameters_[0] = '\xFF';
    }
}

Emulator::~Emulator() {
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
            .arg(options_.number)
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
    const bool mine = frame.controller == options_.number || frame.controller == 0;
    const QString notMine =
        QStringLiteral(" for controller %1: not mine, no reply").arg(frame.controller);
    switch (frame.command) {
        case kWriteBlock: {
            if (!mine) {
                log(QStringLiteral("write block for controller %1: not mine, ignored")
                        .arg(frame.controller));
                return;
            }
            const int stored = memory_.write(frame.bank, frame.address, frame.data);
            QString line = QStringLiteral("write block: bank %1, address 0x%2, %3 bytes")
                               .arg(frame.bank)
                               .arg(frame.address, 4, 16, QLatin1Char('0'))
                               .arg(frame.data.size());
            if (frame.bank >= ControllerMemory::kBanks) {
                line += QStringLiteral(", no such bank: not stored");
            } else if (stored < frame.data.size()) {
                line += QStringLiteral(", %1 past the end of the bank dropped")
                            .arg(frame.data.size() - stored);
            }
            log(line);
            return;
        }
        case kEndOfData: {
            if (!mine) {
                log(QStringLiteral("end of data") + notMine);
                return;
            }
            const int pages = showPages();
            const QString what =
                pages < 0 ? QStringLiteral("no page layout for type T%1 at %2 x %3")
                                .arg(options_.type)
                                .arg(options_.width)
                                .arg(options_.height)
                          : QStringLiteral("%1 page%2").arg(pages).arg(pages == 1 ? "" : "s");
            log(QStringLiteral("end of data: %1, %2").arg(what, reply(kEndOfData, nowMs)));
            return;
        }
        case kSetClock: {
            if (!mine) {
                log(QStringLiteral("set clock") + notMine);
                return;
            }
            clock_ = frame.clock;
            const auto bcd = [&](int i) {
                return QStringLiteral("%1").arg(frame.clock[static_cast<size_t>(i)], 2, 16,
                                                QLatin1Char('0'));
            };
            log(QStringLiteral("set clock: %1-%2-%3 %4:%5:%6 weekday %7, %8")
                    .arg(bcd(0), bcd(2), bcd(3), bcd(4), bcd(5), bcd(6))
                    .arg(frame.clock[1])
                    .arg(reply(kSetClock, nowMs)));
            return;
        }
        case kReadParameters:
            log(QStringLiteral("read parameters: %1")
                    .arg(framedReply(kReadParameters, parameters_, nowMs)));
            return;
        case kSaveParameters: {
            const QByteArray stored = memory_.read(0, kSetupAddress, 36);
            if (!stored.endsWith("para")) {
                log(QStringLiteral("save parameters: no parameter block at 0x8000, no reply"));
                return;
            }
            parameters_ = stored.left(32);
            const ControllerParameters p = decodeParameterBlock(parameters_);
            log(QStringLiteral("save parameters: num %1, type T%2, %3 x %4, scan %5, %6 bit/s; %7")
                    .arg(p.num)
                    .arg(p.type)
                    .arg(p.width)
                    .arg(p.height)
                    .arg(p.scanMode)
                    .arg(p.bps)
                    .arg(framedReply(kSaveParameters, {}, nowMs)));
            return;
        }
        case kSetupDownload: {
            const QByteArray stored = memory_.read(0, kSetupAddress, kSetupImageSize + 4);
            unsigned sum = 0;
            for (qsizetype i = 0; i < kSetupImageSize + 3 && i < stored.size(); ++i) {
                sum += static_cast<uint8_t>(stored[i]);
            }
            if (stored.mid(kSetupImageSize, 3) != "dow" ||
                static_cast<uint8_t>(stored[kSetupImageSize + 3]) != 0xFF - (sum & 0xFF)) {
                log(QStringLiteral("setup download: no valid image at 0x8000, no reply"));
                return;
            }
            setupImage_ = stored.left(kSetupImageSize);
            log(QStringLiteral("setup download: %1 bytes, check byte good; %2")
                    .arg(kSetupImageSize)
                    .arg(framedReply(kSetupDownload, {}, nowMs)));
            return;
        }
        default:
            log(QStringLiteral("command %1 for controller %2: not handled, no reply")
                    .arg(hexByte(frame.command))
                    .arg(frame.controller));
            return;
    }
}

// Queues the status byte reply to code, as the options say, and tells what
// was done.
QString Emulator::reply(uint8_t code, qint64 nowMs) {
    if (options_.silent) {
        finished_ = finished_ || options_.once;
        return QStringLiteral("no reply (silent)");
    }
    const uint8_t value = options_.wrongReply ? kWrongReply : code;
    queue(QByteArray(1, static_cast<char>(value)), nowMs);
    QString text =
        options_.wrongReply
            ? QStringLiteral("replied %1 instead of %2").arg(hexByte(value), hexByte(code))
            : QStringLiteral("acknowledged %1").arg(hexByte(value));
    if (options_.delayMs > 0) {
        text += QStringLiteral(" after %1 ms").arg(options_.delayMs);
    }
    if (options_.extraBytes > 0) {
        text += QStringLiteral(" with %1 extra bytes 0xee").arg(options_.extraBytes);
    }
    return text;
}

void Emulator::queue(QByteArray bytes, qint64 nowMs) {
    bytes.append(QByteArray(options_.extraBytes, kExtraByte));
    pending_.push_back({nowMs + options_.delayMs, bytes, options_.once});
}

// Queues a framed reply: AA 55, a spare byte, the code, then the data. A
// wrong reply starts 55 AA, the order the program itself sends.
QString Emulator::framedReply(uint8_t code, const QByteArray& data, qint64 nowMs) {
    if (options_.silent) {
        finished_ = finished_ || options_.once;
        return QStringLiteral("no reply (silent)");
    }
    QByteArray bytes = options_.wrongReply ? QByteArray("\x55\xAA", 2) : QByteArray("\xAA\x55", 2);
    bytes += '\0';
    bytes += static_cast<char>(code);
    bytes += data;
    queue(bytes, nowMs);
    QString text = QStringLiteral("replied %1 bytes").arg(bytes.size());
    if (options_.wrongReply) {
        text += QStringLiteral(" starting 55 AA");
    }
    if (options_.delayMs > 0) {
        text += QStringLiteral(" after %1 ms").arg(options_.delayMs);
    }
    return text;
}

// Writes the pages of the play table as pictures plus playlist.txt, before
// the acknowledgement goes out. Returns the page count, or -1 when the
// screen and type give no page layout.
int Emulator::showPages() {
    const TypeFamily family = typeFamily(options_.type);
    const MemoryMap map = memoryMap(family, options_.width, options_.height, options_.scan);
    if (!map.fits()) {
        return -1;
    }
    const QByteArray head = memory_.read(kTableBank, map.A, 2);
    const int count = std::min(byteAt(head, 0) | (byteAt(head, 1) << 8), map.capacity());
    if (options_.outDir.isEmpty()) {
        return count;
    }
    const QDir dir(options_.outDir);
    QString list;
    QString error;
    for (int page = 1; page <= count; ++page) {
        const QImage image =
            decodePage(memory_.read(map.pageBank(page), map.pageAddress(page), map.P), family.depth,
                       options_.width, options_.height, options_.colorSwap, options_.rgSwap);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        const QString path = dir.filePath(pageFileName(page));
        if (writeFileAtomically(path, png, &error)) {
            written_.insert(path);
        } else {
            log(QStringLiteral("cannot write %1: %2").arg(path, error));
        }
        const QByteArray entry = memory_.read(kTableBank, map.A + 2 + 3 * (page - 1), 3);
        list += QStringLiteral("page %1: effect %2 speed %3 time %4\n")
                    .arg(page)
                    .arg(byteAt(entry, 0))
                    .arg(byteAt(entry, 1))
                    .arg(byteAt(entry, 2));
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
    return count;
}

namespace {

int g_stopHandle = -1;

void stopOnSignal(int) {
    const char byte = 1;
    if (g_stopHandle >= 0 && ::write(g_stopHandle, &byte, 1) < 0) {
        // Nothing to do in a signal handler.
    }
}

int emulateUsage(const QString& text) {
    std::fprintf(stderr, "marquee-cli: emulate: %s\n", text.toLocal8Bit().constData());
    return 2;
}

}  // namespace

int runEmulator(const QString& folder, const QStringList& arguments) {
    Settings settings;
    const SettingsReadResult read = readSettingsFile(folder, &settings);
    if (!read.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", read.error.toLocal8Bit().constData());
    }
    EmulatorOptions options;
    options.number = settings.NUM;
    options.port = settings.COMM;
    options.outDir = folder;
    options.width = settings.WIDTH;
    options.height = settings.HEIGHT;
    options.scan = settings.SCAN;
    options.type = settings.TYPE;
    options.colorSwap = settings.COLOR_SWAP;
    options.rgSwap = settings.RG_SWAP;

    QStringList args = arguments;
    QString problem;
    // The value of a numeric option, within minimum..maximum.
    const auto number = [&](const QString& option, int minimum, int maximum, int* value) {
        bool ok = false;
        const int parsed = args.isEmpty() ? 0 : args.takeFirst().toInt(&ok);
        if (!ok || parsed < minimum || parsed > maximum) {
            problem = QStringLiteral("%1 needs a number from %2 to %3")
                          .arg(option)
                          .arg(minimum)
                          .arg(maximum);
            return;
        }
        *value = parsed;
    };
    // A switch that may be followed by 0 or 1, so that it can also turn off
    // what ck.ini turns on.
    const auto flag = [&](bool* value) {
        *value = true;
        if (!args.isEmpty() &&
            (args.first() == QLatin1String("0") || args.first() == QLatin1String("1"))) {
            *value = args.takeFirst() == QLatin1String("1");
        }
    };
    while (!args.isEmpty() && problem.isEmpty()) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--num")) {
            number(option, 0, 255, &options.number);
        } else if (option == QLatin1String("--port")) {
            number(option, 1, 255, &options.port);
        } else if (option == QLatin1String("--out")) {
            if (args.isEmpty() || !QDir().mkpath(args.first())) {
                problem = QStringLiteral("--out needs a folder it can write to");
            } else {
                options.outDir = QFileInfo(args.takeFirst()).absoluteFilePath();
            }
        } else if (option == QLatin1String("--width")) {
            number(option, 8, 2048, &options.width);
        } else if (option == QLatin1String("--height")) {
            number(option, 8, 1600, &options.height);
        } else if (option == QLatin1String("--scan")) {
            number(option, 1, 16, &options.scan);
        } else if (option == QLatin1String("--type")) {
            number(option, 0, kTypeCount - 1, &options.type);
        } else if (option == QLatin1String("--color-swap")) {
            flag(&options.colorSwap);
        } else if (option == QLatin1String("--rg-swap")) {
            flag(&options.rgSwap);
        } else if (option == QLatin1String("--report-defaults")) {
            options.reportDefaults = true;
        } else if (option == QLatin1String("--silent")) {
            options.silent = true;
        } else if (option == QLatin1String("--wrong-reply")) {
            options.wrongReply = true;
        } else if (option == QLatin1String("--delay")) {
            number(option, 0, 600000, &options.delayMs);
        } else if (option == QLatin1String("--extra")) {
            number(option, 0, 65536, &options.extraBytes);
        } else if (option == QLatin1String("--once")) {
            options.once = true;
        } else if (option == QLatin1String("--timeout")) {
            number(option, 1, 86400, &options.idleTimeoutSec);
        } else {
            problem = QStringLiteral("unknown option %1").arg(option);
        }
    }
    if (!problem.isEmpty()) {
        return emulateUsage(problem);
    }

    // The handlers are in place before the link appears, so that a stop
    // right after start still removes it.
    Emulator emulator(options);
    g_stopHandle = emulator.wakeHandle();
    struct sigaction action {};
    action.sa_handler = stopOnSignal;
    sigemptyset(&action.sa_mask);
    struct sigaction previous[3];
    const int stopSignals[3] = {SIGINT, SIGTERM, SIGHUP};
    for (int i = 0; i < 3; ++i) {
        sigaction(stopSignals[i], &action, &previous[i]);
    }
    QString error;
    const bool started = emulator.start(folder, &error);
    const Emulator::Outcome outcome = started ? emulator.run() : Emulator::Outcome::Failed;
    for (int i = 0; i < 3; ++i) {
        sigaction(stopSignals[i], &previous[i], nullptr);
    }
    g_stopHandle = -1;
    if (!started) {
        std::fprintf(stderr, "marquee-cli: emulate: %s\n", error.toLocal8Bit().constData());
        return 3;
    }
    const bool failed = outcome == Emulator::Outcome::Failed ||
                        (outcome == Emulator::Outcome::IdleTimeout && options.once);
    return failed ? 1 : 0;
}

#include "controller/Link.h"

#include "platform/SerialDevice.h"
#include "transfer/Frames.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>

namespace {

// TxBuffer cut at the frames it holds.
class BufferSource : public FrameSource {
  public:
    explicit BufferSource(const QByteArray& tx) : m_tx(tx) {}
    qint64 totalBytes() const override { return m_tx.size(); }
    bool nextFrame(QByteArray* frame, QString*) override {
        if (m_offset >= m_tx.size()) {
            return false;
        }
        const int length = frameLengthAt(m_tx, m_offset);
        *frame = m_tx.mid(m_offset, length);
        m_offset += length;
        return true;
    }

  private:
    const QByteArray& m_tx;
    int m_offset = 0;
};

constexpr int kReportEveryMs = 200;  // progress at least twice a second
constexpr int kStallMs = 10000;      // a device that takes nothing this long has failed

// The line as a queue: when the bytes handed to it so far will all have
// left, at 10 bits a byte.
class LineClock {
  public:
    explicit LineClock(int baud) : m_bytesPerSecond(std::max(1, baud / 10)) { m_clock.start(); }
    qint64 nowMs() const { return m_clock.elapsed(); }
    void handed(qint64 bytes) {
        m_freeAtMs = std::max(m_freeAtMs, double(nowMs())) + bytes * 1000.0 / m_bytesPerSecond;
    }
    // Milliseconds of line time still queued.
    qint64 aheadMs() const { return std::max<qint64>(0, qint64(m_freeAtMs) - nowMs()); }
    qint64 bytesFor(qint64 ms) const { return ms * m_bytesPerSecond / 1000; }
    qint64 msFor(qint64 bytes) const { return bytes * 1000 / m_bytesPerSecond; }

  private:
    QElapsedTimer m_clock;
    int m_bytesPerSecond;
    double m_freeAtMs = 0;
};

}  // namespace

Link::Link(const QString& folder, OperatorSurface& surface)
    : PortHandle(std::make_unique<SerialDevice>()), m_folder(folder), m_surface(&surface) {}

bool Link::OpenPort(const Settings& settings) {
    m_reason.clear();
    m_writeFault.clear();
    const QString path =
        settings.PORT.isEmpty() ? serialPortPath(m_folder, settings.COMM) : settings.PORT;
    if (m_held && PortHandle->isOpen() && path == m_portPath) {
        return true;
    }
    m_portPath = path;
    PortHandle->close();
    PortHandle = makePortDevice(m_portPath);
    return PortHandle->open(m_portPath, &m_reason);
}

bool Link::ConfigurePort(int baud) {
    m_baud = baud;
    const bool ok = PortHandle->configure(baud, &m_reason);
    m_surface->setStatus(2, QString());
    return ok;
}

SendOutcome Link::SendBuffer() {
    BufferSource source(TxBuffer);
    return SendFrames(source);
}

SendOutcome Link::SendFrames(FrameSource& source) {
    m_surface->setStatus(1, QStringLiteral("SENDING......"));
    m_surface->repaintNow();
    m_writeError.clear();
    const SendOutcome outcome = writePaced(source);
    if (outcome == SendOutcome::WriteFailed) {
        m_writeError = m_reason.isEmpty() ? QStringLiteral("the write failed") : m_reason;
    }
    // A failed write is not reported here: the reply wait that follows
    // runs into its time-out (or sees the hang-up), and the command says so.
    if (outcome == SendOutcome::Sent || outcome == SendOutcome::WriteFailed) {
        m_surface->setStatus(1, QStringLiteral("SEND OVER"));
        m_surface->repaintNow();
    }
    return outcome;
}

SendOutcome Link::writePaced(FrameSource& source) {
    m_written = 0;
    const qint64 total = source.totalBytes();
    LineClock line(m_baud);
    const qint64 leadMs = 200;
    qint64 lastReportMs = -kReportEveryMs;
    auto report = [&](bool force) {
        const qint64 now = line.nowMs();
        if (!force && now - lastReportMs < kReportEveryMs) {
            return;
        }
        lastReportMs = now;
        // What has left: neither in the driver's queue nor, by the line
        // rate, still on its way.
        const qint64 onTheWay =
            std::max<qint64>(PortHandle->bytesQueuedOut(), line.bytesFor(line.aheadMs()));
        const qint64 sent = std::clamp<qint64>(m_written - onTheWay, 0, total);
        m_surface->lineProgress(sent, total, line.msFor(total - sent));
    };
    // Waits until the handed bytes have left: the driver's queue is empty
    // and their line time has passed.
    auto drain = [&]() {
        QString error;
        bool ok = PortHandle->waitUntilSent(&error);
        // The bytes are on their way for their line time: a hang-up then
        // is a hang-up during the write.
        while (ok && line.aheadMs() > 0) {
            report(false);
            ok = PortHandle->sleepUnlessHungUp(
                static_cast<int>(std::min<qint64>(line.aheadMs(), 50)), &error);
        }
        report(true);
        if (!ok) {
            m_reason = error;
        }
        return ok;
    };

    SendOutcome outcome = SendOutcome::Sent;
    QByteArray frame;
    QString error;
    report(true);
    for (;;) {
        // Frame boundary: the only place a transfer stops.
        if (m_surface->cancelRequested()) {
            outcome = SendOutcome::Cancelled;
            break;
        }
        if (!source.nextFrame(&frame, &error)) {
            if (!error.isEmpty()) {
                m_reason = error;
                outcome = SendOutcome::SourceFailed;
            }
            break;
        }
        qint64 offset = 0;
        QElapsedTimer sinceTaken;
        sinceTaken.start();
        while (offset < frame.size()) {
            const qint64 ahead = line.aheadMs();
            if (ahead >= leadMs) {
                report(false);
                QThread::msleep(
                    static_cast<unsigned long>(std::min<qint64>(ahead - leadMs + 1, 50)));
                continue;
            }
            const qint64 room = std::max<qint64>(1, line.bytesFor(leadMs - ahead));
            const qint64 taken = PortHandle->writeSome(
                frame.constData() + offset, std::min<qint64>(room, frame.size() - offset), &error);
            if (taken < 0 || (taken == 0 && sinceTaken.elapsed() > kStallMs)) {
                m_reason = taken < 0 ? error
                                     : QStringLiteral("%1 took no data for %2 s")
                                           .arg(m_portPath)
                                           .arg(kStallMs / 1000);
                drain();
                return SendOutcome::WriteFailed;
            }
            if (taken == 0) {
                if (!PortHandle->waitWritable(50, &error)) {
                    m_reason = error;
                    return SendOutcome::WriteFailed;
                }
                continue;
            }
            sinceTaken.restart();
            offset += taken;
            m_written += taken;
            line.handed(taken);
            report(false);
        }
    }
    if (!drain() && outcome == SendOutcome::Sent) {
        outcome = SendOutcome::WriteFailed;
    }
    return outcome;
}

bool Link::WaitReply(int timeoutMs, int count) {
    const PortDevice::Wait outcome = PortHandle->waitReply(timeoutMs, count, &m_received);
    m_hungUp = outcome == PortDevice::Wait::HungUp;
    if (outcome != PortDevice::Wait::Received) {
        return false;
    }
    RxBuffer = m_received;
    return true;
}

void Link::ClosePort() {
    if (!m_held) {
        PortHandle->close();
    }
}

void Link::release() {
    PortHandle->close();
}

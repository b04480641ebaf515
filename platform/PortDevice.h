#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <memory>

// The port a command talks through: a local serial device, or a serial
// server on the network (raw TCP or RFC 2217). The link writes in pieces it
// paces itself and waits for replies of fixed length; it does not care which
// of them it has.
class PortDevice {
  public:
    virtual ~PortDevice() = default;

    // Opens the port exclusively; on failure *error says why.
    virtual bool open(const QString& path, QString* error) = 0;
    // 8N1 at baud, then purges the input queue and then the output queue.
    virtual bool configure(int baud, QString* error) = 0;
    // Hands the port as much of size bytes as it takes now: the count taken
    // (0 when its queue is full), or -1 with a reason when the other end hung
    // up or the write failed.
    virtual qint64 writeSome(const char* data, qint64 size, QString* error) = 0;
    // Sleeps until the port takes data again, at most ms. False when the
    // other end hung up.
    virtual bool waitWritable(int ms, QString* error) = 0;
    // Sleeps ms, or less when the other end hangs up: false then.
    virtual bool sleepUnlessHungUp(int ms, QString* error) = 0;
    // Bytes handed over that have not left yet, as far as this side knows.
    virtual int bytesQueuedOut() const = 0;
    // Waits until bytesQueuedOut() is 0; fails on a hang-up, or when the
    // queue does not shrink for the stall time-out.
    virtual bool waitUntilSent(QString* error) = 0;

    enum class Wait { Received, TimedOut, HungUp };
    // Reads exactly count bytes into *reply within timeoutMs, never more:
    // further bytes stay queued. Bytes that complete the reply in the pass
    // that notices the time-out still count.
    virtual Wait waitReply(int timeoutMs, int count, QByteArray* reply) = 0;

    virtual void close() = 0;
    virtual bool isOpen() const = 0;
};

// Watches a queue that should empty: whether it has stopped shrinking for
// longer than the limit.
class QueueWatch {
  public:
    explicit QueueWatch(int limitMs) : m_limitMs(limitMs) { m_sinceProgress.start(); }
    // queued: the bytes queued now.
    bool stalled(int queued) {
        if (m_last < 0 || queued < m_last) {
            m_sinceProgress.restart();
        }
        m_last = queued;
        return m_sinceProgress.elapsed() >= m_limitMs;
    }

  private:
    int m_limitMs;
    int m_last = -1;
    QElapsedTimer m_sinceProgress;
};

// tcp://HOST:PORT (raw TCP: the serial server sets the line) and
// rfc2217://HOST:PORT (the line is set from here) name serial servers on
// the network; anything else is a device path.
bool isNetworkPort(const QString& path);

// The device for a port path: a SerialDevice, or a NetworkPort for a
// network address.
std::unique_ptr<PortDevice> makePortDevice(const QString& path);

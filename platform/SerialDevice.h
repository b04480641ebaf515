#pragma once

#include "platform/PortDevice.h"
#include "platform/PortLock.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

// The path of port "com" + N: an entry named comN in the program folder
// (normally a symlink to a device, as Wine maps COM ports), otherwise
// /dev/ttyS<N-1>.
QString serialPortPath(const QString& folder, int comm);

// One open serial port, through POSIX termios. Non-blocking underneath; every
// wait sleeps in poll() and is bounded in time. Closes itself in the destructor.
class SerialDevice : public PortDevice {
  public:
    SerialDevice() = default;
    ~SerialDevice() override;
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens an existing terminal device for reading and writing, exclusively:
    // the lock file in /var/lock that serial programs share (a stale one is
    // taken over), TIOCEXCL against other users, and an flock against a
    // second opener running as root (which passes TIOCEXCL). A device that
    // another process has open without a lock is refused too. On failure
    // *error says why: missing (unplugged), permission denied (the group to
    // join), in use (by whom).
    bool open(const QString& path, QString* error) override;

    // Raw 8N1 at baud (9600, 19200, 38400, 57600 or 115200), no byte
    // translated, then purges the input queue and then the output queue.
    bool configure(int baud, QString* error) override;

    // Bytes in the input queue (0 when closed).
    int bytesWaiting() const;

    // Hands all of data to the device and waits until the device has sent
    // it, and never returns before the line time of data at the configured
    // rate (10 bits a byte) has passed since the call. Fails when the other
    // end hangs up, or when no byte at all is taken for the stall time-out
    // (10 s unless set otherwise).
    bool writeAll(const QByteArray& data, QString* error);
    void setStallTimeout(int ms) { stallTimeoutMs_ = ms; }

    // Hands the device as much of size bytes as it takes now, without
    // waiting: the count taken (0 when its queue is full), or -1 with a
    // reason when the other end hung up or the write failed.
    qint64 writeSome(const char* data, qint64 size, QString* error) override;
    // Sleeps until the device takes data again, at most ms. False when the
    // other end hung up.
    bool waitWritable(int ms, QString* error) override;
    bool sleepUnlessHungUp(int ms, QString* error) override;
    // Bytes the driver still holds to send. A pseudo-terminal and some USB
    // adapters report 0 while bytes are still on their way.
    int bytesQueuedOut() const override;
    // Waits until the driver reports its output queue empty; fails on a
    // hang-up, or when the queue does not shrink for the stall time-out.
    bool waitUntilSent(QString* error) override;

    // Sleeps while nothing arrives.
    Wait waitReply(int timeoutMs, int count, QByteArray* reply) override;

    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    // The file descriptor, for reading back the line settings.
    int handle() const { return fd_; }

  private:
    bool waitOutLineTime(qint64 lineMs, const QElapsedTimer& since, QString* error);

    int fd_ = -1;
    int baud_ = 0;
    QString path_;
    PortLock lock_;
    int stallTimeoutMs_ = 10000;
};

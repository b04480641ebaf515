#pragma once

#include <QByteArray>
#include <QString>

// A process that has a serial port open: its PID and program name (pid 0:
// none found).
struct PortHolder {
    qint64 pid = 0;
    QString program;
};

// The lock file that serial programs on Debian share for a device:
// /var/lock/LCK..NAME holding the owner's PID as ten digits and a line end
// (NAME: the device below /dev, '/' written as '_'). A lock whose process is
// gone is stale and taken over. Where the lock folder cannot be written the
// port is used without a lock file (flock and TIOCEXCL still hold).
class PortLock {
  public:
    PortLock() = default;
    ~PortLock() { release(); }
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    // Takes the lock for device (a resolved path such as /dev/ttyUSB0).
    // False when a living process holds it: *holder names it.
    bool acquire(const QString& device, PortHolder* holder);
    void release();
    const QByteArray& path() const { return path_; }

  private:
    QByteArray path_;
};

// The lock file's path for a device.
QByteArray lockFilePath(const QString& device);

// Another process that has device open, found in /proc (only processes this
// user may look into). A process that also holds the master side of the same
// pseudo-terminal is its other end, not a competitor, and is passed over.
PortHolder findPortHolder(const QString& device);

// The program name of a process, from /proc/PID/comm.
QString programOf(qint64 pid);

// Remembers an open port so that SIGINT and SIGTERM release it: the
// exclusive mark is dropped and the lock file removed before the signal's
// default action ends the process.
void rememberOpenPort(int fd, const QByteArray& lockPath);
void forgetOpenPort(int fd);
void releasePortsOnSignals();
// What the handler does, for a program with its own handler: releases every
// remembered port, then ends the process by signal's default action (once
// the handler returns, when called from one). Async-signal-safe.
void releasePortsAndDie(int signal);

#pragma once

#include "core/OperatorSurface.h"
#include "core/Settings.h"
#include "platform/PortDevice.h"
#include "transfer/FrameSource.h"

#include <QByteArray>
#include <QString>

#include <memory>

// How a write ended.
enum class SendOutcome {
    Sent,          // every byte has left on the line
    Cancelled,     // stopped by the operator at a frame boundary
    SourceFailed,  // the rest could not be built; stopped at a frame boundary
    WriteFailed,   // the device failed or the other end hung up
};

// The serial link every controller command goes through: open the port,
// configure it, collect the whole transmission in TxBuffer, write it, wait
// for a reply of fixed length, close the port. No connection is held
// between commands, and commands never run at the same time.
//
// Writing keeps pace with the line (10 bits a byte at the configured rate,
// at most a fifth of a second ahead), so progress counts bytes that have
// left, and a cancel takes effect at the next frame boundary without a
// queue of seconds still to drain. The write is over only when the driver
// reports its queue empty and the line time of every byte has passed.
class Link {
  public:
    // folder: the program folder, where port links comN are looked up.
    Link(const QString& folder, OperatorSurface& surface);

    // Opens the port of the settings: the device path or network address
    // PORT when one is chosen, else "com" + COMM. False when it cannot be opened; the command
    // then shows its own message (reason() says why).
    bool OpenPort(const Settings& settings);
    // Baud rate, 8 data bits, no parity, one stop bit, both queues purged,
    // status panel 2 emptied. False when the device refuses the settings.
    bool ConfigurePort(int baud);
    // Writes all of TxBuffer, frame by frame: status panel 1 shows
    // "SENDING......", then "SEND OVER" once the last byte has left. A write that fails is not
    // reported here (the reply wait that follows runs into its time-out or
    // the hang-up); writeError() says why.
    SendOutcome SendBuffer();
    // The same for a transmission built while it is written.
    SendOutcome SendFrames(FrameSource& source);
    // Waits up to timeoutMs for count reply bytes and reads exactly those
    // into RxBuffer. A hang-up of the other end ends the wait at once.
    // received() holds what came in this wait, whole or not.
    bool WaitReply(int timeoutMs, int count);
    void ClosePort();

    // Why the last open, configuration or write failed, or why the source
    // stopped.
    const QString& reason() const { return m_reason; }
    // Why the last write failed (the other end hung up), or empty.
    const QString& writeFault() const { return m_writeFault; }
    // Signs on one port are served through one open: while held, OpenPort
    // keeps the port already open on the same path and ClosePort leaves it
    // open; release() closes it.
    void holdOpen(bool held) { m_held = held; }
    void release();
    // The surface the next command reports through.
    void setSurface(OperatorSurface& surface) { m_surface = &surface; }
    // Where port links comN are looked up from now on.
    void setFolder(const QString& folder) { m_folder = folder; }
    const QString& folder() const { return m_folder; }
    // The path of the port last opened or tried.
    const QString& portPath() const { return m_portPath; }
    // Bytes handed to the port by the last write.
    qint64 bytesWritten() const { return m_written; }
    // Why the last write failed (hang-up, I/O error); empty when it did not.
    const QString& writeError() const { return m_writeError; }
    // The bytes of the last wait, and whether it ended by a hang-up.
    const QByteArray& received() const { return m_received; }
    bool hungUp() const { return m_hungUp; }

    // The port last opened: a local serial device or a serial server on
    // the network, whichever the path names.
    std::unique_ptr<PortDevice> PortHandle;
    QByteArray TxBuffer;
    QByteArray RxBuffer;  // the last reply, byte 0 first received

  private:
    SendOutcome writePaced(FrameSource& source);

    QString m_folder;
    OperatorSurface* m_surface;
    bool m_held = false;
    QString m_reason;
    QString m_writeFault;
    QString m_portPath;
    int m_baud = 9600;
    qint64 m_written = 0;
    QString m_writeError;
    QByteArray m_received;
    bool m_hungUp = false;
};

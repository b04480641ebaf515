#pragma once

#include "core/OperatorSurface.h"
#include "core/Settings.h"
#include "platform/SerialDevice.h"

#include <QByteArray>
#include <QString>

// The serial link every controller command goes through: open the port,
// configure it, collect the whole transmission in TxBuffer, write it in one
// piece, wait for a reply of fixed length, close the port. No connection is
// held between commands. One Link serves the whole program; commands never
// run at the same time.
class Link {
  public:
    // folder: the program folder, where port links comN are looked up.
    Link(const QString& folder, OperatorSurface& surface);

    // Opens the port of the settings: the device path PORT when one is
    // chosen, else "com" + COMM. False when it cannot be opened; the command
    // then shows its own message (reason() says why).
    bool OpenPort(const Settings& settings);
    // Baud rate, 8 data bits, no parity, one stop bit, both queues purged,
    // status panel 2 emptied. False when the device refuses the settings.
    bool ConfigurePort(int baud);
    // Writes all of TxBuffer: status panel 1 shows "SENDING......", then
    // "SEND OVER".
    void SendBuffer();
    // Waits up to timeoutMs for count reply bytes and reads exactly those
    // into RxBuffer. A hang-up of the other end ends the wait at once.
    bool WaitReply(int timeoutMs, int count);
    void ClosePort();

    // Why the last open or configuration failed.
    const QString& reason() const { return m_reason; }
    // Why the last write failed (the other end hung up), or empty.
    const QString& writeFault() const { return m_writeFault; }
    // Where port links comN are looked up from now on.
    void setFolder(const QString& folder) { m_folder = folder; }
    // The path of the port last opened or tried.
    const QString& portPath() const { return m_portPath; }

    SerialDevice PortHandle;
    QByteArray TxBuffer;
    QByteArray RxBuffer;  // the last reply, byte 0 first received

  private:
    QString m_folder;
    OperatorSurface& m_surface;
    QString m_reason;
    QString m_writeFault;
    QString m_portPath;
};

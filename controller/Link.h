#pragma once

#include "core/OperatorSurface.h"
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

    // Opens the port "com" + comm. False when it cannot be opened; the
    // command then shows its own message (reason() says why).
    bool OpenPort(int comm);
    // Baud rate, 8 data bits, no parity, one stop bit, both queues purged,
    // status panel 2 emptied. False when the device refuses the settings.
    bool ConfigurePort(int baud);
    // Writes all of TxBuffer: status panel 1 shows "SENDING......", then
    // "SEND OVER". A write that fails is not reported here (the reply wait
    // that follows runs into its time-out); writeError() says why.
    void SendBuffer();
    // Waits up to timeoutMs for count reply bytes and reads exactly those
    // into RxBuffer. A hang-up of the other end ends the wait at once.
    // received() holds what came in this wait, whole or not.
    bool WaitReply(int timeoutMs, int count);
    void ClosePort();

    // Why the last open or configuration failed.
    const QString& reason() const { return m_reason; }
    // The path of the port last opened or tried.
    const QString& portPath() const { return m_portPath; }
    // Why the last SendBuffer failed (hang-up, I/O error); empty when it did not.
    const QString& writeError() const { return m_writeError; }
    // The bytes of the last wait, and whether it ended by a hang-up.
    const QByteArray& received() const { return m_received; }
    bool hungUp() const { return m_hungUp; }

    SerialDevice PortHandle;
    QByteArray TxBuffer;
    QByteArray RxBuffer;  // the last reply, byte 0 first received

  private:
    QString m_folder;
    OperatorSurface& m_surface;
    QString m_reason;
    QString m_portPath;
    QString m_writeError;
    QByteArray m_received;
    bool m_hungUp = false;
};

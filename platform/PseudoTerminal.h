#pragma once

#include <QByteArray>
#include <QString>

// The controller's side of a serial port: a pseudo-terminal pair whose
// device end a program opens as its port, linked as comN in a folder. The
// pair is raw, and one descriptor of the device end stays open here, so the
// controller's end never sees a hang-up when a program closes the port and
// opens it again for its next command.
class PseudoTerminal {
  public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool open(QString* error);
    // Links folder/comN to the device, replacing a stale link; an entry that
    // is not a link is left alone and reported. The link goes with close().
    bool linkAs(const QString& folder, int comm, QString* error);

    // What arrives within timeoutMs, at most maxBytes; empty on time-out.
    QByteArray read(int timeoutMs, int maxBytes = 65536);
    // Writes all of data, waiting at most timeoutMs for room.
    bool writeAll(const QByteArray& data, int timeoutMs, QString* error);

    // Waits until the program has read what was written to it, or has closed
    // the port, at most timeoutMs.
    void waitUntilRead(int timeoutMs);

    // The rate in bit/s the program set on its end of the line; 0 when it is
    // not a standard rate. The kernel keeps one set of line settings for the
    // pair, on the device end, and reads them there for either end.
    int lineSpeed() const;

    // Closes both ends (a program holding the port sees a hang-up) and
    // removes the link.
    void close();

    bool isOpen() const { return master_ >= 0; }
    int masterHandle() const { return master_; }
    QString devicePath() const { return devicePath_; }
    QString linkPath() const { return linkPath_; }

  private:
    void removeLink();

    int master_ = -1;
    int device_ = -1;
    QString devicePath_;
    QString linkPath_;
};

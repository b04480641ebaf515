#include "controller/Link.h"

Link::Link(const QString& folder, OperatorSurface& surface)
    : m_folder(folder), m_surface(surface) {}

bool Link::OpenPort(int comm) {
    m_reason.clear();
    m_portPath = serialPortPath(m_folder, comm);
    return PortHandle.open(m_portPath, &m_reason);
}

bool Link::ConfigurePort(int baud) {
    const bool ok = PortHandle.configure(baud, &m_reason);
    m_surface.setStatus(2, QString());
    return ok;
}

void Link::SendBuffer() {
    m_surface.setStatus(1, QStringLiteral("SENDING......"));
    m_surface.repaintNow();
    // A failed or short write is not reported here: the reply wait that
    // follows then runs into its time-out, and the command says so.
    QString ignored;
    PortHandle.writeAll(TxBuffer, &ignored);
    m_surface.setStatus(1, QStringLiteral("SEND OVER"));
    m_surface.repaintNow();
}

bool Link::WaitReply(int timeoutMs, int count) {
    QByteArray reply;
    if (PortHandle.waitReply(timeoutMs, count, &reply) != SerialDevice::Wait::Received) {
        return false;
    }
    RxBuffer = reply;
    return true;
}

void Link::ClosePort() {
    PortHandle.close();
}

#include "controller/Link.h"

Link::Link(const QString& folder, OperatorSurface& surface)
    : m_folder(folder), m_surface(surface) {}

bool Link::OpenPort(const Settings& settings) {
    m_reason.clear();
    m_writeFault.clear();
    m_portPath = settings.PORT.isEmpty() ? serialPortPath(m_folder, settings.COMM) : settings.PORT;
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
    // A failed write goes on to the reply wait, which then fails; the
    // command says why afterwards.
    PortHandle.writeAll(TxBuffer, &m_writeFault);
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

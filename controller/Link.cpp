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
    m_writeError.clear();
    if (!PortHandle.writeAll(TxBuffer, &m_writeError) && m_writeError.isEmpty()) {
        m_writeError = QStringLiteral("the write failed");
    }
    m_surface.setStatus(1, QStringLiteral("SEND OVER"));
    m_surface.repaintNow();
}

bool Link::WaitReply(int timeoutMs, int count) {
    const SerialDevice::Wait outcome = PortHandle.waitReply(timeoutMs, count, &m_received);
    m_hungUp = outcome == SerialDevice::Wait::HungUp;
    if (outcome != SerialDevice::Wait::Received) {
        return false;
    }
    RxBuffer = m_received;
    return true;
}

void Link::ClosePort() {
    PortHandle.close();
}

#include "platform/SerialPorts.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace {

QString readLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(file.read(256)).trimmed();
}

// Device (canonical path) to its by-id name.
QHash<QString, QString> byIdNames(const QString& devRoot) {
    QHash<QString, QString> names;
    const QDir byId(QDir(devRoot).filePath(QStringLiteral("serial/by-id")));
    for (const QFileInfo& entry : byId.entryInfoList(QDir::Files | QDir::System, QDir::Name)) {
        const QString device = entry.canonicalFilePath();
        if (!device.isEmpty() && !names.contains(device)) {
            names.insert(device, entry.absoluteFilePath());
        }
    }
    return names;
}

// The USB details of a tty, from the first parent in sysfs that has them.
void addUsbDetails(const QString& sysRoot, const QString& name, SerialPortInfo* port) {
    QDir folder(
        QFileInfo(QStringLiteral("%1/class/tty/%2/device").arg(sysRoot, name)).canonicalFilePath());
    for (int level = 0; level < 6 && !folder.isRoot(); ++level) {
        if (QFileInfo::exists(folder.filePath(QStringLiteral("idVendor")))) {
            port->vendorId = readLine(folder.filePath(QStringLiteral("idVendor")));
            port->productId = readLine(folder.filePath(QStringLiteral("idProduct")));
            port->manufacturer = readLine(folder.filePath(QStringLiteral("manufacturer")));
            port->product = readLine(folder.filePath(QStringLiteral("product")));
            port->serialNumber = readLine(folder.filePath(QStringLiteral("serial")));
            return;
        }
        if (!folder.cdUp()) {
            return;
        }
    }
}

// A ttyS* node exists for every possible UART; only those the kernel found
// a UART behind (type not 0) are ports.
bool uartPresent(const QString& sysRoot, const QString& name) {
    const QString type = readLine(QStringLiteral("%1/class/tty/%2/type").arg(sysRoot, name));
    return type.isEmpty() || type != QLatin1String("0");
}

int kindOrder(const QString& name) {
    if (name.startsWith(QLatin1String("ttyUSB"))) {
        return 0;
    }
    return name.startsWith(QLatin1String("ttyACM")) ? 1 : 2;
}

}  // namespace

QString SerialPortInfo::description() const {
    QString text = name.isEmpty() ? QFileInfo(device).fileName() : name;
    QStringList details;
    const QString maker =
        manufacturer.isEmpty() ? product : manufacturer + QLatin1Char(' ') + product;
    if (!maker.trimmed().isEmpty()) {
        details << maker.trimmed();
    }
    if (!serialNumber.isEmpty()) {
        details << QStringLiteral("serial %1").arg(serialNumber);
    }
    if (!details.isEmpty()) {
        text += QStringLiteral(": ") + details.join(QStringLiteral(", "));
    }
    if (!vendorId.isEmpty()) {
        text += QStringLiteral(" (%1:%2)").arg(vendorId, productId);
    }
    return text;
}

QList<SerialPortInfo> listSerialPorts(const QString& devRoot, const QString& sysRoot) {
    const QHash<QString, QString> byId = byIdNames(devRoot);
    const QStringList patterns = {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*"),
                                  QStringLiteral("ttyS*")};
    QStringList names = QDir(devRoot).entryList(patterns, QDir::Files | QDir::System);
    QCollator natural;
    natural.setNumericMode(true);
    std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        return kindOrder(a) != kindOrder(b) ? kindOrder(a) < kindOrder(b)
                                            : natural.compare(a, b) < 0;
    });
    QList<SerialPortInfo> ports;
    for (const QString& name : names) {
        if (name.startsWith(QLatin1String("ttyS")) && !uartPresent(sysRoot, name)) {
            continue;
        }
        SerialPortInfo port;
        port.name = name;
        port.device = QFileInfo(QDir(devRoot).filePath(name)).canonicalFilePath();
        port.path = byId.value(port.device, port.device);
        addUsbDetails(sysRoot, name, &port);
        ports << port;
    }
    return ports;
}

QString preferredPortPath(const QString& path, const QString& devRoot) {
    const QString device = QFileInfo(path).canonicalFilePath();
    return byIdNames(devRoot).value(device, path);
}

#pragma once

#include <QList>
#include <QString>

// A serial port present on this machine.
struct SerialPortInfo {
    QString path;    // the name to keep: /dev/serial/by-id/... when it has one
    QString device;  // the device itself: /dev/ttyUSB0
    QString name;    // its name in /dev: ttyUSB0
    // For a USB adapter: its maker, product and serial number as it reports
    // them, and the vendor and product ids (hex).
    QString manufacturer;
    QString product;
    QString serialNumber;
    QString vendorId;
    QString productId;

    // One line for a list: "ttyUSB0: FTDI FT232R USB UART, serial A10K3 (0403:6001)".
    QString description() const;
};

// The serial ports present: the by-id names of /dev/serial/by-id, and the
// ttyUSB*, ttyACM* and ttyS* devices (a ttyS* only when the kernel reports a
// UART behind it). USB adapters first, each once, under its by-id name when
// it has one. devRoot and sysRoot are "/dev" and "/sys" but for tests.
QList<SerialPortInfo> listSerialPorts(const QString& devRoot = QStringLiteral("/dev"),
                                      const QString& sysRoot = QStringLiteral("/sys"));

// The name to keep for a chosen device: its /dev/serial/by-id name when it
// has one (that name survives re-plugging into another socket), else path.
QString preferredPortPath(const QString& path, const QString& devRoot = QStringLiteral("/dev"));

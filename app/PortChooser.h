#pragma once

#include <QComboBox>
#include <QHash>

class QFileSystemWatcher;

// The serial port of the settings row: "com + COMM" (no path chosen: the
// port links comN and /dev/ttyS<N-1> as before) or one of the ports present,
// each shown with its USB maker, product and serial number and kept by its
// device path (/dev/serial/by-id/... when it has one). The list follows
// devices as they are plugged in and out.
class PortChooser : public QComboBox {
    Q_OBJECT
  public:
    explicit PortChooser(QWidget* parent = nullptr);

    // The chosen device path; empty for "com + COMM".
    QString port() const;
    // Chooses path (kept in the list, marked, when it is not present now).
    void setPort(const QString& path);
    // A port that is not a device of this machine's list, shown by name
    // ("Virtual sign") rather than as not present.
    void setPortName(const QString& path, const QString& name);
    // Where devices are looked for ("/dev" and "/sys" but for tests).
    void setRoots(const QString& devRoot, const QString& sysRoot);
    // Lists the ports present again, keeping the choice.
    void refresh();

  signals:
    void portChosen();

  private:
    void watch();

    QString m_devRoot = QStringLiteral("/dev");
    QString m_sysRoot = QStringLiteral("/sys");
    QFileSystemWatcher* m_watcher;
    QHash<QString, QString> m_names;
};

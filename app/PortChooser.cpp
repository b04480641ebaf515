#include "app/PortChooser.h"

#include "platform/PortDevice.h"
#include "platform/SerialPorts.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include <algorithm>

PortChooser::PortChooser(QWidget* parent) : QComboBox(parent) {
    setObjectName(QStringLiteral("PortChooser"));
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(36);
    setToolTip(tr("Serial port"));
    m_watcher = new QFileSystemWatcher(this);
    // A device appears or goes: udev adds its by-id link a moment later.
    auto* settle = new QTimer(this);
    settle->setSingleShot(true);
    settle->setInterval(300);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, settle, qOverload<>(&QTimer::start));
    connect(settle, &QTimer::timeout, this, &PortChooser::refresh);
    connect(this, &QComboBox::activated, this, [this] {
        setToolTip(currentData().toString().isEmpty() ? tr("Serial port")
                                                      : currentData().toString());
        emit portChosen();
    });
    refresh();
}

QString PortChooser::port() const {
    return currentData().toString();
}

void PortChooser::setPort(const QString& path) {
    int index = findData(path);
    if (index < 0) {
        // A serial server on the network is chosen in the sign book.
        const QString missing = isNetworkPort(path) ? tr("%1 (on the network)").arg(path)
                                                    : tr("%1 (not present)").arg(path);
        addItem(
            m_names.contains(path) ? QStringLiteral("%1 — %2").arg(m_names[path], path) : missing,
            path);
        index = count() - 1;
    }
    setCurrentIndex(index);
    setToolTip(path.isEmpty() ? tr("Serial port") : path);
}

void PortChooser::setPortName(const QString& path, const QString& name) {
    m_names[path] = name;
    const int index = findData(path);
    if (index >= 0) {
        setItemText(index, QStringLiteral("%1 — %2").arg(name, path));
    }
}

void PortChooser::setRoots(const QString& devRoot, const QString& sysRoot) {
    m_devRoot = devRoot;
    m_sysRoot = sysRoot;
    refresh();
}

void PortChooser::refresh() {
    const QString chosen = port();
    const QSignalBlocker quiet(this);
    clear();
    addItem(tr("com + COMM"), QString());
    setItemData(0,
                tr("No port chosen: the link comN in the sign folder, else "
                   "/dev/ttyS<N-1>, with N the COMM number"),
                Qt::ToolTipRole);
    for (const SerialPortInfo& info : listSerialPorts(m_devRoot, m_sysRoot)) {
        addItem(info.description(), info.path);
        setItemData(count() - 1, info.path, Qt::ToolTipRole);
    }
    setPort(chosen);
    // Wide enough in the open list for the longest description.
    int widest = 0;
    for (int i = 0; i < count(); ++i) {
        widest = std::max(widest, fontMetrics().horizontalAdvance(itemText(i)));
    }
    view()->setMinimumWidth(widest + 40);
    watch();
}

void PortChooser::watch() {
    const QString byId = QDir(m_devRoot).filePath(QStringLiteral("serial/by-id"));
    for (const QString& folder : {m_devRoot, byId}) {
        if (QFileInfo(folder).isDir() && !m_watcher->directories().contains(folder)) {
            m_watcher->addPath(folder);
        }
    }
}

#pragma once

#include "platform/PortLock.h"

#include <QByteArray>
#include <QString>

// Why a serial port could not be opened, in words an operator can act on:
// the device missing (the adapter seems unplugged), permission denied (the
// device's group and how to join it) or in use (by whom).

// For an errno of stat() or open() on path.
QString openFailure(const QString& path, int error);

// Permission denied on path: names the device, its group, and the fix.
QString permissionText(const QString& path);

// path is in use by holder (pid 0: not known); lockPath: the lock file
// that says so, or empty when the holder was found another way.
QString inUseText(const QString& path, const PortHolder& holder, const QByteArray& lockPath);

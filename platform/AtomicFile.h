#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at path with data in one step: the bytes go to a
// temporary file in the same folder, are flushed to disk and renamed over the
// old file, so a failure or a crash leaves either the whole old file or the
// whole new one. A read-only mark on the old file is cleared first.
// Returns false with a reason in *error when the file could not be written;
// the old file is then untouched.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error);

// Reads a whole file of at most maxBytes. Returns false with a reason in
// *error when it cannot be opened or read, or is larger than maxBytes.
bool readWholeFile(const QString& path, qint64 maxBytes, QByteArray* data, QString* error);

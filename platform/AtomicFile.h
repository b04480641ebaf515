#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at path with data in one step: the bytes go to a
// temporary file ".NAME.XXXXXX" in the same folder, are flushed to disk and
// renamed over the old file, so a failure or a crash leaves either the whole
// old file or the whole new one. A read-only mark on the old file is cleared
// first. Temporary files of that pattern older than a minute, left by a save
// that was killed, are removed from the folder first (see
// removeStaleTemporaryFiles). Returns false with a reason in *error when the
// file could not be written; the old file is then untouched.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error);

// The same replacement in one step, for files that only show something and
// are written anew at its next change: not flushed to disk (two flushes a
// file cost seconds for hundreds of files on a busy disk) and no sweep of
// the folder (the caller sweeps once for all it writes).
bool replaceFileUnflushed(const QString& path, const QByteArray& data, QString* error);

// Removes the temporary files ".NAME.XXXXXX" older than maxAgeSeconds from
// folder, where NAME is keep (the file about to be written) or a name of the
// kinds this program writes (.ini, .lis, .bmp, .png). Returns how many.
int removeStaleTemporaryFiles(const QString& folder, const QString& keep, int maxAgeSeconds = 60);

// A file opened for reading only once it is known to be a regular file of at
// most maxBytes: a FIFO, a device, a socket or a folder is refused without
// being opened (nothing blocks, nothing is read), and so is a file larger
// than maxBytes, from its size alone. Closed by the destructor.
class ReadableFile {
  public:
    ReadableFile() = default;
    ~ReadableFile();
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;

    // False with the reason in *error ("it is a FIFO (named pipe), not a
    // file", "it is 2147483648 bytes; at most 268435456 are read", ...).
    bool open(const QString& path, qint64 maxBytes, QString* error);
    qint64 size() const { return m_size; }
    // Up to length bytes from offset on; fewer at the end of the file. False
    // with a reason when reading fails.
    bool readAt(qint64 offset, qint64 length, QByteArray* data, QString* error) const;

  private:
    int m_fd = -1;
    qint64 m_size = 0;
};

// Reads a whole regular file of at most maxBytes, in one allocation of its
// real length. Returns false with a reason in *error when it cannot be
// opened or read, is not a regular file, or is larger than maxBytes.
bool readWholeFile(const QString& path, qint64 maxBytes, QByteArray* data, QString* error);

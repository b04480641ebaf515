#pragma once

#include <QString>
#include <QTemporaryDir>

// The private folder of one import: made fresh (readable by this user only)
// in parent, or in the system's temporary folder when parent is empty, and
// removed with everything in it when the import ends. It holds the working
// copy of the chosen file and the office program's profile and output.
class WorkingFolder {
  public:
    explicit WorkingFolder(const QString& parent);

    bool isValid() const { return m_dir.isValid(); }
    QString errorString() const { return m_dir.errorString(); }
    QString path() const { return m_dir.path(); }

    // Copies source into the folder as name. Returns the copy's path, or an
    // empty string with the reason in *why.
    QString copyIn(const QString& source, const QString& name, QString* why) const;

  private:
    QTemporaryDir m_dir;
};

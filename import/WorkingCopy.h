#pragma once

#include "import/ImportSetup.h"

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

// Shows an import's step in status panel 1 at once; clears the panel and the
// progress when the import ends, however it ends.
class StepShown {
  public:
    explicit StepShown(OperatorSurface& surface) : m_surface(surface) {}
    ~StepShown() {
        m_surface.setStatus(1, QString());
        m_surface.progress(0, 0);
    }
    StepShown(const StepShown&) = delete;
    StepShown& operator=(const StepShown&) = delete;
    void show(const QString& text) {
        m_surface.setStatus(1, text);
        m_surface.repaintNow();
    }

  private:
    OperatorSurface& m_surface;
};

// The working copy of source, named copyName, in the import's private
// folder. Tells the operator when the folder or the copy cannot be made
// (what names the kind of file: "document", "spreadsheet") and returns an
// empty path with the reason in *why then.
QString copyToWorkingFolder(const WorkingFolder& work, const QString& source,
                            const QString& copyName, const QString& what, OperatorSurface& surface,
                            QString* why);

// The office program's options for an import: the window is repainted while
// it waits, unless the setup says otherwise.
OfficeOptions importOfficeOptions(const ImportSetup& setup, OperatorSurface& surface);

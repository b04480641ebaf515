#pragma once

#include "core/OperatorSurface.h"
#include "core/Settings.h"
#include "import/PictureImport.h"
#include "pages/PageList.h"
#include "platform/OfficeSuite.h"

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <functional>
#include <utility>

// One run of the document or spreadsheet importer.
struct ImportSetup {
    QString folder;      // the program folder: the pictures are written here
    QString base;        // FILENAME: the pictures are base + number + ".bmp"
    QSize screen;        // WIDTH x HEIGHT
    QString workParent;  // where each import makes its private working folder;
                         // empty: the system's temporary folder
    OfficeOptions office;
    // How each page picture meets the screen; the default keeps the
    // importer's own placement.
    FitOptions fit;
    // Shown every page as the sign will show it, before any is written or
    // placed; false leaves the folder and the list untouched. None: placed
    // at once.
    std::function<bool(const QList<QImage>& pages)> confirm;
};

// What the importer dialogs get from the main window once at start-up.
struct ImportContext {
    QString folder;                      // the program folder
    PageList* pages = nullptr;           // the list the pages go into
    OperatorSurface* surface = nullptr;  // messages, status and progress
    std::function<Settings()> settings;  // read at the moment of use
};

// Passes everything on to another surface and also hands each text of
// status panel 1 (the step in progress) to shown, so that a dialog in front
// of the window can show it too.
class MirroredSurface : public OperatorSurface {
  public:
    MirroredSurface(OperatorSurface& target, std::function<void(const QString&)> shown,
                    std::function<void()> repaint)
        : m_target(target), m_shown(std::move(shown)), m_repaint(std::move(repaint)) {}

    void setStatus(int panel, const QString& text) override {
        m_target.setStatus(panel, text);
        if (panel == 1 && m_shown) {
            m_shown(text);
        }
    }
    void repaintNow() override {
        if (m_repaint) {
            m_repaint();
        }
        m_target.repaintNow();
    }
    void message(const QString& text, const QString& caption = QString()) override {
        m_target.message(text, caption);
    }
    void progress(int value, int maximum) override { m_target.progress(value, maximum); }

  private:
    OperatorSurface& m_target;
    std::function<void(const QString&)> m_shown;
    std::function<void()> m_repaint;
};

#pragma once

#include "pages/PageList.h"

#include <QObject>
#include <QUndoStack>

// Undo and redo over every edit of the page list. The list's own operations
// make each change; afterwards commit() compares the list with the state it
// had at the last commit and, when the pages differ, records the step. So
// any edit, from the overview, the panel, LOADFILE or an importer, is one
// step to undo, whatever made it. The stack's clean state is the list as
// last saved or loaded.
class PageHistory : public QObject {
    Q_OBJECT
  public:
    explicit PageHistory(PageList& pages, QObject* parent = nullptr);

    QUndoStack* stack() { return &m_stack; }

    // Records the change since the last commit as one step named text.
    // Steps with the same merge key (not 0) in a row are one step: typing
    // 1, 2, 0 in DISPTIME of a page undoes at once. Without a change of the
    // pages only the selection is taken over.
    void commit(const QString& text, int mergeKey = 0);
    // A new start (NEW LIST, LOADLIST): no steps, the list as it is is saved.
    void reset();
    // The list as it is now is saved (or was just loaded).
    void markSaved() { m_stack.setClean(); }
    bool modified() const { return !m_stack.isClean(); }

  signals:
    // Undo or redo has put the list back to a kept state.
    void restored();

  private:
    friend class PageStep;
    void put(const PageList& kept);

    PageList& m_pages;
    PageList m_last;  // the list at the last commit, undo or redo
    QUndoStack m_stack;
};

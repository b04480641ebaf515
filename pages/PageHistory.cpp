#include "pages/PageHistory.h"

#include <QUndoCommand>

#include <utility>

// One recorded step: the list before and after it.
class PageStep : public QUndoCommand {
  public:
    PageStep(PageHistory& history, const PageList& before, const PageList& after,
             const QString& text, int mergeKey)
        : QUndoCommand(text),
          m_history(history),
          m_before(before),
          m_after(after),
          m_mergeKey(mergeKey) {}

    int id() const override { return m_mergeKey == 0 ? -1 : m_mergeKey; }
    bool mergeWith(const QUndoCommand* other) override {
        m_after = static_cast<const PageStep*>(other)->m_after;
        return true;
    }
    void undo() override { m_history.put(m_before); }
    void redo() override {
        // Pushing runs redo once; the change is made already.
        if (std::exchange(m_pushed, true)) {
            m_history.put(m_after);
        }
    }

  private:
    PageHistory& m_history;
    PageList m_before;
    PageList m_after;
    int m_mergeKey;
    bool m_pushed = false;
};

PageHistory::PageHistory(PageList& pages, QObject* parent)
    : QObject(parent), m_pages(pages), m_last(pages) {}

void PageHistory::commit(const QString& text, int mergeKey) {
    if (m_pages.sameContent(m_last)) {
        m_last = m_pages;
        return;
    }
    const PageList before = std::exchange(m_last, m_pages);
    m_stack.push(new PageStep(*this, before, m_pages, text, mergeKey));
}

void PageHistory::reset() {
    m_stack.clear();
    m_last = m_pages;
    m_stack.setClean();
}

void PageHistory::put(const PageList& kept) {
    m_pages.restore(kept);
    m_last = m_pages;
    emit restored();
}

#pragma once

#include <QObject>

class QLabel;
class QStatusBar;

// The three status panels at the foot of the main window: 0 the page
// capacity ("MAX n PAGES"), 1 the write progress ("SENDING......", "SEND
// OVER"), 2 the outcome of the last controller command.
class StatusArea : public QObject {
    Q_OBJECT
  public:
    explicit StatusArea(QStatusBar* bar);

    void setText(int panel, const QString& text);
    QString text(int panel) const;

  private:
    QLabel* m_panels[3];
};

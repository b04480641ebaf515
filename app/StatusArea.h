#pragma once

#include <QObject>

class QLabel;
class QPushButton;
class QStatusBar;

// The foot of the main window: the three status panels, 0 the page
// capacity ("MAX n PAGES"), 1 the write progress ("SENDING......", "SEND
// OVER"), 2 the outcome of the last controller command; and, while a
// command runs, what it is doing (bytes left, or waiting for the
// controller) with its Cancel button. A panel grows with its text, so no
// text is ever cut, and its tooltip holds the text too.
class StatusArea : public QObject {
    Q_OBJECT
  public:
    explicit StatusArea(QStatusBar* bar);

    void setText(int panel, const QString& text);
    QString text(int panel) const;

    // What the running command is doing; empty when none runs.
    void setCommandState(const QString& text);
    QString commandState() const;
    // Shows or hides Cancel.
    void setCancelVisible(bool visible);

  signals:
    void cancelClicked();

  private:
    QLabel* m_panels[3];
    QLabel* m_state;
    QPushButton* m_cancel;
};

#pragma once

#include <QDockWidget>

class QPlainTextEdit;

// The transfer log at the foot of the window: the last lines of the log
// file when the window opens, then one line for each command of this run.
class TransferLogDock : public QDockWidget {
    Q_OBJECT
  public:
    explicit TransferLogDock(const QString& logPath, QWidget* parent = nullptr);

    void append(const QString& line);
    QString text() const;

  private:
    QPlainTextEdit* m_text;
};

#pragma once

#include <QObject>

class QSocketNotifier;

// SIGHUP, SIGTERM and SIGINT as Qt signals on the thread that made it, by a
// pipe the handler writes to: a long-running program reloads or stops in
// its event loop instead of in a signal handler. One at a time.
class SignalNotifier : public QObject {
    Q_OBJECT
  public:
    explicit SignalNotifier(QObject* parent = nullptr);
    ~SignalNotifier() override;

  signals:
    void hangUp();
    void terminate();  // SIGTERM or SIGINT

  private:
    QSocketNotifier* m_notifier = nullptr;
};

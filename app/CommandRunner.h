#pragma once

#include "controller/Exchange.h"
#include "controller/Link.h"
#include "core/OperatorSurface.h"
#include "core/Settings.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

class QThread;

// Runs the window's controller commands, one at a time, on a thread of their
// own. A command reports through a surface that passes every call on, in
// order and queued, to the window's surface on the window's thread, so the
// window repaints, resizes and moves throughout, and shows progress. Each
// command ends with a line in the transfer log.
class CommandRunner : public QObject {
    Q_OBJECT
  public:
    using Job = std::function<ExchangeResult(Link& link, OperatorSurface& surface)>;
    using Done = std::function<void(const ExchangeResult& result)>;

    // folder: the program folder (port links). target: the window's surface.
    // logPath: the transfer log file; empty keeps no file.
    CommandRunner(const QString& folder, OperatorSurface& target, const QString& logPath,
                  QObject* parent = nullptr);
    // Asks a running command to stop and waits for it.
    ~CommandRunner() override;

    bool busy() const { return m_thread != nullptr; }
    // Where port links comN are looked up by the commands run from now on.
    void setFolder(const QString& folder) { m_folder = folder; }
    // With a sign service running for settingsFolder, each command first
    // takes the port of the sign that sign() names (at the command's start)
    // from the service, waiting while the service uses it.
    void setServiceHold(const QString& settingsFolder, std::function<QString()> sign) {
        m_settingsFolder = settingsFolder;
        m_holdSign = std::move(sign);
    }
    // Starts job for the command name (as the log names it) unless one is
    // running; done runs here after the job's last report.
    bool run(const QString& name, const Settings& settings, Job job, Done done = {});
    // Asks the running command to stop at the next frame boundary.
    void cancel() { m_cancel = true; }
    // Spins the event loop until no command runs.
    void waitIdle();

  signals:
    void busyChanged(bool busy);
    void logged(const QString& line);

  private:
    QString m_folder;
    OperatorSurface& m_target;
    QString m_logPath;
    QString m_settingsFolder;
    std::function<QString()> m_holdSign;
    QThread* m_thread = nullptr;
    std::atomic<bool> m_cancel{false};
};

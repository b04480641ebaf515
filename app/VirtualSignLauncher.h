#pragma once

#include "core/Settings.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

// "Virtual sign": starts the controller emulator with its window (marquee-cli
// emulate --window, beside this program) on a new pseudo-terminal linked in
// the sign folder, set up as the settings describe the sign, and reports
// the link once it is there, for the window to choose it as the port.
class VirtualSignLauncher : public QObject {
    Q_OBJECT
  public:
    explicit VirtualSignLauncher(QObject* parent = nullptr);
    // Stops a virtual sign still running.
    ~VirtualSignLauncher() override;

    bool running() const { return m_process.state() != QProcess::NotRunning; }
    // The port link of the running virtual sign.
    const QString& link() const { return m_link; }
    // Starts one for the sign folder and settings. False with the reason in
    // *error when it cannot start at all; else ready() or failed() follows.
    bool start(const QString& signFolder, const Settings& settings, QString* error);
    // Closes the running virtual sign; stopped() follows.
    void stop() { m_process.terminate(); }

  signals:
    void ready(const QString& link);
    void failed(const QString& reason);
    // The virtual sign's window was closed or the emulator ended.
    void stopped(const QString& link);

  private:
    QProcess m_process;
    QTimer m_wait;
    QString m_program;
    QString m_link;
    int m_tries = 0;
};

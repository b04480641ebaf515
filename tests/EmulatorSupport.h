#pragma once

#include "emulator/Emulator.h"

#include "core/SettingsFile.h"
#include "tests/TestSupport.h"

#include <QThread>

// A program folder with the controller emulator (the real `marquee-cli
// emulate`) serving port 1 in it.
class EmulatedSign {
  public:
    QTemporaryDir dir;
    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }

    // Starts the emulator as the controller the folder's ck.ini describes
    // (its number, module type, screen, line speed and polarity), then with
    // options; true once it has linked com1.
    bool start(const QStringList& options = {}) {
        m_process.start(QStringLiteral(MARQUEE_CLI_PATH),
                        QStringList{"--folder", dir.path(), "emulate", "--timeout", "30"} +
                            controllerOptionsFor(settings()) + options);
        const QString link = path("com1");
        for (int i = 0; i < 1000 && !QFileInfo::exists(link); ++i) {
            QThread::msleep(10);
        }
        return QFileInfo::exists(link);
    }
    // What the emulator printed so far.
    QString log() {
        m_process.waitForReadyRead(200);
        return QString::fromUtf8(m_process.readAllStandardOutput());
    }
    void stop() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            m_process.waitForFinished(5000);
        }
    }
    ~EmulatedSign() { stop(); }

    // marquee-cli in the program folder, as a script run there would call it.
    CliRun run(const QStringList& command) const {
        const QString caller = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const CliRun result = runCli(QStringList{"--folder", dir.path()} + command);
        QDir::setCurrent(caller);
        return result;
    }
    // The settings ck.ini holds now.
    Settings settings() const {
        Settings s;
        readSettingsFile(dir.path(), &s);
        return s;
    }

  private:
    QProcess m_process;
};

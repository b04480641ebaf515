#pragma once

#include "tests/TestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

// An account without privileges, for what must not run as root: the user
// marquee-test, made with useradd when missing. Empty, with why in *reason,
// where the tests cannot change user.
inline QString unprivilegedUser(QString* reason) {
    if (::getuid() != 0) {
        *reason = QStringLiteral("the tests do not run as root, so they cannot change user");
        return QString();
    }
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) {
        *reason = QStringLiteral("setpriv (util-linux) is missing");
        return QString();
    }
    for (int attempt = 0; attempt < 5 && !::getpwnam("marquee-test"); ++attempt) {
        QProcess::execute(QStringLiteral("useradd"), {"--system", "--no-create-home", "--shell",
                                                      "/usr/sbin/nologin", "marquee-test"});
        QThread::msleep(100 * attempt);  // another test may be making it at the same time
    }
    if (!::getpwnam("marquee-test")) {
        *reason = QStringLiteral("useradd could not make the user marquee-test");
        return QString();
    }
    return QStringLiteral("marquee-test");
}

// Starts program as user with HOME set to home and nothing of this
// session's folders.
inline void startAs(QProcess& process, const QString& user, const QString& home,
                    const QString& program, const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "TMPDIR"}) {
        env.remove(QString::fromLatin1(name));
    }
    env.insert(QStringLiteral("HOME"), home);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(home);
    process.start(
        QStringLiteral("setpriv"),
        QStringList{"--reuid", user, "--regid", user, "--init-groups", "--", program} + args);
}

inline CliRun runAs(const QString& user, const QString& home, const QString& program,
                    const QStringList& args) {
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    startAs(process, user, home, program, args);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError()), timer.elapsed()};
}

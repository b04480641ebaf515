#include "app/VirtualSignLauncher.h"

#include "emulator/Emulator.h"
#include "platform/ChildProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

constexpr int kWaitStepMs = 50;
constexpr int kWaitTries = 200;  // 10 s for the link to appear

// The first port number without an entry comN in folder.
int freePortNumber(const QString& folder) {
    for (int n = 1; n <= 255; ++n) {
        const QFileInfo entry(QDir(folder).filePath(QStringLiteral("com%1").arg(n)));
        if (!entry.exists() && !entry.isSymLink()) {  // a dangling link is taken too
            return n;
        }
    }
    return 0;
}

}  // namespace

VirtualSignLauncher::VirtualSignLauncher(QObject* parent)
    : QObject(parent),
      m_program(
          QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("marquee-cli"))) {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setChildProcessModifier(endWithParent);
    m_wait.setInterval(kWaitStepMs);
    connect(&m_wait, &QTimer::timeout, this, [this] {
        if (QFileInfo::exists(m_link)) {
            m_wait.stop();
            emit ready(m_link);
        } else if (++m_tries >= kWaitTries) {
            m_wait.stop();
            m_process.terminate();
            emit failed(tr("The virtual sign did not make its port %1 in time.").arg(m_link));
        }
    });
    connect(&m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus) {
        if (m_wait.isActive()) {
            m_wait.stop();
            emit failed(tr("The virtual sign ended at once (exit status %1); "
                           "run %2 emulate --window to see why.")
                            .arg(code)
                            .arg(m_program));
            return;
        }
        emit stopped(m_link);
    });
}

VirtualSignLauncher::~VirtualSignLauncher() {
    // Its end is no news to a window that is going too.
    disconnect(&m_process, nullptr, this, nullptr);
    if (running()) {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }
}

bool VirtualSignLauncher::start(const QString& signFolder, const Settings& settings,
                                QString* error) {
    if (running()) {
        *error = tr("The virtual sign is already running on %1.").arg(m_link);
        return false;
    }
    if (!QFileInfo(m_program).isExecutable()) {
        *error = tr("The virtual sign needs marquee-cli beside this program (%1).").arg(m_program);
        return false;
    }
    const int port = freePortNumber(signFolder);
    if (port == 0) {
        *error = tr("Every port link com1 .. com255 in %1 is taken.").arg(signFolder);
        return false;
    }
    // Its pictures go to the cache, not among the sign's pages.
    const QString out = QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
                            .filePath(QStringLiteral("virtual-sign"));
    QDir().mkpath(out);
    m_link = QDir(signFolder).filePath(QStringLiteral("com%1").arg(port));
    m_tries = 0;
    m_process.start(m_program,
                    QStringList{QStringLiteral("--folder"), signFolder, QStringLiteral("emulate"),
                                QStringLiteral("--window"), QStringLiteral("--port"),
                                QString::number(port), QStringLiteral("--out"), out} +
                        controllerOptionsFor(settings));
    m_wait.start();
    return true;
}

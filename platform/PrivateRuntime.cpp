#include "platform/PrivateRuntime.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

char g_runtimeFolder[4096] = {};

void removeRuntimeFolder() {
    if (g_runtimeFolder[0] != '\0') {
        QDir(QFile::decodeName(g_runtimeFolder)).removeRecursively();
    }
}

// Folders of this user's earlier runs that ended without removing theirs
// (killed): named after their process, which no longer exists.
void removeStaleRuntimeFolders() {
    const QDir temp = QDir::temp();
    for (const QString& name : temp.entryList({QStringLiteral("marquee-runtime-*-*")},
                                              QDir::Dirs | QDir::Hidden | QDir::NoSymLinks)) {
        bool number = false;
        const pid_t pid = name.section(QLatin1Char('-'), 2, 2).toInt(&number);
        struct stat info {};
        const QByteArray path = QFile::encodeName(temp.filePath(name));
        if (number && pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH &&
            ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
            info.st_uid == ::getuid()) {
            QDir(temp.filePath(name)).removeRecursively();
        }
    }
}

}  // namespace

void usePrivateRuntimeFolder() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        return;
    }
    removeStaleRuntimeFolders();
    QByteArray folder = QFile::encodeName(QDir::tempPath()) + "/marquee-runtime-" +
                        QByteArray::number(::getpid()) + "-XXXXXX";
    if (folder.size() >= static_cast<int>(sizeof g_runtimeFolder) || !::mkdtemp(folder.data())) {
        return;
    }
    qstrcpy(g_runtimeFolder, folder.constData());
    std::atexit(removeRuntimeFolder);
    qputenv("XDG_RUNTIME_DIR", folder);
}

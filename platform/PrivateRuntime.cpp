#include "platform/PrivateRuntime.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <stdlib.h>
#include <unistd.h>

namespace {

char g_runtimeFolder[4096] = {};

void removeRuntimeFolder() {
    if (g_runtimeFolder[0] != '\0') {
        QDir(QFile::decodeName(g_runtimeFolder)).removeRecursively();
    }
}

}  // namespace

void usePrivateRuntimeFolder() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        return;
    }
    QByteArray folder = QFile::encodeName(QDir::tempPath()) + "/marquee-runtime-XXXXXX";
    if (folder.size() >= static_cast<int>(sizeof g_runtimeFolder) || !::mkdtemp(folder.data())) {
        return;
    }
    qstrcpy(g_runtimeFolder, folder.constData());
    std::atexit(removeRuntimeFolder);
    qputenv("XDG_RUNTIME_DIR", folder);
}

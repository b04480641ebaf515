// marquee-cli: the commands of the window without a window, for scripts.

#include "app/ProgramFolder.h"
#include "app/Settings.h"
#include "app/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace {

// Exit status: 0 done (the controller acknowledged), 1 no or wrong reply,
// 2 bad usage or bad input (nothing was sent), 3 the port could not be opened.
enum ExitStatus { kOk = 0, kNoReply = 1, kBadUsage = 2, kPortError = 3 };

const char kUsage[] =
    "usage: marquee-cli [--folder DIR] COMMAND [ARGS]\n"
    "\n"
    "Programs LED sign controllers over a serial line, without a window.\n"
    "\n"
    "options:\n"
    "  --folder DIR   the program folder (ck.ini, pages, port links comN);\n"
    "                 default: the folder of this executable\n"
    "  --help         show this text\n"
    "\n"
    "commands:\n"
    "  settings       print the ten settings as read from DIR/ck.ini\n"
    "\n"
    "Status texts go to standard output, messages to standard error.\n"
    "Exit status: 0 done; 1 no reply or a wrong reply; 2 bad usage or bad input\n"
    "(nothing was sent); 3 the port could not be opened.\n";

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

int usageError(const QString& text) {
    err() << "marquee-cli: " << text << "\n" << kUsage;
    err().flush();
    return kBadUsage;
}

// Reads ck.ini the way the window does at start-up: a bad value is reported
// and the values before it stay.
Settings loadSettings(const QString& folder) {
    Settings settings;
    const SettingsReadResult result = readSettingsFile(folder, &settings);
    if (!result.error.isEmpty()) {
        err() << result.error << "\n";
        err().flush();
    }
    return settings;
}

int printSettings(const QString& folder) {
    const Settings settings = loadSettings(folder);
    const auto& defs = settingDefs();
    const auto values = settingValues(settings);
    for (int i = 0; i < kSettingCount; ++i) {
        out() << defs[static_cast<size_t>(i)].label << "=" << values[static_cast<size_t>(i)];
        if (i == 8) {
            out() << " (" << typeTexts().value(settings.TYPE) << ")";
        } else if (i == 9) {
            out() << " (" << bpsTexts().value(settings.BPS) << ")";
        }
        out() << "\n";
    }
    out().flush();
    return kOk;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString folder = executableFolder();

    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--help")) {
            out() << kUsage;
            out().flush();
            return kOk;
        }
        if (option == QLatin1String("--folder")) {
            if (args.isEmpty()) {
                return usageError(QStringLiteral("--folder needs a folder"));
            }
            folder = args.takeFirst();
            if (!QFileInfo(folder).isDir()) {
                return usageError(QStringLiteral("%1 is not a folder").arg(folder));
            }
            folder = QFileInfo(folder).absoluteFilePath();
            continue;
        }
        return usageError(QStringLiteral("unknown option %1").arg(option));
    }
    if (args.isEmpty()) {
        return usageError(QStringLiteral("no command given"));
    }
    QDir::setCurrent(folder);
    const QString command = args.takeFirst();
    if (command == QLatin1String("settings") && args.isEmpty()) {
        return printSettings(folder);
    }
    return usageError(QStringLiteral("unknown command or arguments: %1").arg(command));
}

// marquee-cli: the commands of the window without a window, for scripts.

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ComposeCommand.h"
#include "cli/EmulateCommand.h"
#include "cli/ImportCommands.h"
#include "cli/ServeCommand.h"
#include "cli/SignCommands.h"
#include "platform/Fonts.h"
#include "platform/PrivateRuntime.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

namespace {

void printText(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

// emulate --window: the one command that opens a window.
bool wantsWindow(int argc, char* argv[]) {
    bool emulate = false;
    bool window = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        emulate = emulate || argument == "emulate";
        window = window || argument == "--window";
    }
    return emulate && window;
}

int run(const CommandLine& line) {
    CliContext context(locateFolders(line.folder));
    context.port = line.port;
    context.json = line.json;
    context.signs = line.signs;
    context.allSigns = line.allSigns;
    context.changed = line.changed;
    context.full = line.full;
    context.records = ControllerRecords(ControllerRecords::folderFor(context.folders.data));
    setProgressLines(line.progress);
    // The folder of the pages is the current folder, as it always was.
    QDir::setCurrent(context.folders.sign);
    const QString& command = line.command;
    const QStringList& args = line.args;
    if (command == QLatin1String("settings")) {
        return runSettings(context);
    }
    if (command == QLatin1String("ports")) {
        return runPorts(context, line.use);
    }
    if (command == QLatin1String("serve")) {
        return runServe(context, args);
    }
    if (command == QLatin1String("status")) {
        return runStatus(context);
    }
    if (command == QLatin1String("emulate")) {
        return runEmulator(context.folders, args);
    }
    if (context.allSigns || !context.signs.isEmpty()) {
        return runOnSignBook(context, command, args.value(0));
    }
    if (command == QLatin1String("time")) {
        return runTime(context);
    }
    if (command == QLatin1String("mode")) {
        return runMode(context, args[0]);
    }
    if (command == QLatin1String("read-para")) {
        return runReadPara(context);
    }
    if (command == QLatin1String("save-para")) {
        return runSavePara(context, args);
    }
    if (command == QLatin1String("download")) {
        return runDownload(context, args[0]);
    }
    if (command == QLatin1String("send")) {
        return runSend(context, args[0]);
    }
    if (command == QLatin1String("build")) {
        return runBuild(context, args[0], args[1]);
    }
    if (command == QLatin1String("compose")) {
        return runCompose(context.folders, args);
    }
    if (command == QLatin1String("import-doc")) {
        return runImportDocument(context.folders, args);
    }
    return runImportSpreadsheet(context.folders, args);
}

}  // namespace

int main(int argc, char* argv[]) {
    // No window is shown but the virtual sign's: work without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        if (!wantsWindow(argc, argv)) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        } else if (qEnvironmentVariableIsEmpty("DISPLAY") &&
                   qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            std::fputs(
                "marquee-cli: emulate --window needs a display (DISPLAY is not set); "
                "without --window the emulator writes its pictures instead\n",
                stderr);
            return 2;
        }
    }
    usePrivateRuntimeFolder();
    installFontConfig();
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("marquee-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MARQUEE_VERSION));

    const CommandLine line =
        parseCommandLine(QCoreApplication::arguments().mid(1), QDir::current());
    switch (line.outcome) {
        case CommandLine::Outcome::Help:
            printText(stdout, line.text);
            return kExitOk;
        case CommandLine::Outcome::Version:
            printText(stdout,
                      QStringLiteral("marquee-cli %1\n").arg(QStringLiteral(MARQUEE_VERSION)));
            return kExitOk;
        case CommandLine::Outcome::Error:
            printError(QStringLiteral("marquee-cli: %1").arg(line.text));
            printError(QStringLiteral("Try marquee-cli --help."));
            return kExitBadInput;
        case CommandLine::Outcome::Run:
            break;
    }
    return run(line);
}

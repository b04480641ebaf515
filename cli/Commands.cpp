#include "cli/Commands.h"

#include "cli/JsonReports.h"

#include "controller/ControllerCommands.h"
#include "core/Settings.h"
#include "core/SettingsFile.h"
#include "pages/PlayListFile.h"
#include "platform/AtomicFile.h"
#include "platform/SerialPorts.h"
#include "transfer/SetupImage.h"
#include "transfer/Transmission.h"

#include <cstdio>

namespace {

void writeLine(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// ck.ini as the window reads it at start-up: a bad value is reported and
// the values before it stay. A port named on the command line is used
// instead of the chosen one.
Settings loadSettings(const CliContext& context) {
    Settings settings;
    const SettingsReadResult result = readSettings(context.folders, &settings);
    if (!result.error.isEmpty()) {
        printError(result.error);
    }
    if (!context.port.isEmpty()) {
        settings.PORT = context.port;
    }
    return settings;
}

bool loadList(const QString& listPath, PageList* pages) {
    const LoadListOutcome outcome = loadPlayList(listPath, pages);
    for (const QString& text : outcome.messages) {
        printError(text);
    }
    return outcome.loaded;
}

// The reason of a port failure was printed under the command's message.
int exitStatus(const ExchangeResult& result) {
    switch (result.stage) {
        case ExchangeResult::Stage::PortError:
            return kExitPortError;
        case ExchangeResult::Stage::Refused:
            return kExitBadInput;
        case ExchangeResult::Stage::Done:
            break;
    }
    return result.reply == ReplyOutcome::Matches ? kExitOk : kExitNoReply;
}

void storeSettings(const CliContext& context, const Settings& settings) {
    QString reason;
    if (!writeSettingsFile(context.folders.settings, settings, &reason)) {
        printError(cannotSaveText(context.folders.settings, reason));
    }
}

}  // namespace

void printError(const QString& text) {
    writeLine(stderr, text);
}

void ConsoleSurface::setStatus(int, const QString& text) {
    if (!text.isEmpty()) {
        writeLine(m_statusStream, text);
    }
}

void ConsoleSurface::message(const QString& text, const QString&) {
    printError(text);
}

int runSettings(const CliContext& context) {
    const Settings settings = loadSettings(context);
    if (context.json) {
        writeLine(stdout, settingsJson(context, settings));
        return kExitOk;
    }
    const auto& defs = settingDefs();
    const auto values = settingValues(settings);
    for (int i = 0; i < kSettingCount; ++i) {
        QString line = QStringLiteral("%1=%2")
                           .arg(QString::fromLatin1(defs[static_cast<size_t>(i)].label))
                           .arg(values[static_cast<size_t>(i)]);
        if (i == 8) {
            line += QStringLiteral(" (%1)").arg(typeTexts().value(settings.TYPE));
        } else if (i == 9) {
            line += QStringLiteral(" (%1)").arg(bpsTexts().value(settings.BPS));
        }
        writeLine(stdout, line);
    }
    // Only when a port is chosen, so that older scripts read ten lines as before.
    if (!settings.PORT.isEmpty()) {
        writeLine(stdout, QStringLiteral("PORT=%1").arg(settings.PORT));
    }
    return kExitOk;
}

int runSend(const CliContext& context, const QString& listPath) {
    const Settings settings = loadSettings(context);
    const QString& folder = context.folders.sign;
    PageList pages;
    if (!loadList(listPath, &pages)) {
        return kExitBadInput;
    }
    if (typeFamily(settings.TYPE).depth == Depth::NotSent) {
        // The window does nothing here; a script is told why.
        printError(QStringLiteral("Module type %1 cannot be sent; nothing was sent.")
                       .arg(typeTexts().value(settings.TYPE)));
        return kExitBadInput;
    }
    ConsoleSurface surface;
    Link link(folder, surface);
    return exitStatus(sendPages(link, surface, settings, pages, folder));
}

int runBuild(const CliContext& context, const QString& listPath, const QString& outPath) {
    const Settings settings = loadSettings(context);
    const QString& folder = context.folders.sign;
    PageList pages;
    if (!loadList(listPath, &pages)) {
        return kExitBadInput;
    }
    const TransferBuild build = buildTransfer(settings, pages, folder, nullptr);
    if (!build.error.isEmpty()) {
        printError(build.error);
        return kExitBadInput;
    }
    writeLine(stdout, capacityText(build.map));
    QString error;
    if (!writeFileAtomically(outPath, build.bytes, &error)) {
        printError(QStringLiteral("Cannot write %1: %2").arg(outPath, error));
        return kExitBadInput;
    }
    writeLine(stdout,
              QStringLiteral("%1 bytes, %2 pages").arg(build.bytes.size()).arg(build.pagesSent));
    return kExitOk;
}

int runTime(const CliContext& context) {
    const Settings settings = loadSettings(context);
    const QString& folder = context.folders.sign;
    ConsoleSurface surface;
    Link link(folder, surface);
    return exitStatus(setClock(link, surface, settings, QDateTime::currentDateTime()));
}

int runMode(const CliContext& context, const QString& listPath) {
    const Settings settings = loadSettings(context);
    const QString& folder = context.folders.sign;
    PageList pages;
    if (!loadList(listPath, &pages)) {
        return kExitBadInput;
    }
    ConsoleSurface surface;
    Link link(folder, surface);
    return exitStatus(sendPlayModes(link, surface, settings, pages));
}

int runReadPara(const CliContext& context) {
    const Settings settings = loadSettings(context);
    ConsoleSurface surface(context.json ? stderr : stdout);
    Link link(context.folders.sign, surface);
    const ReadParaResult result = readParameters(link, surface, settings);
    const int status = exitStatus(result.exchange);
    if (context.json) {
        writeLine(stdout, readParaJson(result, link.portPath()));
    } else if (result.apply) {
        writeLine(stdout, describeParameters(result.parameters));
    }
    if (result.apply) {
        storeSettings(context, result.settings);
    }
    return status;
}

int runSavePara(const CliContext& context, const QStringList& assignments) {
    const Settings settings = loadSettings(context);
    const QString& folder = context.folders.sign;
    ControllerParameters parameters;
    const QString error = assignParameters(assignments, &parameters);
    if (!error.isEmpty()) {
        printError(QStringLiteral("marquee-cli: %1").arg(error));
        return kExitBadInput;
    }
    ConsoleSurface surface;
    Link link(folder, surface);
    const ExchangeResult result = saveParameters(link, surface, settings, parameters);
    if (result.stage != ExchangeResult::Stage::PortError) {
        storeSettings(context, settingsAfterSave(settings, parameters));
    }
    return exitStatus(result);
}

int runDownload(const CliContext& context, const QString& typeText) {
    const QString& folder = context.folders.sign;
    bool ok = false;
    const int type = typeText.toInt(&ok);
    if (!ok || type < 0 || type >= kTypeCount) {
        printError(QStringLiteral("marquee-cli: TYPE must be a module type from 0 to 26"));
        return kExitBadInput;
    }
    const Settings settings = loadSettings(context);
    const SetupImage setup = loadSetupImage(folder, type);
    if (!setup.error.isEmpty()) {
        printError(setup.error);
        return kExitBadInput;
    }
    ConsoleSurface surface;
    Link link(folder, surface);
    const ExchangeResult result = downloadSetup(link, surface, settings, setup.image);
    if (result.stage != ExchangeResult::Stage::PortError) {
        storeSettings(context, settingsAfterDownload(settings, type));
    }
    return exitStatus(result);
}

int runPorts(const CliContext& context, const QString& use) {
    if (!use.isEmpty()) {
        const QString port = use == QLatin1String("none") ? QString() : preferredPortPath(use);
        QString reason;
        if (!writePortChoice(context.folders.settings, port, &reason)) {
            printError(reason);
            return kExitBadInput;
        }
    }
    const QList<SerialPortInfo> ports = listSerialPorts();
    const QString chosen = loadSettings(context).PORT;
    if (context.json) {
        writeLine(stdout, portsJson(ports, chosen));
        return kExitOk;
    }
    for (const SerialPortInfo& port : ports) {
        writeLine(stdout, QStringLiteral("%1%2\t%3")
                              .arg(port.path == chosen ? QStringLiteral("* ") : QString(),
                                   port.path, port.description()));
    }
    if (ports.isEmpty()) {
        printError(QStringLiteral("No serial port found."));
    }
    return kExitOk;
}

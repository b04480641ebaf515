#include "cli/Commands.h"

#include "cli/JsonReports.h"

#include "controller/ControllerCommands.h"
#include "core/Settings.h"
#include "core/SettingsFile.h"
#include "core/TransferLog.h"
#include "import/LivePage.h"
#include "pages/PlayListFile.h"
#include "platform/AtomicFile.h"
#include "platform/PortLock.h"
#include "platform/SerialPorts.h"
#include "transfer/PageCheck.h"
#include "transfer/SendCheck.h"
#include "transfer/SetupImage.h"
#include "transfer/Transmission.h"

#include <QLocale>

#include <atomic>
#include <csignal>
#include <cstdio>

#include <unistd.h>

namespace {

std::atomic<bool> interrupted{false};
bool progressLines = false;

// The first Ctrl-C asks for a stop at the next frame boundary; a second one
// ends the program at once, releasing the port's lock and exclusive mark.
void onInterrupt(int signal) {
    if (interrupted) {
        releasePortsAndDie(signal);
        return;
    }
    interrupted = true;
}

}  // namespace

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

// The list with its live pages rendered now; what could not be rendered is
// told on standard error (a page left without a picture is refused by the
// page check that follows).
PageList withLivePages(const Settings& settings, const PageList& pages, const QString& folder) {
    const LiveRendering rendering =
        renderLivePages(settings, pages, folder, QDateTime::currentDateTime());
    for (const QString& text : rendering.messages) {
        printError(text);
    }
    return rendering.pages;
}

int exchangeStatus(const ExchangeResult& result) {
    switch (result.stage) {
        case ExchangeResult::Stage::PortError:
            return kExitPortError;
        case ExchangeResult::Stage::Refused:
        case ExchangeResult::Stage::Stopped:
            return kExitBadInput;
        case ExchangeResult::Stage::Cancelled:
            return kExitCancelled;
        case ExchangeResult::Stage::Done:
            break;
    }
    return result.reply == ReplyOutcome::Matches ? kExitOk : kExitNoReply;
}

namespace {

// The reason of a port failure was printed under the command's message.
int exitStatus(const ExchangeResult& result) {
    const int status = exchangeStatus(result);
    if (status == kExitNoReply) {
        printError(result.reason);
    }
    return status;
}

// A single command's line in the transfer log, then its exit status.
int loggedStatus(const CliContext& context, const QString& command, const Settings& settings,
                 const QDateTime& start, const Link& link, const ExchangeResult& result) {
    logTransfer(context, {start, command, settings.NUM,
                          result.port.isEmpty() ? link.portPath() : result.port, result.bytes,
                          result.ms, result.outcome});
    return exitStatus(result);
}

}  // namespace

void storeSettings(const CliContext& context, const Settings& settings) {
    QString reason;
    if (!writeSettingsFile(context.folders.settings, settings, &reason)) {
        printError(cannotSaveText(context.folders.settings, reason));
    }
}

// The findings before SEND or MODE go to standard error; false when one of
// them leaves nothing to send. A screen or rate that cannot be sent at all
// is told by the command itself, as before.
bool reviewed(const SendReview& review, int baud) {
    bool shown = false;
    bool blocking = false;
    for (const SendFinding& finding : review.findings) {
        if (finding.kind != SendFinding::Kind::NotSendable) {
            printError(finding.text);
            shown = true;
            blocking = blocking || finding.blocking;
        }
    }
    if (shown && !blocking) {
        printError(QStringLiteral("Sending anyway: %1").arg(review.estimateText(baud)));
    }
    return !blocking;
}

void logTransfer(const CliContext& context, const CommandRecord& record) {
    QString error;
    if (!appendTransferLog(transferLogPath(context.folders.data), transferLogLine(record),
                           &error)) {
        printError(error);
    }
}

void printError(const QString& text) {
    writeLine(stderr, text);
}

bool progressWanted() {
    return progressLines || isatty(STDERR_FILENO) == 1;
}

void setProgressLines(bool on) {
    progressLines = on;
}

ConsoleSurface::ConsoleSurface(FILE* statusStream)
    : m_statusStream(statusStream), m_terminal(isatty(STDERR_FILENO) == 1) {
    interrupted = false;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

ConsoleSurface::~ConsoleSurface() {
    endProgressLine();
    std::signal(SIGINT, SIG_DFL);
}

void ConsoleSurface::setStatus(int, const QString& text) {
    endProgressLine();
    if (!text.isEmpty()) {
        writeLine(m_statusStream, text);
    }
}

void ConsoleSurface::message(const QString& text, const QString&) {
    endProgressLine();
    printError(text);
}

void ConsoleSurface::lineProgress(qint64 sent, qint64 total, qint64 msLeft) {
    if (!m_terminal && !progressLines) {
        return;
    }
    const QLocale locale(QLocale::English);
    const QString text =
        QStringLiteral("%1 of %2 bytes sent, %3 left")
            .arg(locale.toString(sent), locale.toString(total), durationText(msLeft));
    if (m_terminal) {
        const QByteArray bytes = ("\r" + text + QStringLiteral("   ")).toLocal8Bit();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
        std::fflush(stderr);
        m_progressShown = true;
    } else {
        printError(text);
    }
}

void ConsoleSurface::awaitingReply(int timeoutMs) {
    if (m_terminal || progressLines) {
        endProgressLine();
        printError(QStringLiteral("waiting for the controller (up to %1 s)").arg(timeoutMs / 1000));
    }
}

bool ConsoleSurface::cancelRequested() const {
    return interrupted;
}

void ConsoleSurface::endProgressLine() {
    if (m_progressShown) {
        std::fputc('\n', stderr);
        m_progressShown = false;
    }
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
    pages = withLivePages(settings, pages, folder);
    if (typeFamily(settings.TYPE).depth == Depth::NotSent) {
        // The window does nothing here; a script is told why.
        printError(QStringLiteral("Module type %1 cannot be sent; nothing was sent.")
                       .arg(typeTexts().value(settings.TYPE)));
        return kExitBadInput;
    }
    if (!reviewed(reviewSend(settings, pages, checkPages(settings, pages, folder)),
                  settings.baudRate())) {
        return kExitBadInput;
    }
    const QDateTime start = QDateTime::currentDateTime();
    ConsoleSurface surface;
    Link link(folder, surface);
    return loggedStatus(context, QStringLiteral("SEND"), settings, start, link,
                        sendPages(link, surface, settings, pages, folder,
                                  {nullptr, context.changed, &context.records}));
}

int runBuild(const CliContext& context, const QString& listPath, const QString& outPath) {
    const Settings settings = loadSettings(context);
    const QString& folder = context.folders.sign;
    PageList pages;
    if (!loadList(listPath, &pages)) {
        return kExitBadInput;
    }
    pages = withLivePages(settings, pages, folder);
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
    const QDateTime start = QDateTime::currentDateTime();
    ConsoleSurface surface;
    Link link(folder, surface);
    return loggedStatus(context, QStringLiteral("TIME"), settings, start, link,
                        setClock(link, surface, settings, start));
}

int runMode(const CliContext& context, const QString& listPath) {
    const Settings settings = loadSettings(context);
    const QString& folder = context.folders.sign;
    PageList pages;
    if (!loadList(listPath, &pages)) {
        return kExitBadInput;
    }
    if (!reviewed(reviewMode(settings, pages), settings.baudRate())) {
        return kExitBadInput;
    }
    const QDateTime start = QDateTime::currentDateTime();
    ConsoleSurface surface;
    Link link(folder, surface);
    return loggedStatus(context, QStringLiteral("MODE"), settings, start, link,
                        sendPlayModes(link, surface, settings, pages, &context.records));
}

int runReadPara(const CliContext& context) {
    const Settings settings = loadSettings(context);
    const QDateTime start = QDateTime::currentDateTime();
    ConsoleSurface surface(context.json ? stderr : stdout);
    Link link(context.folders.sign, surface);
    const ReadParaResult result = readParameters(link, surface, settings, &context.records);
    const int status =
        loggedStatus(context, QStringLiteral("READ PARA"), settings, start, link, result.exchange);
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
    const QDateTime start = QDateTime::currentDateTime();
    ConsoleSurface surface;
    Link link(folder, surface);
    const ExchangeResult result =
        saveParameters(link, surface, settings, parameters, &context.records);
    if (result.stage != ExchangeResult::Stage::PortError) {
        storeSettings(context, settingsAfterSave(settings, parameters));
    }
    return loggedStatus(context, QStringLiteral("save parameter"), settings, start, link, result);
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
    const QDateTime start = QDateTime::currentDateTime();
    ConsoleSurface surface;
    Link link(folder, surface);
    const ExchangeResult result =
        downloadSetup(link, surface, settings, setup.image, &context.records);
    if (result.stage != ExchangeResult::Stage::PortError) {
        storeSettings(context, settingsAfterDownload(settings, type));
    }
    return loggedStatus(context, QStringLiteral("Download"), settings, start, link, result);
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

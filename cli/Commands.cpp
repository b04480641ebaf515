#include "cli/Commands.h"

#include "controller/ControllerCommands.h"
#include "core/Settings.h"
#include "core/SettingsFile.h"
#include "core/TransferLog.h"
#include "pages/PlayListFile.h"
#include "platform/AtomicFile.h"
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

void onInterrupt(int) {
    interrupted = true;
}

void writeLine(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// ck.ini as the window reads it at start-up: a bad value is reported and
// the values before it stay.
Settings loadSettings(const QString& folder) {
    Settings settings;
    const SettingsReadResult result = readSettingsFile(folder, &settings);
    if (!result.error.isEmpty()) {
        printError(result.error);
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

int exitStatus(const ExchangeResult& result, const QString& portPath) {
    switch (result.stage) {
        case ExchangeResult::Stage::PortError:
            printError(QStringLiteral("%1: %2").arg(portPath, result.reason));
            return kExitPortError;
        case ExchangeResult::Stage::Refused:
        case ExchangeResult::Stage::Stopped:
            return kExitBadInput;
        case ExchangeResult::Stage::Cancelled:
            return kExitCancelled;
        case ExchangeResult::Stage::Done:
            break;
    }
    if (result.reply == ReplyOutcome::Matches) {
        return kExitOk;
    }
    printError(result.reason);
    return kExitNoReply;
}

void storeSettings(const QString& folder, const Settings& settings) {
    QString reason;
    if (!writeSettingsFile(folder, settings, &reason)) {
        printError(
            QStringLiteral("%1 (%2)").arg(QString::fromLatin1(kCannotSaveParameter), reason));
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

}  // namespace

void printError(const QString& text) {
    writeLine(stderr, text);
}

void setProgressLines(bool on) {
    progressLines = on;
}

ConsoleSurface::ConsoleSurface() : m_terminal(isatty(STDERR_FILENO) == 1) {
    interrupted = false;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;  // a second Ctrl-C ends the program
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
        writeLine(stdout, text);
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

int runSettings(const QString& folder) {
    const Settings settings = loadSettings(folder);
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
    return kExitOk;
}

int runSend(const QString& folder, const QString& listPath) {
    const Settings settings = loadSettings(folder);
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
    if (!reviewed(reviewSend(settings, pages, checkPages(settings, pages, folder)),
                  settings.baudRate())) {
        return kExitBadInput;
    }
    ConsoleSurface surface;
    Link link(folder, surface);
    return exitStatus(sendPages(link, surface, settings, pages, folder), link.portPath());
}

int runBuild(const QString& folder, const QString& listPath, const QString& outPath) {
    const Settings settings = loadSettings(folder);
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

int runTime(const QString& folder) {
    const Settings settings = loadSettings(folder);
    ConsoleSurface surface;
    Link link(folder, surface);
    return exitStatus(setClock(link, surface, settings, QDateTime::currentDateTime()),
                      link.portPath());
}

int runMode(const QString& folder, const QString& listPath) {
    const Settings settings = loadSettings(folder);
    PageList pages;
    if (!loadList(listPath, &pages)) {
        return kExitBadInput;
    }
    if (!reviewed(reviewMode(settings, pages), settings.baudRate())) {
        return kExitBadInput;
    }
    ConsoleSurface surface;
    Link link(folder, surface);
    return exitStatus(sendPlayModes(link, surface, settings, pages, folder), link.portPath());
}

int runReadPara(const QString& folder) {
    const Settings settings = loadSettings(folder);
    ConsoleSurface surface;
    Link link(folder, surface);
    const ReadParaResult result = readParameters(link, surface, settings);
    const int status = exitStatus(result.exchange, link.portPath());
    if (result.apply) {
        writeLine(stdout, describeParameters(result.parameters));
        storeSettings(folder, result.settings);
    }
    return status;
}

int runSavePara(const QString& folder, const QStringList& assignments) {
    const Settings settings = loadSettings(folder);
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
        storeSettings(folder, settingsAfterSave(settings, parameters));
    }
    return exitStatus(result, link.portPath());
}

int runDownload(const QString& folder, const QString& typeText) {
    bool ok = false;
    const int type = typeText.toInt(&ok);
    if (!ok || type < 0 || type >= kTypeCount) {
        printError(QStringLiteral("marquee-cli: TYPE must be a module type from 0 to 26"));
        return kExitBadInput;
    }
    const Settings settings = loadSettings(folder);
    const SetupImage setup = loadSetupImage(folder, type);
    if (!setup.error.isEmpty()) {
        printError(setup.error);
        return kExitBadInput;
    }
    ConsoleSurface surface;
    Link link(folder, surface);
    const ExchangeResult result = downloadSetup(link, surface, settings, setup.image);
    if (result.stage != ExchangeResult::Stage::PortError) {
        storeSettings(folder, settingsAfterDownload(settings, type));
    }
    return exitStatus(result, link.portPath());
}

#include "controller/ControllerCommands.h"

#include "transfer/PageCheck.h"
#include "transfer/SetupImage.h"
#include "transfer/Transmission.h"

namespace {

const QString kCommErrorSend = QStringLiteral("comm error ");
const QString kCommErrorTime = QStringLiteral("comm error!");
const QString kCommErrorDialog = QStringLiteral("comm error");

ExchangeSteps stepsFor(ControllerCommand command, const QString& commError, QByteArray frame) {
    ExchangeSteps steps;
    steps.command = command;
    steps.commError = commError;
    steps.build = [frame = std::move(frame)](QByteArray& tx, QString*) {
        tx = frame;
        return true;
    };
    return steps;
}

// Every picture is checked before the port is opened, so that a page that
// cannot be sent (a FIFO, a device, a picture too large) keeps the port
// untouched. The refusal, or empty.
QString refusePages(const Settings& settings, const PageList& pages, const QString& folder) {
    const QStringList findings = checkPages(settings, pages, folder);
    return findings.isEmpty() ? QString() : unusablePagesMessage(findings);
}

// Status panel 0 shows how many pages the controller holds for this screen.
void showCapacity(OperatorSurface& surface, const MemoryMap& map) {
    surface.setStatus(0, capacityText(map));
    surface.repaintNow();
}

}  // namespace

ExchangeResult sendPages(Link& link, OperatorSurface& surface, const Settings& settings,
                         const PageList& pages, const QString& folder, PreparedPages* cache) {
    ExchangeResult result;
    result.stage = ExchangeResult::Stage::Refused;
    if (typeFamily(settings.TYPE).depth == Depth::NotSent) {
        return result;  // this module type is not sent: nothing happens
    }
    const MemoryMap map = memoryMapFor(settings);
    result.reason = checkSendable(settings, map);
    if (result.reason.isEmpty()) {
        result.reason = refusePages(settings, pages, folder);
    }
    if (!result.reason.isEmpty()) {
        surface.message(result.reason);
        result.outcome =
            QStringLiteral("refused: %1").arg(result.reason.section(QLatin1Char('\n'), 0, 0));
        return result;
    }
    // Decoding starts now, while the port opens.
    auto stream = std::make_unique<TransferStream>(settings, pages, folder, &surface, cache);
    ExchangeSteps steps = stepsFor(ControllerCommand::Send, kCommErrorSend, {});
    steps.stream = [&](QString*) -> std::unique_ptr<FrameSource> {
        showCapacity(surface, map);
        return std::move(stream);
    };
    return exchange(link, surface, settings, steps);
}

ExchangeResult setClock(Link& link, OperatorSurface& surface, const Settings& settings,
                        const QDateTime& now) {
    ExchangeSteps steps = stepsFor(ControllerCommand::Time, kCommErrorTime, {});
    // The clock is read once, when the frame is built, after the port is set up.
    steps.build = [&](QByteArray& tx, QString*) {
        tx = clockFrame(settings.NUM, now.isValid() ? now : QDateTime::currentDateTime());
        return true;
    };
    return exchange(link, surface, settings, steps);
}

ExchangeResult sendPlayModes(Link& link, OperatorSurface& surface, const Settings& settings,
                             const PageList& pages) {
    // The play table goes with the pictures already in the controller: no
    // picture is read, so a missing or broken one never stops it. Only a
    // screen too large for the memory map is refused, before the port opens.
    if (typeFamily(settings.TYPE).depth != Depth::NotSent) {
        ExchangeResult refused;
        refused.stage = ExchangeResult::Stage::Refused;
        refused.reason = checkSendable(settings, memoryMapFor(settings));
        if (!refused.reason.isEmpty()) {
            surface.message(refused.reason);
            refused.outcome =
                QStringLiteral("refused: %1").arg(refused.reason.section(QLatin1Char('\n'), 0, 0));
            return refused;
        }
    }
    ExchangeSteps steps = stepsFor(ControllerCommand::Mode, kCommErrorDialog, {});
    steps.build = [&](QByteArray& tx, QString* reason) {
        const MemoryMap map = memoryMapFor(settings);
        if (typeFamily(settings.TYPE).depth != Depth::NotSent && map.fits()) {
            showCapacity(surface, map);
        }
        tx = modeFrames(settings, pages, reason);
        return reason->isEmpty();
    };
    return exchange(link, surface, settings, steps);
}

ReadParaResult readParameters(Link& link, OperatorSurface& surface, const Settings& settings) {
    ReadParaResult result;
    result.settings = settings;
    result.exchange =
        exchange(link, surface, settings,
                 stepsFor(ControllerCommand::ReadPara, kCommErrorTime, readRequest()));
    if (result.exchange.stage == ExchangeResult::Stage::Done &&
        result.exchange.reply == ReplyOutcome::Matches) {
        static_cast<ParameterReply&>(result) = interpretParameterReply(link.RxBuffer, settings);
        result.received = true;
    }
    return result;
}

ExchangeResult saveParameters(Link& link, OperatorSurface& surface, const Settings& settings,
                              const ControllerParameters& parameters) {
    return exchange(
        link, surface, settings,
        stepsFor(ControllerCommand::SavePara, kCommErrorDialog, parameterFrame(parameters)));
}

ExchangeResult downloadSetup(Link& link, OperatorSurface& surface, const Settings& settings,
                             const QByteArray& image) {
    ExchangeSteps steps = stepsFor(ControllerCommand::Download, QStringLiteral("串行口设置失败!"),
                                   downloadFrame(image));
    steps.commCaption = QStringLiteral("错误信息");
    steps.afterSend = [&surface] {
        surface.setStatus(2, QStringLiteral("download......"));
        surface.repaintNow();
    };
    return exchange(link, surface, settings, steps);
}

#include "controller/Exchange.h"

#include <QElapsedTimer>

const char kCancelledText[] =
    "Cancelled: the controller did not receive the end of the transfer.\n"
    "What it received is incomplete: send the list again.";

namespace {

QString cancelledText(ControllerCommand command) {
    QString text = QString::fromLatin1(kCancelledText);
    if (command != ControllerCommand::Send && command != ControllerCommand::Mode) {
        text.replace(QStringLiteral("send the list again"), QStringLiteral("run it again"));
    }
    return text;
}

QString stopText(const QString& reason) {
    return QStringLiteral(
               "%1\nThe transfer stopped there: the controller did not receive the end "
               "of the transfer. Send the list again once this is mended.")
        .arg(reason);
}

// The command's own first line ("comm error ", "comm error!", ...) and why
// under it.
QString portFailure(const ExchangeSteps& steps, const QString& reason) {
    return reason.isEmpty() ? steps.commError : steps.commError + QLatin1Char('\n') + reason;
}

}  // namespace

ExchangeResult exchange(Link& link, OperatorSurface& surface, const Settings& settings,
                        const ExchangeSteps& steps) {
    ExchangeResult result;
    QElapsedTimer clock;
    clock.start();
    auto finish = [&](ExchangeResult::Stage stage, const QString& outcome) {
        result.stage = stage;
        result.outcome = outcome;
        result.bytes = link.bytesWritten();
        result.port = link.portPath();
        result.ms = clock.elapsed();
        return result;
    };
    if (!link.OpenPort(settings)) {
        result.reason = link.reason();
        surface.message(portFailure(steps, result.reason), steps.commCaption);
        return finish(ExchangeResult::Stage::PortError,
                      QStringLiteral("port error: %1").arg(result.reason));
    }
    if (!link.ConfigurePort(settings.baudRate())) {
        result.reason = link.reason();
        link.ClosePort();
        surface.message(portFailure(steps, result.reason), steps.commCaption);
        return finish(ExchangeResult::Stage::PortError,
                      QStringLiteral("port error: %1").arg(result.reason));
    }
    link.TxBuffer.clear();
    std::unique_ptr<FrameSource> source;
    const bool built = steps.stream ? (source = steps.stream(&result.reason)) != nullptr
                                    : steps.build(link.TxBuffer, &result.reason);
    if (!built) {
        link.ClosePort();
        surface.message(result.reason);
        return finish(
            ExchangeResult::Stage::Refused,
            QStringLiteral("refused: %1").arg(result.reason.section(QLatin1Char('\n'), 0, 0)));
    }
    const SendOutcome sent = source ? link.SendFrames(*source) : link.SendBuffer();
    if (sent == SendOutcome::Cancelled || sent == SendOutcome::SourceFailed) {
        const bool cancelled = sent == SendOutcome::Cancelled;
        link.ClosePort();
        result.reason = cancelled ? QString() : link.reason();
        surface.setStatus(2, cancelled ? QStringLiteral("cancelled") : QStringLiteral("stopped"));
        surface.message(cancelled ? cancelledText(steps.command) : stopText(result.reason));
        return finish(cancelled ? ExchangeResult::Stage::Cancelled : ExchangeResult::Stage::Stopped,
                      cancelled ? QStringLiteral("cancelled")
                                : QStringLiteral("stopped: %1").arg(result.reason));
    }
    if (steps.afterSend) {
        steps.afterSend();
    }
    const ReplyRule& rule = replyRule(steps.command);
    surface.awaitingReply(rule.timeoutMs);
    result.reply = checkReply(link, rule);
    result.reason = replyFailureDetail(rule, result.reply, link);
    const QString text = replyMessage(rule, result.reply);
    if (!text.isEmpty() || result.reply != ReplyOutcome::Differs) {
        surface.setStatus(2, text);
    }
    link.ClosePort();
    if (!link.writeError().isEmpty()) {
        // The transmission did not leave whole: the port failed (a hang-up,
        // an I/O error), whatever came back.
        result.reason = link.writeError();
        surface.message(portFailure(steps, result.reason), steps.commCaption);
        return finish(ExchangeResult::Stage::PortError,
                      QStringLiteral("port error: %1").arg(result.reason));
    }
    return finish(ExchangeResult::Stage::Done,
                  text.isEmpty() ? QStringLiteral("reply differs") : text);
}

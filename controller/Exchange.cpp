#include "controller/Exchange.h"

namespace {

// The command's own first line ("comm error ", "comm error!", ...) and why
// under it.
QString portFailure(const ExchangeSteps& steps, const QString& reason) {
    return reason.isEmpty() ? steps.commError : steps.commError + QLatin1Char('\n') + reason;
}

}  // namespace

ExchangeResult exchange(Link& link, OperatorSurface& surface, const Settings& settings,
                        const ExchangeSteps& steps) {
    ExchangeResult result;
    if (!link.OpenPort(settings)) {
        result.reason = link.reason();
        surface.message(portFailure(steps, result.reason), steps.commCaption);
        return result;
    }
    if (!link.ConfigurePort(settings.baudRate())) {
        result.reason = link.reason();
        link.ClosePort();
        surface.message(portFailure(steps, result.reason), steps.commCaption);
        return result;
    }
    link.TxBuffer.clear();
    if (!steps.build(link.TxBuffer, &result.reason)) {
        link.ClosePort();
        result.stage = ExchangeResult::Stage::Refused;
        surface.message(result.reason);
        return result;
    }
    link.SendBuffer();
    if (steps.afterSend) {
        steps.afterSend();
    }
    const ReplyRule& rule = replyRule(steps.command);
    result.reply = checkReply(link, rule);
    const QString text = replyMessage(rule, result.reply);
    if (!text.isEmpty() || result.reply != ReplyOutcome::Differs) {
        surface.setStatus(2, text);
    }
    link.ClosePort();
    result.stage = ExchangeResult::Stage::Done;
    if (!link.writeFault().isEmpty()) {
        result.stage = ExchangeResult::Stage::PortError;
        result.reason = link.writeFault();
        surface.message(portFailure(steps, result.reason), steps.commCaption);
    }
    return result;
}

#include "controller/Exchange.h"

ExchangeResult exchange(Link& link, OperatorSurface& surface, const Settings& settings,
                        const ExchangeSteps& steps) {
    ExchangeResult result;
    if (!link.OpenPort(settings.COMM)) {
        result.reason = link.reason();
        surface.message(steps.commError, steps.commCaption);
        return result;
    }
    if (!link.ConfigurePort(settings.baudRate())) {
        result.reason = link.reason();
        link.ClosePort();
        surface.message(steps.commError, steps.commCaption);
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
    result.reason =
        link.writeError().isEmpty()
            ? replyFailureDetail(rule, result.reply, link)
            : QStringLiteral("The transmission was not written whole: %1.").arg(link.writeError());
    const QString text = replyMessage(rule, result.reply);
    if (!text.isEmpty() || result.reply != ReplyOutcome::Differs) {
        surface.setStatus(2, text);
    }
    link.ClosePort();
    result.stage = ExchangeResult::Stage::Done;
    return result;
}

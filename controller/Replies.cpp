#include "controller/Replies.h"

const ReplyRule& replyRule(ControllerCommand command) {
    static const ReplyRule specs[] = {
        {Command::EndOfData, ReplyForm::StatusByte, 1, 2000, "rec success!",
         "error rec or can not sendback!", "error rec or can not sendback!"},
        {Command::EndOfData, ReplyForm::StatusByte, 1, 2000, "mode success!",
         "error mode or can not sendback!", "error mode or can not sendback!"},
        {Command::SetClock, ReplyForm::StatusByte, 1, 2000, "time success!",
         "set time error or can not sendback!", "set time error or can not sendback!"},
        {Command::ReadParameters, ReplyForm::Framed, 36, 5000, "read para success!",
         "error para or can not sendback!", nullptr},
        {Command::SaveParameters, ReplyForm::Framed, 4, 5000, "save para success!",
         "error save para or can not sendback!", nullptr},
        {Command::SetupDownload, ReplyForm::Framed, 4, 10000, "download success!",
         "download error or can not sendback!", nullptr},
    };
    return specs[static_cast<int>(command)];
}

ReplyOutcome checkReply(Link& link, const ReplyRule& rule) {
    if (!link.WaitReply(rule.timeoutMs, rule.count)) {
        return ReplyOutcome::NoReply;
    }
    const QByteArray& rx = link.RxBuffer;
    const auto code = static_cast<char>(rule.code);
    if (rule.form == ReplyForm::StatusByte) {
        return rx.size() >= 1 && rx[0] == code ? ReplyOutcome::Matches : ReplyOutcome::Differs;
    }
    const bool matches = rx.size() >= 4 && rx[0] == '\xAA' && rx[1] == '\x55' && rx[3] == code;
    return matches ? ReplyOutcome::Matches : ReplyOutcome::Differs;
}

QString replyMessage(const ReplyRule& rule, ReplyOutcome outcome) {
    switch (outcome) {
        case ReplyOutcome::Matches:
            return QString::fromLatin1(rule.success);
        case ReplyOutcome::NoReply:
            return QString::fromLatin1(rule.noReply);
        case ReplyOutcome::Differs:
            return rule.differs ? QString::fromLatin1(rule.differs) : QString();
    }
    return {};
}
